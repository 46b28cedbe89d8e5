#pragma once

#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>
#include <optional>

class WatcherAccounts;

// One running app per user. The first instance owns the session-bus name (the application id)
// and exports the bus interface; a later one finds the name taken, learns the owner's pid, and
// can ask it to bring its settings forward. Without a session bus a lock file stands in.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // Claims the instance. None when this is the only one; else the running one's pid (0 if unknown).
    std::optional<qint64> claim();

    // Asks the running instance to show its settings window; returns at once.
    static void askToShowSettings();

    // The watchers whose state the running instance reports when asked for its status.
    void reportStatusOf(const WatcherAccounts& accounts);

Q_SIGNALS:
    // In the running instance, when a later start asks for the settings window.
    void showSettingsRequested();

public Q_SLOTS:
    // The bus interface's method, called through its adaptor.
    void ShowSettings();
    // The bus interface's method: what --status prints, from the running watchers.
    QStringList Status() const;

private:
    std::optional<qint64> claimWithLockFile();

    std::unique_ptr<QLockFile> m_lock;
    QPointer<const WatcherAccounts> m_accounts;
};
