#pragma once

#include <QString>

// An amount in currency units (not minor units) and an ISO 4217 code, in any letter case,
// as text in the user's locale with the currency's own decimals. Never fails.
QString formatMoney(double amount, const QString& currencyCode);
