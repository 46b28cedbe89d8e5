#include "history/TodayTakings.h"

#include "events/SummaryNotes.h"
#include "history/StateFile.h"
#include "money/Money.h"
#include "support/Scheduler.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// One line's worth: the money in one currency and what it came from.
struct CurrencyTotal {
    QString currency;
    double amount = 0;
    qsizetype sales = 0;
    qsizetype renewals = 0;
};

} // namespace

TodayTakings::TodayTakings(QString file, Scheduler& scheduler, QObject* parent)
    : QObject(parent)
    , m_file(std::move(file))
    , m_scheduler(scheduler)
    , m_day(today())
{
    load();
    scheduleMidnight();
}

QDate TodayTakings::today() const
{
    return m_scheduler.now().toLocalTime().date();
}

std::optional<TodayTakings::Counted> TodayTakings::counted(const MonkeyEvent& event, const QString& name)
{
    const bool taken = event.kind.endsWith(u"sale") || event.kind.endsWith(u"renewal");
    if (!taken || event.isTest())
        return std::nullopt;
    Counted counted{name, event.kind.endsWith(u"sale") ? u"sale"_s : u"renewal"_s, {}, 0, false};
    if (event.amount && event.currency) {
        counted.currency = event.currency->toUpper();
        counted.amount = *event.amount;
    }
    counted.revenueCat = event.detail && event.detail->startsWith(MonkeyEvent::revenueCatDetail);
    return counted;
}

void TodayTakings::count(const QList<MonkeyEvent>& events, const QStringList& files)
{
    if (m_day != today())
        startDay();
    bool grew = false;
    for (qsizetype i = 0; i < events.size(); ++i) {
        const QString name = i < files.size() ? files[i] : QString();
        const auto date = events[i].date();
        if ((!name.isEmpty() && m_names.contains(name)) || (date && date->toLocalTime().date() < m_day))
            continue;
        if (const auto entry = counted(events[i], name)) {
            m_counted.append(*entry);
            m_names.insert(name);
            grew = true;
        }
    }
    if (grew) {
        save();
        Q_EMIT changed();
    }
}

QStringList TodayTakings::lines() const
{
    if (m_day != today())
        return {};
    QList<CurrencyTotal> sales, revenueCat;
    for (const Counted& entry : m_counted) {
        QList<CurrencyTotal>& totals = entry.revenueCat ? revenueCat : sales;
        auto total = std::find_if(
            totals.begin(), totals.end(), [&](const CurrencyTotal& t) { return t.currency == entry.currency; });
        if (total == totals.end())
            total = totals.insert(totals.end(), CurrencyTotal{entry.currency});
        total->amount += entry.amount;
        ++(entry.kind == u"sale" ? total->sales : total->renewals);
    }
    QStringList lines;
    for (const CurrencyTotal& total : std::as_const(sales)) {
        QStringList parts;
        if (!total.currency.isEmpty())
            parts.append(formatMoney(total.amount, total.currency));
        for (const auto& part :
            {SummaryNotes::count(u"sale"_s, total.sales), SummaryNotes::count(u"renewal"_s, total.renewals)})
            if (part)
                parts.append(*part);
        lines.append(u"Today: "_s + parts.join(u" · "_s));
    }
    // The service reports growth of its own total, not single sales: the money alone.
    for (const CurrencyTotal& total : std::as_const(revenueCat))
        if (!total.currency.isEmpty())
            lines.append(u"RevenueCat today: +"_s + formatMoney(total.amount, total.currency));
    return lines;
}

void TodayTakings::startDay()
{
    m_day = today();
    m_counted.clear();
    m_names.clear();
    save();
}

void TodayTakings::scheduleMidnight()
{
    const QDateTime now = m_scheduler.now().toLocalTime();
    const QDateTime midnight(now.date().addDays(1), QTime(0, 0));
    // Never early: a day that has not turned yet is waited for again.
    m_scheduler.afterAtLeast(std::max(1.0, double(now.msecsTo(midnight)) / 1000.0), this, [this] {
        if (m_day != today()) {
            startDay();
            Q_EMIT changed();
        }
        scheduleMidnight();
    });
}

void TodayTakings::load()
{
    const QJsonObject saved = StateFile::read(m_file).object();
    // Another day's file, or a damaged one, is replaced by the next count.
    if (saved.value("day"_L1).toString() != m_day.toString(Qt::ISODate))
        return;
    for (const QJsonValue value : saved.value("counted"_L1).toArray()) {
        const QJsonObject entry = value.toObject();
        const QString kind = entry.value("kind"_L1).toString();
        if (kind != u"sale" && kind != u"renewal")
            continue;
        m_counted.append(Counted{entry.value("name"_L1).toString(), kind, entry.value("currency"_L1).toString(),
            entry.value("amount"_L1).toDouble(), entry.value("revenueCat"_L1).toBool()});
        m_names.insert(m_counted.last().name);
    }
}

void TodayTakings::save() const
{
    QJsonArray counted;
    for (const Counted& entry : m_counted)
        counted.append(QJsonObject{{"name"_L1, entry.name}, {"kind"_L1, entry.kind}, {"currency"_L1, entry.currency},
            {"amount"_L1, entry.amount}, {"revenueCat"_L1, entry.revenueCat}});
    StateFile::write(
        m_file, QJsonDocument(QJsonObject{{"day"_L1, m_day.toString(Qt::ISODate)}, {"counted"_L1, counted}}));
}
