#include "watchers/StripeCharge.h"

#include "money/Money.h"
#include "support/BidiControls.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// A string that is not empty once white space is trimmed from both ends; the trimmed text. Any
// Unicode white space counts: a name of no-break spaces shows nothing either. Direction controls
// go first: a name could turn round the amount shown beside it.
std::optional<QString> nonBlank(const QJsonValue& value)
{
    if (!value.isString())
        return std::nullopt;
    const QString text = withoutBidiControls(value.toString()).trimmed();
    return text.isEmpty() ? std::nullopt : std::optional(text);
}

std::optional<QString> firstNonBlank(std::initializer_list<QJsonValue> values)
{
    for (const QJsonValue& value : values) {
        if (auto text = nonBlank(value))
            return text;
    }
    return std::nullopt;
}

// What the merchant keeps, in currency units, with its lower-case code.
std::optional<std::pair<double, QString>> money(const QJsonObject& charge)
{
    const std::optional<double> amount = StripeCharge::amountKept(charge);
    const QJsonValue currency = charge.value("currency"_L1);
    if (!amount || !currency.isString())
        return std::nullopt;
    const QString code = currency.toString().toLower();
    return std::pair(*amount / StripeCharge::divisor(code), code);
}

QString joinDetail(const std::optional<QString>& amount, const std::optional<QString>& what)
{
    QStringList parts;
    if (amount)
        parts.append(*amount);
    if (what)
        parts.append(*what);
    return parts.join(u" · "_s);
}

// The line that names what was bought: the first one charged for, passing over the credit for
// unused time that opens a plan change's invoice; the first line when none says what it costs.
std::optional<QString> invoiceProduct(const QJsonObject& invoice)
{
    const QJsonArray lines = invoice.value("lines"_L1).toObject().value("data"_L1).toArray();
    if (lines.isEmpty() || !lines.first().isObject())
        return std::nullopt;
    QJsonObject chosen = lines.first().toObject();
    for (const QJsonValue& line : lines) {
        if (line.toObject().value("amount"_L1).toDouble() > 0) {
            chosen = line.toObject();
            break;
        }
    }
    if (auto description = nonBlank(chosen.value("description"_L1)))
        return StripeCharge::productName(*description);
    return std::nullopt;
}

} // namespace

namespace StripeCharge {

bool isAnnounceable(const QJsonObject& charge, const QSet<QString>& seen)
{
    // Only the service's plain ids: an id names the event's file and a line of what was announced.
    // The pattern runs last, for a charge about to be announced.
    const QJsonValue id = charge.value("id"_L1);
    return id.isString() && !seen.contains(id.toString()) && charge.value("status"_L1) == u"succeeded"_s
        && charge.value("paid"_L1) == QJsonValue(true) && charge.value("captured"_L1) != QJsonValue(false)
        && charge.value("refunded"_L1) != QJsonValue(true) && isPlainId(id.toString());
}

bool mayStillSettle(const QJsonObject& charge)
{
    const QJsonValue status = charge.value("status"_L1);
    const bool authorisedOnly = status == u"succeeded"_s && charge.value("captured"_L1) == QJsonValue(false);
    return charge.value("id"_L1).isString() && charge.value("refunded"_L1) != QJsonValue(true)
        && (status == u"pending"_s || authorisedOnly);
}

std::optional<double> amountKept(const QJsonObject& charge)
{
    // Capturing less than was authorised refunds the rest at once, so `amount_refunded` already
    // counts the part never captured: what is kept is the authorised amount less all refunds.
    const QJsonValue refunded = charge.value("amount_refunded"_L1);
    const QJsonValue amount
        = charge.value("amount"_L1).isDouble() ? charge.value("amount"_L1) : charge.value("amount_captured"_L1);
    if (!amount.isDouble())
        return std::nullopt;
    return std::max(0.0, amount.toDouble() - (refunded.isDouble() ? refunded.toDouble() : 0));
}

qint64 created(const QJsonObject& charge)
{
    const double seconds = charge.value("created"_L1).toDouble();
    // Up to the year 9999; beyond, the conversion itself would be undefined.
    return seconds >= 0 && seconds < 253'402'300'800.0 ? qint64(seconds) : 0;
}

QDateTime madeAt(const QJsonObject& charge, const QDateTime& fallback)
{
    const qint64 seconds = created(charge);
    return seconds > 0 ? QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC) : fallback;
}

bool isPlainId(const QString& id)
{
    static const QRegularExpression plain(u"^[A-Za-z0-9_]+$"_s);
    return plain.match(id).hasMatch();
}

std::optional<QString> invoiceId(const QJsonObject& charge)
{
    const QString invoice = charge.value("invoice"_L1).toString();
    return isPlainId(invoice) ? std::optional(invoice) : std::nullopt;
}

MonkeyEvent describe(const QJsonObject& charge, const std::optional<QJsonObject>& invoice, const QDateTime& at)
{
    const QJsonObject billing = charge.value("billing_details"_L1).toObject();
    std::optional<QString> who
        = firstNonBlank({billing.value("name"_L1), billing.value("email"_L1), charge.value("receipt_email"_L1)});
    std::optional<QString> what = nonBlank(charge.value("description"_L1));
    const auto kept = money(charge);
    const std::optional<QString> amount = kept ? std::optional(formatMoney(kept->first, kept->second)) : std::nullopt;
    const bool test = charge.value("livemode"_L1) == QJsonValue(false);

    QString kind = u"sale"_s;
    QString headline = u"New sale!"_s;
    if (invoice) {
        const QJsonValue reason = invoice->value("billing_reason"_L1);
        if (reason == u"subscription_create"_s) {
            headline = u"New subscriber!"_s;
        } else if (reason == u"subscription_cycle"_s) {
            kind = u"renewal"_s;
            headline = u"Renewal!"_s;
        } else {
            headline = u"Invoice paid!"_s;
        }
        if (!who)
            who = firstNonBlank({invoice->value("customer_name"_L1), invoice->value("customer_email"_L1)});
        if (auto product = invoiceProduct(*invoice))
            what = product;
    }
    MonkeyEvent event
        = MonkeyEvent::now(kind, headline, who.value_or(u"A customer"_s), joinDetail(amount, what), test, at);
    if (kept) {
        event.amount = kept->first;
        event.currency = kept->second;
    }
    return event;
}

QString productName(const QString& line)
{
    static const QRegularExpression proration(u"^(?:Remaining|Unused) time on (.+) after \\d{1,2} \\w+ \\d{4}$"_s);
    static const QRegularExpression quantity(u"^\\d+ × "_s);
    static const QRegularExpression priceNote(u" \\(at .*\\)$"_s);
    const auto prorated = proration.match(line);
    QString name = prorated.hasMatch() ? prorated.captured(1) : line;
    const auto leading = quantity.match(name);
    if (leading.hasMatch())
        name.remove(leading.capturedStart(), leading.capturedLength());
    const auto trailing = priceNote.match(name);
    if (trailing.hasMatch())
        name.remove(trailing.capturedStart(), trailing.capturedLength());
    return name;
}

int divisor(const QString& currency)
{
    static const QSet<QString> zeroDecimal{u"bif"_s, u"clp"_s, u"djf"_s, u"gnf"_s, u"jpy"_s, u"kmf"_s, u"krw"_s,
        u"mga"_s, u"pyg"_s, u"rwf"_s, u"ugx"_s, u"vnd"_s, u"vuv"_s, u"xaf"_s, u"xof"_s, u"xpf"_s};
    static const QSet<QString> threeDecimal{u"bhd"_s, u"jod"_s, u"kwd"_s, u"omr"_s, u"tnd"_s};
    const QString code = currency.toLower();
    if (zeroDecimal.contains(code))
        return 1;
    return threeDecimal.contains(code) ? 1000 : 100;
}

QString explain(const APIError& error, const QString& label)
{
    switch (error.status) {
    case 403:
        return u"This key can't read %1. In Stripe, edit the key and set %1 to Read."_s.arg(label);
    case 401:
        return u"Stripe didn't accept this key. It may have been deleted or rolled; create a new restricted key."_s;
    default:
        return u"Stripe said: "_s + error.message;
    }
}

} // namespace StripeCharge
