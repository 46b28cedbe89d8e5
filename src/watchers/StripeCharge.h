#pragma once

#include "events/MonkeyEvent.h"
#include "watchers/RequestResult.h"

#include <QDateTime>
#include <QJsonObject>
#include <QSet>

#include <optional>

// Reading Stripe's answers: which charges to announce and how they read on a note.
namespace StripeCharge {

// Money the merchant got: succeeded, paid, captured, not refunded, with an id not announced before.
bool isAnnounceable(const QJsonObject& charge, const QSet<QString>& seen);

// Not a sale yet, but may become one: a pending bank debit, or a payment authorised and not captured.
bool mayStillSettle(const QJsonObject& charge);

// The amount the merchant keeps, in minor units: `amount` less `amount_refunded`, which for a
// partial capture already holds the part never captured.
std::optional<double> amountKept(const QJsonObject& charge);

// When the charge was made, in seconds since 1970; 0 when it does not say (or says nonsense).
qint64 created(const QJsonObject& charge);

// Ids go into request paths and stored lines: only the service's own plain ids are taken.
bool isPlainId(const QString& id);

// The charge's invoice id, when it has a plain one.
std::optional<QString> invoiceId(const QJsonObject& charge);

// The event for a charge, with its invoice when that could be fetched, stamped `at`.
MonkeyEvent describe(const QJsonObject& charge, const std::optional<QJsonObject>& invoice, const QDateTime& at);

// When the money came, as the service tells it: the charge's `created`, or `fallback` when it has none.
QDateTime madeAt(const QJsonObject& charge, const QDateTime& fallback);

// "2 × Pro plan (at $9.00 / month)" → "Pro plan"; a plan change's proration line
// "Remaining time on 1 × Team plan after 06 Dec 2026" → "Team plan".
QString productName(const QString& line);

// What one unit of the currency is in Stripe's integer minor units: 1, 100 or 1000.
int divisor(const QString& currency);

// The user-facing sentence for a refused request on the endpoint named by `label`.
QString explain(const APIError& error, const QString& label);

} // namespace StripeCharge
