#include "money/Money.h"

QString formatMoney(double amount, const QString& currencyCode)
{
    return QString::asprintf("%.2f ", amount) + currencyCode.toUpper();
}
