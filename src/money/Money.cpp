#include "money/Money.h"

#include <unicode/currunit.h>
#include <unicode/numberformatter.h>

namespace {

// The locale for amounts, as POSIX picks it: LC_ALL, then LC_MONETARY, then LANG, reduced to
// an ICU name ("de_DE.UTF-8@euro" -> "de_DE"; ICU would read "@..." as its own keywords).
QByteArray monetaryLocale()
{
    QByteArray name;
    for (const char* variable : {"LC_ALL", "LC_MONETARY", "LANG"}) {
        name = qgetenv(variable);
        if (!name.isEmpty())
            break;
    }
    for (const char end : {'@', '.'}) {
        if (const qsizetype at = name.indexOf(end); at >= 0)
            name.truncate(at);
    }
    // C and POSIX name no region; ICU's en_US_POSIX would give "$ 1234.50" (spaced symbol, no
    // grouping), so they get plain en_US.
    if (name.isEmpty() || name == "C" || name == "POSIX")
        return QByteArrayLiteral("en_US");
    return name;
}

} // namespace

QString formatMoney(double amount, const QString& currencyCode)
{
    const QString code = currencyCode.toUpper();
    const QByteArray utf8 = code.toUtf8();

    UErrorCode status = U_ZERO_ERROR;
    // Rejects anything but three ASCII letters; an unknown but well-formed code such as XYZ is
    // accepted and shown by its code with two decimals.
    const icu::CurrencyUnit unit(icu::StringPiece(utf8.constData(), int32_t(utf8.size())), status);
    if (U_SUCCESS(status)) {
        const icu::number::LocalizedNumberFormatter formatter
            = icu::number::NumberFormatter::withLocale(icu::Locale(monetaryLocale().constData())).unit(unit);
        const icu::UnicodeString text = formatter.formatDouble(amount, status).toString(status);
        if (U_SUCCESS(status) && !text.isEmpty())
            return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
    }
    return QString::asprintf("%.2f %s", amount, utf8.constData()).trimmed();
}
