#include "events/SummaryNotes.h"

#include "money/Money.h"

#include <QMap>
#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// The counted kinds in their order: sales, onboardings, renewals.
QStringList countByKind(const QList<MonkeyEvent>& events, const QString& more)
{
    const auto counted = [&](auto matches) { return std::count_if(events.begin(), events.end(), matches); };
    const auto sales = counted([](const MonkeyEvent& e) { return e.kind.endsWith(u"sale"); });
    const auto onboardings = counted([](const MonkeyEvent& e) { return e.kind == u"onboarding"; });
    const auto renewals = counted([](const MonkeyEvent& e) { return e.kind.endsWith(u"renewal"); });
    QStringList parts;
    for (const auto& [noun, n] :
        {std::pair(u"sale"_s, sales), {u"onboarding"_s, onboardings}, {u"renewal"_s, renewals}}) {
        if (const auto part = SummaryNotes::count(more + noun, n))
            parts.append(*part);
    }
    return parts;
}

} // namespace

namespace SummaryNotes {

std::optional<QString> count(const QString& noun, qsizetype n)
{
    if (n == 0)
        return std::nullopt;
    return u"%1 %2%3"_s.arg(n).arg(noun, n == 1 ? QString() : u"s"_s);
}

MonkeyEvent whileAway(const QList<MonkeyEvent>& stale, const QDateTime& now)
{
    const QStringList parts = countByKind(stale, {});
    const QString who = parts.isEmpty() ? u"%1 events"_s.arg(stale.size()) : parts.join(u" · "_s);
    return MonkeyEvent::now(u"summary"_s, u"While you were away"_s, who, u"Older than 6 hours"_s, false, now);
}

MonkeyEvent andMore(const QList<MonkeyEvent>& folded, const QDateTime& now)
{
    QStringList parts = countByKind(folded, u"more "_s);
    const qsizetype counted = std::count_if(folded.begin(), folded.end(), [](const MonkeyEvent& e) {
        return e.kind.endsWith(u"sale") || e.kind == u"onboarding" || e.kind.endsWith(u"renewal");
    });
    if (const auto others = count(u"more event"_s, folded.size() - counted))
        parts.append(*others);
    QMap<QString, double> totals; // by upper-case code, so "usd" and "USD" add up
    for (const MonkeyEvent& event : folded) {
        if (event.isMoney() && !event.isTest() && event.amount && event.currency)
            totals[event.currency->toUpper()] += *event.amount;
    }
    QStringList money;
    for (auto it = totals.cbegin(); it != totals.cend(); ++it)
        money.append(formatMoney(it.value(), it.key()));
    return MonkeyEvent::now(u"summary"_s, u"And more!"_s, parts.join(u" · "_s), money.join(u" · "_s), false, now);
}

} // namespace SummaryNotes
