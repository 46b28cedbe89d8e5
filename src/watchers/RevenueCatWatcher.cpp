#include "watchers/RevenueCatWatcher.h"

#include "keychain/SecretStore.h"
#include "money/Money.h"
#include "support/AccountLabel.h"
#include "support/Log.h"
#include "support/Scheduler.h"
#include "support/Settings.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

bool grew(double now, double before)
{
    // Decimal amounts in binary: 100.01 - 100.00 must still count as a hundredth.
    return now - before >= RevenueCatWatcher::minimumGrowth - 1e-9;
}

} // namespace

QString RevenueCatWatcher::keychainAccount()
{
    return u"revenuecat"_s;
}

QUrl RevenueCatWatcher::defaultBase()
{
    const QString overridden = qEnvironmentVariable("BONKBELL_RC_BASE");
    return QUrl(overridden.isEmpty() ? u"https://api.revenuecat.com"_s : overridden);
}

QUrl RevenueCatWatcher::dashboardURL()
{
    return QUrl(u"https://app.revenuecat.com/"_s);
}

RevenueCatWatcher::RevenueCatWatcher(WatcherServices services, bool autostart, QObject* parent)
    : Watcher(AccountLabel::displayName(u"RevenueCat"_s, services.label),
        AccountLabel::scoped(keychainAccount(), services.label), normalSeconds, services, autostart, parent)
{
    reload();
}

QString RevenueCatWatcher::project() const
{
    return m_services.settings.get(Preferences::rcProject).value_or(QString());
}

void RevenueCatWatcher::setProject(const QString& project)
{
    m_services.settings.set(Preferences::rcProject, project);
}

QCoro::Task<RequestResult<QJsonObject>> RevenueCatWatcher::get(
    const QString& path, const StringMap& query, const QString& key)
{
    return getJSON(m_services.base, path, query, {{u"Authorization"_s, u"Bearer "_s + key}});
}

QCoro::Task<RequestResult<RevenueCatWatcher::Revenue>> RevenueCatWatcher::revenue(
    QString day, QString project, QString key)
{
    StringMap query;
    query.insert(u"start_date"_s, day);
    query.insert(u"end_date"_s, day);
    query.insert(u"revenue_type"_s, u"revenue"_s);
    const auto answer = co_await get(u"v2/projects/%1/metrics/revenue"_s.arg(project), query, key);
    if (!answer.ok())
        co_return RequestResult<Revenue>::failure(answer);
    if (auto amount = RevenueCatMetrics::revenue(answer.value()))
        co_return *amount;
    // The service answered, so it is no outage; a refusal in its own words leaves the baseline be.
    co_return APIError{0, u"RevenueCat sent a revenue figure Bonkbell can't read."_s};
}

QCoro::Task<RequestResult<double>> RevenueCatWatcher::activeSubscriptions(QString project, QString key)
{
    const auto answer = co_await get(u"v2/projects/%1/metrics/overview"_s.arg(project), StringMap(), key);
    if (!answer.ok())
        co_return RequestResult<double>::failure(answer);
    if (auto count = RevenueCatMetrics::activeSubscriptions(answer.value()))
        co_return *count;
    co_return APIError{0, u"RevenueCat sent a subscription count Bonkbell can't read."_s};
}

QCoro::Task<RequestResult<QString>> RevenueCatWatcher::discoverProject(QString key)
{
    const auto answer = co_await get(u"v2/projects"_s, StringMap(), key);
    if (!answer.ok())
        co_return RequestResult<QString>::failure(answer);
    const QStringList ids = RevenueCatMetrics::projectIds(answer.value());
    // Zero or several: only the user can say which. Reported as a refusal with its own text.
    if (ids.size() != 1)
        co_return APIError{0,
            u"Enter your project ID. It's in the RevenueCat dashboard address: %1/projects/<this part>/…"_s.arg(
                dashboardURL().host())};
    co_return ids.first();
}

QString RevenueCatWatcher::failureMessage(const RequestError& error, bool askedForProjectList)
{
    if (const auto* refused = std::get_if<APIError>(&error))
        return refused->status == 0 ? refused->message : RevenueCatMetrics::explain(*refused, askedForProjectList);
    return u"Couldn't reach RevenueCat: "_s + std::get<TransportError>(error).description;
}

QCoro::Task<std::optional<QString>> RevenueCatWatcher::connect(QString keyText, QString projectText)
{
    const QPointer<RevenueCatWatcher> self(this);
    const QString key = keyText.trimmed();
    if (!key.startsWith(u"sk_"_s))
        co_return u"Use a RevenueCat secret API key (V2). It starts with sk_."_s;
    setState(WatchState::connecting());

    // Only a refusal of the project list itself is about listing projects.
    bool askedForProjectList = false;
    QString project = projectText.trimmed();
    std::optional<RequestError> failure;
    if (project.isEmpty()) {
        const auto found = co_await discoverProject(key);
        if (!self)
            co_return u"Bonkbell is quitting."_s;
        found.ok() ? void(project = found.value()) : void(failure = found.error());
        askedForProjectList = failure.has_value();
    }
    if (!failure && !RevenueCatMetrics::isPlausibleProjectId(project))
        failure = APIError{404, {}};

    const QDateTime now = m_services.scheduler.now();
    std::optional<Snapshot> baseline;
    if (!failure) {
        const auto current = co_await snapshot(RevenueCatMetrics::utcDay(now), project, key);
        if (!self)
            co_return u"Bonkbell is quitting."_s;
        current.ok() ? void(baseline = current.value()) : void(failure = current.error());
    }

    std::optional<QString> refusal = failure ? failureMessage(*failure, askedForProjectList) : storeKey(key);
    if (refusal) {
        leaveConnecting();
        co_return refusal;
    }
    setProject(project);
    m_services.settings.set(Preferences::rcDay, RevenueCatMetrics::utcDay(now));
    m_services.settings.set(Preferences::rcRevenue, baseline->revenue.amount);
    m_services.settings.set(Preferences::rcSubs, baseline->subscriptions);
    log(u"%1: connected (project %2)"_s.arg(AccountLabel::scoped(u"revenuecat"_s, label()), project));
    leaveConnecting();
    startWatching();
    co_return std::nullopt;
}

void RevenueCatWatcher::record(const RequestError& error)
{
    recordFailure(error, failureMessage(error, false));
}

bool RevenueCatWatcher::announce(const QString& headline, const Revenue& total, double before, const QString& day)
{
    const double growth = total.amount - before;
    const QString detail
        = MonkeyEvent::revenueCatDetail.toString() + u"%1 %2"_s.arg(formatMoney(total.amount, total.currency), day);
    MonkeyEvent event = MonkeyEvent::now(
        u"sale"_s, headline, u"+"_s + formatMoney(growth, total.currency), detail, false, m_services.scheduler.now());
    event.amount = std::round(growth * 1e6) / 1e6; // 129.99 - 100 is 29.99, not 29.989999…
    event.currency = total.currency;
    return deliver(event);
}

bool RevenueCatWatcher::announceLateGrowth(const Revenue& yesterday)
{
    const double before = m_services.settings.get(Preferences::rcRevenue);
    return !grew(yesterday.amount, before) || announce(u"New revenue!"_s, yesterday, before, u"yesterday"_s);
}

void RevenueCatWatcher::announceGrowth(const Revenue& today, double subscriptionsNow)
{
    const double before = m_services.settings.get(Preferences::rcRevenue);
    const double newSubscribers = subscriptionsNow - m_services.settings.get(Preferences::rcSubs);
    // Not queued: the baseline stays, so the next poll announces it.
    if (grew(today.amount, before) && !announce(RevenueCatMetrics::headline(newSubscribers), today, before, u"today"_s))
        return;
    // A fall (a refund) lowers the baseline silently.
    m_services.settings.set(Preferences::rcRevenue, today.amount);
    m_services.settings.set(Preferences::rcSubs, subscriptionsNow);
}

QCoro::Task<RequestResult<RevenueCatWatcher::Snapshot>> RevenueCatWatcher::snapshot(
    QString day, QString project, QString key)
{
    const QPointer<RevenueCatWatcher> self(this);
    const auto amount = co_await revenue(day, project, key);
    if (!self || !amount.ok())
        co_return RequestResult<Snapshot>::failure(amount);
    const auto count = co_await activeSubscriptions(project, key);
    if (!count.ok())
        co_return RequestResult<Snapshot>::failure(count);
    co_return Snapshot{amount.value(), count.value()};
}

QCoro::Task<> RevenueCatWatcher::pollOnce(PollTicket ticket)
{
    if (!key()) {
        setState(WatchState::off());
        co_return;
    }
    const QString key = *this->key();
    const QDateTime now = m_services.scheduler.now();
    const QString today = RevenueCatMetrics::utcDay(now);
    const QString yesterday = RevenueCatMetrics::utcDay(now.addSecs(-86400));
    const QString storedDay = m_services.settings.get(Preferences::rcDay).value_or(QString());
    const QString project = this->project();

    if (storedDay == yesterday) {
        // The day has turned since the last poll: close yesterday, then compare today with zero.
        const auto late = co_await revenue(yesterday, project, key);
        if (!ticket)
            co_return;
        if (!late.ok()) {
            record(late.error());
            co_return;
        }
        if (!announceLateGrowth(late.value()))
            co_return; // not queued: yesterday is closed at the next poll
        m_services.settings.set(Preferences::rcDay, today);
        m_services.settings.set(Preferences::rcRevenue, 0.0);
    }

    const auto current = co_await snapshot(today, project, key);
    if (!ticket)
        co_return;
    if (!current.ok()) {
        record(current.error());
        co_return;
    }
    if (storedDay == today || storedDay == yesterday) {
        announceGrowth(current.value().revenue, current.value().subscriptions);
    } else {
        // Too old to compare with: a fresh baseline, silently.
        m_services.settings.set(Preferences::rcDay, today);
        m_services.settings.set(Preferences::rcRevenue, current.value().revenue.amount);
        m_services.settings.set(Preferences::rcSubs, current.value().subscriptions);
    }
    markOK();
}
