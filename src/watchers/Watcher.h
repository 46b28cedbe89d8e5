#pragma once

#include "events/MonkeyEvent.h"
#include "watchers/RequestResult.h"
#include "watchers/WatchProblem.h"
#include "watchers/WatchState.h"
#include "watchers/WatcherServices.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>

#include <qcoro/qcorotask.h>

#include <optional>

class Watcher;

// Handed to each poll: tells it whether the loop that started it is still the current one,
// so a poll that outlives a disconnect or a reconnect records nothing.
class PollTicket {
public:
    PollTicket(Watcher* watcher, quint64 generation)
        : m_watcher(watcher)
        , m_generation(generation)
    {
    }
    bool isCurrent() const;
    explicit operator bool() const { return isCurrent(); }
    // The watcher, or null once it has been destroyed.
    Watcher* watcher() const { return m_watcher.data(); }

private:
    QPointer<Watcher> m_watcher;
    quint64 m_generation;
};

// The common base of the polling sales watchers: the poll loop with backoff, the observable
// state, the time of the last good check, the stored key, and problems logged once.
class Watcher : public QObject {
    Q_OBJECT
public:
    static constexpr double maxInterval = 300.0;

    // Without `autostart` (the command line's watchers) the watcher never polls on its own:
    // connect and reload only check and store keys, and the running app does the polling.
    Watcher(QString name, QString keychainAccount, double interval, WatcherServices services, bool autostart,
        QObject* parent = nullptr);
    ~Watcher() override;

    // BONKBELL_POLL_SECONDS when its whole text is a number that can be slept, else `fallback`.
    static double pollInterval(double fallback);

    const WatchState& state() const { return m_state; }
    std::optional<QDateTime> lastChecked() const { return m_lastChecked; }
    const std::optional<QString>& key() const { return m_key; }
    bool isConnected() const { return m_key.has_value(); }
    QString name() const { return m_name; }
    // The account's label; empty for a service's first account.
    QString label() const { return m_services.label; }
    // Said on each note (after the detail) while more than one account is connected.
    void setShownLabel(const QString& label) { m_shownLabel = label; }
    double normalInterval() const { return m_normalInterval; }
    double interval() const { return m_interval; }
    int failures() const { return m_failures; }
    bool isLooping() const { return m_looping; }
    // The last failed poll since the last good one and since the key was set; none when all went well.
    const std::optional<WatchProblem>& lastProblem() const { return m_lastProblem; }

    // Restarts the loop: normal interval, no failures, a poll at once.
    void startLoop();
    void stopLoop();

    // Forgets the key and stops.
    void disconnect();
    // Re-reads the key from the secret store and restarts (with autostart) or stops accordingly.
    void reload();

    // One poll outside the loop (as the loop would run it).
    QCoro::Task<> pollNow();

Q_SIGNALS:
    // Emitted on every assignment, also when the value did not change.
    void stateChanged();
    void lastCheckedChanged();
    void keyChanged();
    // A sale or other event the service reported, one at a time.
    void delivered(const MonkeyEvent& event);

protected:
    // Forget what was seen, so watching starts from now.
    virtual void rebaseline() {}
    // Another process may have changed what is stored (a connect from the command line): read it again.
    virtual void keyReloaded() {}
    // One poll, ending in exactly one of: state off (no key), markOK, markRejected, markUnreachable,
    // markThrottled.
    virtual QCoro::Task<> pollOnce(PollTicket ticket) = 0;

    void setState(WatchState state);
    void setLastChecked(std::optional<QDateTime> at);
    void setKey(std::optional<QString> key);

    void markOK();
    void markRejected(const QString& message);
    void markUnreachable(const TransportError& error);
    // The service asked for a pause: waits what it asked, never ending early (within the normal
    // interval and five minutes), and shows `message` only when it keeps happening.
    void markThrottled(const QString& message, std::optional<double> retryAfterSeconds);
    // A failed request ends the poll: a refusal in `refusal`'s words, throttling, or no answer.
    void recordFailure(const RequestError& error, const QString& refusal);
    void logOnce(const QString& message);
    // Queues the event for the show: published into the inbox (under `name` when given: an
    // event that must be published once only). False, after logging, when it could not be.
    bool deliver(const MonkeyEvent& event, const QString& name = {});

    // Saves a checked key. Returns the user-facing refusal when the store would not take it.
    std::optional<QString> storeKey(const QString& key);
    // After a connect attempt: watching when a key is stored (the new or the previous one), else off.
    void leaveConnecting();
    // After a successful connect: the loop starts (with autostart), else the key is merely stored.
    void startWatching();

    WatcherServices m_services;

private:
    QCoro::Task<> runLoop(quint64 generation);
    // One more failure in a row: waits what was asked (within the normal interval and five
    // minutes), else twice as long as the last time. True once the failures persist (three).
    bool backOff(std::optional<double> askedSeconds);
    void rememberProblem(const RequestError& error);
    // The loop's next wait; one the service asked for must not end early.
    void setInterval(double seconds, bool asked = false)
    {
        m_interval = seconds;
        m_intervalAsked = asked;
    }

    WatchState m_state;
    std::optional<QDateTime> m_lastChecked;
    std::optional<QString> m_key;
    QString m_name;
    QString m_keychainAccount;
    double m_normalInterval;
    double m_interval;
    bool m_intervalAsked = false;
    int m_failures = 0;
    QString m_shownLabel;
    std::optional<QString> m_lastLoggedProblem;
    std::optional<WatchProblem> m_lastProblem;
    quint64 m_generation = 0;
    bool m_looping = false;
    bool m_autostart;

    friend class PollTicket;
};
