#pragma once

#include <QLockFile>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

// One running app per user. The first instance owns the session-bus name "com.bonkbell.mac";
// a later one finds it taken, learns the owner's pid, and can ask it to bring its settings
// forward. Without a session bus a lock file stands in.
class SingleInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.bonkbell.mac")
public:
    static constexpr const char* busName = "com.bonkbell.mac";

    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // Claims the instance. None when this is the only one; else the running one's pid (0 if unknown).
    std::optional<qint64> claim();

    // Asks the running instance to show its settings window; returns at once.
    static void askToShowSettings();

    // Called in the running instance when a later start asks for the settings window.
    std::function<void()> onShowSettings;

public Q_SLOTS:
    Q_SCRIPTABLE void ShowSettings();

private:
    std::optional<qint64> claimWithLockFile();

    std::unique_ptr<QLockFile> m_lock;
};
