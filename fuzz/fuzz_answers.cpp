// Any bytes as the services' answers. The input is split at its first NUL byte: the part before
// is a Stripe charge, the part after its invoice; the whole input is also each RevenueCat answer.
#include "watchers/HttpJson.h"
#include "watchers/RevenueCatMetrics.h"
#include "watchers/StripeCharge.h"
#include "watchers/UnsettledCharges.h"

#include <QDateTime>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

void fail(const char* what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// A note must always be announceable as an event file: it survives encoding and carries its date.
void checkEvent(const MonkeyEvent& event)
{
    if (event.headline.isEmpty() || !event.who || event.who->isEmpty())
        fail("a charge gave a note without a headline or a customer");
    const auto again = MonkeyEvent::decode(event.encode());
    if (!again || *again != event)
        fail("a charge's event did not survive encoding");
    if (!event.date())
        fail("a charge's event has no readable date");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray whole(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype split = whole.indexOf('\0');
    const QByteArray chargeBytes = split < 0 ? whole : whole.left(split);
    const QByteArray invoiceBytes = split < 0 ? QByteArray() : whole.mid(split + 1);

    const QJsonObject charge = HttpJson::objectOf(chargeBytes);
    const QJsonObject invoice = HttpJson::objectOf(invoiceBytes);
    const QJsonObject answer = HttpJson::objectOf(whole);

    // An id once announced is never announced again.
    if (StripeCharge::isAnnounceable(charge, {})
        && StripeCharge::isAnnounceable(charge, {charge.value("id"_L1).toString()}))
        fail("a charge already seen is announceable");
    // Money kept is announced once; what may still settle is not money yet.
    if (StripeCharge::isAnnounceable(charge, {}) && StripeCharge::mayStillSettle(charge))
        fail("a charge is both a sale and still unsettled");
    const QDateTime now = QDateTime::fromSecsSinceEpoch(1'796'000'000, Qt::UTC);
    checkEvent(StripeCharge::describe(charge, std::nullopt, now));
    checkEvent(StripeCharge::describe(charge, invoice, now));
    (void)StripeCharge::productName(QString::fromUtf8(invoiceBytes));
    (void)StripeCharge::invoiceId(charge);

    // The remembered unsettled charges survive their own storing, stay bounded, and are looked at sparingly.
    UnsettledCharges unsettled(QString::fromUtf8(invoiceBytes).split(u'\n'));
    unsettled.update(charge, now.toSecsSinceEpoch());
    if (UnsettledCharges(unsettled.stored()).stored() != unsettled.stored()
        || unsettled.stored().size() > UnsettledCharges::limit)
        fail("the unsettled charges did not survive storing");
    if (unsettled.takeDue({}, now.toSecsSinceEpoch()).size() > UnsettledCharges::maxLooksPerPoll)
        fail("too many charges looked up in one poll");

    // A wait asked for is a wait that can be slept.
    const auto wait = HttpJson::retryAfter(chargeBytes.left(64), answer, now);
    if (wait && (!std::isfinite(*wait) || *wait < 0))
        fail("an unusable wait");

    // The error text of any answer is never empty: it falls back to the status.
    if (HttpJson::errorMessage(500, charge).isNull())
        fail("no error message");

    // A revenue answer is read only with a number in it.
    if (const auto revenue = RevenueCatMetrics::revenue(answer); revenue && !answer.value("value"_L1).isDouble())
        fail("a revenue without a value");
    // A first poll counts every active subscription as new.
    (void)RevenueCatMetrics::headline(RevenueCatMetrics::activeSubscriptions(answer).value_or(0));
    for (const QString& id : RevenueCatMetrics::projectIds(answer))
        (void)RevenueCatMetrics::isPlausibleProjectId(id);
    return 0;
}
