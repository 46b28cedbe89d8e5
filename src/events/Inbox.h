#pragma once

#include "events/MonkeyEvent.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

class QFileSystemWatcher;
class Scheduler;

// The directory the user's scripts, and the sales watchers, drop event files into. Each pass reads
// every published "*.json" file in name order that it has not handed over yet and announces the
// decoded events in one batch. A file stays until its event is done with (release), so an event
// that was waiting its turn when the app stopped plays at the next start; undecodable ones are
// moved to rejected/ so they are never retried.
class Inbox : public QObject {
    Q_OBJECT
public:
    using Batch = QList<MonkeyEvent>;

    static constexpr double timerSeconds = 10.0;

    Inbox(QString dir, Scheduler& scheduler, QObject* parent = nullptr);
    ~Inbox() override;

    // Creates the directory (0700), watches it, starts the fallback timer and scans once.
    void start();
    // One pass over the directory. Safe at any time on the main thread.
    void scan();

    // Events handed over and now done with: their files go.
    void release(const QStringList& names);

    // Writes one event file under a hidden temporary name and renames it into place, so the
    // reader never sees it half-written. `name` (a plain file name ending in ".json") is for an
    // event that must be published once only: the same name is the same event. Returns the
    // system's error description on failure.
    static std::optional<QString> publish(const MonkeyEvent& event, const QString& dir, const QString& name = {});
    // Whether a file of that name waits in the inbox.
    static bool holds(const QString& dir, const QString& name);
    // A test event published; false (after logging) when it could not be written.
    static bool drop(const MonkeyEvent& event, const QString& dir);
    static bool drop(const MonkeyEvent& event);

    QString dir() const { return m_dir; }
    bool isWatching() const { return m_source != nullptr; }

Q_SIGNALS:
    // The events of one pass, in name order, with the names of their files; not emitted for a
    // pass that found none.
    void eventsArrived(const Inbox::Batch& batch, const QStringList& files);

private:
    void watch();
    void scheduleTimer();
    void reject(const QByteArray& name, const QString& why) const;

    QString m_dir;
    Scheduler& m_scheduler;
    QFileSystemWatcher* m_source = nullptr;
    QSet<QByteArray> m_handedOver;
};
