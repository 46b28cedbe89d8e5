#include "watchers/Watcher.h"

#include "events/Inbox.h"
#include "keychain/SecretStore.h"
#include "support/AccountLabel.h"
#include "support/Log.h"
#include "support/Scheduler.h"
#include "watchers/SchedulerSleep.h"

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

bool PollTicket::isCurrent() const
{
    return m_watcher && m_watcher->m_looping && m_watcher->m_generation == m_generation;
}

Watcher::Watcher(
    QString name, QString keychainAccount, double interval, WatcherServices services, bool autostart, QObject* parent)
    : QObject(parent)
    , m_services(std::move(services))
    , m_name(std::move(name))
    , m_keychainAccount(std::move(keychainAccount))
    , m_normalInterval(pollInterval(interval))
    , m_interval(m_normalInterval)
    , m_autostart(autostart)
{
}

Watcher::~Watcher() = default;

double Watcher::pollInterval(double fallback)
{
    const QString text = qEnvironmentVariable("BONKBELL_POLL_SECONDS");
    if (text.isEmpty() || text != text.trimmed())
        return fallback;
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    // A negative, infinite or not-a-number wait cannot be slept.
    return ok && std::isfinite(seconds) && seconds >= 0 ? seconds : fallback;
}

void Watcher::setState(WatchState state)
{
    m_state = std::move(state);
    Q_EMIT stateChanged();
}

void Watcher::setLastChecked(std::optional<QDateTime> at)
{
    m_lastChecked = std::move(at);
    Q_EMIT lastCheckedChanged();
}

void Watcher::setKey(std::optional<QString> key)
{
    // A problem of the previous key says nothing about this one.
    if (key != m_key)
        m_lastProblem.reset();
    m_key = std::move(key);
    Q_EMIT keyChanged();
}

void Watcher::startLoop()
{
    ++m_generation;
    m_looping = true;
    setInterval(m_normalInterval);
    m_failures = 0;
    runLoop(m_generation);
}

void Watcher::stopLoop()
{
    ++m_generation;
    m_looping = false;
}

QCoro::Task<> Watcher::runLoop(quint64 generation)
{
    const PollTicket ticket(this, generation);
    Scheduler& scheduler = m_services.scheduler;
    while (ticket) {
        co_await pollOnce(ticket);
        if (!ticket)
            co_return;
        // Read after the poll, so its outcome decides this very wait.
        co_await SchedulerSleep{scheduler, m_interval, m_intervalAsked};
    }
}

QCoro::Task<> Watcher::pollNow()
{
    if (!m_looping) {
        ++m_generation;
        m_looping = true;
        co_await pollOnce(PollTicket(this, m_generation));
        m_looping = false;
        co_return;
    }
    co_await pollOnce(PollTicket(this, m_generation));
}

void Watcher::markOK()
{
    if (m_state.kind == WatchState::Kind::problem)
        log(m_name + u": working again"_s);
    setState(WatchState::watching());
    setLastChecked(m_services.scheduler.now());
    m_failures = 0;
    setInterval(m_normalInterval);
    m_lastLoggedProblem.reset();
    m_lastProblem.reset();
}

void Watcher::markRejected(const QString& message)
{
    setState(WatchState::problem(message));
    setInterval(maxInterval);
    logOnce(message);
}

void Watcher::markUnreachable(const TransportError& error)
{
    if (!backOff(std::nullopt))
        return;
    const QString text = u"Can't reach %1 right now. Retrying."_s.arg(m_name);
    setState(WatchState::problem(text));
    logOnce(u"%1 (%2)"_s.arg(text, error.description));
}

bool Watcher::backOff(std::optional<double> askedSeconds)
{
    ++m_failures;
    if (askedSeconds)
        setInterval(std::clamp(*askedSeconds, m_normalInterval, maxInterval), true);
    else
        setInterval(std::min(m_normalInterval * std::pow(2.0, m_failures), maxInterval));
    return m_failures >= 3;
}

void Watcher::markThrottled(const QString& message, std::optional<double> retryAfterSeconds)
{
    if (!backOff(retryAfterSeconds))
        return;
    setState(WatchState::problem(message));
    logOnce(message);
}

void Watcher::recordFailure(const RequestError& error, const QString& refusal)
{
    rememberProblem(error);
    if (const auto* unreachable = std::get_if<TransportError>(&error))
        markUnreachable(*unreachable);
    else if (const auto& refused = std::get<APIError>(error); refused.status == 429)
        markThrottled(refusal, refused.retryAfterSeconds);
    else
        markRejected(refusal);
}

void Watcher::rememberProblem(const RequestError& error)
{
    const auto* refused = std::get_if<APIError>(&error);
    WatchProblem problem{refused ? refused->status : 0, refused != nullptr, m_services.scheduler.now(),
        refused ? refused->message : std::get<TransportError>(error).description};
    // The service's words may quote what it was sent.
    if (m_key && !m_key->isEmpty())
        problem.message.replace(*m_key, u"…"_s);
    // An outage or a throttling that goes on is dated from its start.
    const bool lasting = !problem.answered || problem.status == 429;
    if (lasting && m_lastProblem && m_lastProblem->answered == problem.answered
        && m_lastProblem->status == problem.status)
        problem.at = m_lastProblem->at;
    m_lastProblem = std::move(problem);
}

void Watcher::logOnce(const QString& message)
{
    if (m_lastLoggedProblem == message)
        return;
    m_lastLoggedProblem = message;
    log(m_name + u": "_s + message);
}

bool Watcher::deliver(const MonkeyEvent& given, const QString& name)
{
    MonkeyEvent event = given;
    if (!m_shownLabel.isEmpty())
        event.detail = event.detail ? *event.detail + u" · "_s + m_shownLabel : m_shownLabel;
    // A file of the same name already waiting is this very event, queued before a crash.
    const bool waiting = !name.isEmpty() && Inbox::holds(m_services.inbox, name);
    if (!m_services.inbox.isEmpty() && !waiting) {
        if (const auto error = Inbox::publish(event, m_services.inbox, name)) {
            logOnce(u"cannot queue an event in %1: %2"_s.arg(m_services.inbox, *error));
            return false;
        }
    }
    Q_EMIT delivered(event);
    return true;
}

void Watcher::disconnect()
{
    stopLoop();
    m_services.secrets.remove(m_keychainAccount);
    setKey(std::nullopt);
    setState(WatchState::off());
    setLastChecked(std::nullopt);
    log(AccountLabel::scoped(m_name.section(u' ', 0, 0).toLower(), label()) + u": disconnected"_s);
}

void Watcher::reload()
{
    keyReloaded();
    setKey(m_services.secrets.read(m_keychainAccount));
    if (!m_key) {
        stopLoop();
        setState(WatchState::off());
    } else if (m_autostart) {
        startLoop();
    }
}

std::optional<QString> Watcher::storeKey(const QString& key)
{
    if (const auto reason = m_services.secrets.save(key, m_keychainAccount))
        return u"Couldn't save the key to your keyring: %1."_s.arg(*reason);
    setKey(key);
    return std::nullopt;
}

void Watcher::leaveConnecting()
{
    if (m_state.kind == WatchState::Kind::connecting)
        setState(m_key ? WatchState::watching() : WatchState::off());
}

void Watcher::startWatching()
{
    if (m_autostart)
        startLoop();
    else
        leaveConnecting();
}
