#pragma once

#include "events/MonkeyEvent.h"

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

class QFileSystemWatcher;
class Scheduler;

// The directory the user's scripts drop event files into. Each pass reads every published
// "*.json" file in name order, announces the decoded events in one batch and deletes the files;
// undecodable ones are moved to rejected/ so they are never retried.
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

    // Writes one event file under a hidden temporary name and renames it into place, so the
    // reader never sees it half-written. Returns the system's error description on failure.
    static std::optional<QString> publish(const MonkeyEvent& event, const QString& dir);
    // A test event published; false (after logging) when it could not be written.
    static bool drop(const MonkeyEvent& event, const QString& dir);
    static bool drop(const MonkeyEvent& event);

    QString dir() const { return m_dir; }
    bool isWatching() const { return m_source != nullptr; }

Q_SIGNALS:
    // The events of one pass, in name order; not emitted for a pass that found none.
    void eventsArrived(const Inbox::Batch& batch);

private:
    void watch();
    void scheduleTimer();
    void reject(const QByteArray& name, const QString& why) const;

    QString m_dir;
    Scheduler& m_scheduler;
    QFileSystemWatcher* m_source = nullptr;
};
