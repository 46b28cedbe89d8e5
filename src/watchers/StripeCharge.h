#pragma once

#include "events/MonkeyEvent.h"
#include "watchers/RequestResult.h"

#include <QDateTime>
#include <QJsonObject>
#include <QSet>

#include <optional>

// Reading Stripe's answers: which charges to announce and how they read on a note.
namespace StripeCharge {

// Succeeded, paid, with an id not announced before.
bool isAnnounceable(const QJsonObject& charge, const QSet<QString>& seen);

// The charge's invoice id, when it has one.
std::optional<QString> invoiceId(const QJsonObject& charge);

// The event for a charge, with its invoice when that could be fetched.
MonkeyEvent describe(const QJsonObject& charge, const std::optional<QJsonObject>& invoice, const QDateTime& now);

// "2 × Pro plan (at $9.00 / month)" → "Pro plan".
QString productName(const QString& line);

// What one unit of the currency is in Stripe's integer minor units: 1, 100 or 1000.
int divisor(const QString& currency);

// The user-facing sentence for a refused request on the endpoint named by `label`.
QString explain(const APIError& error, const QString& label);

} // namespace StripeCharge
