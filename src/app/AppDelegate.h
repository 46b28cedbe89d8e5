#pragma once

#include <QObject>

#include <memory>

class AppBusProxy;
class Autostart;
class DoNotDisturb;
class Inbox;
class MonkeyStage;
class NoteController;
class PlaybackDriver;
class RecentShows;
class RecordedNotes;
class RevenueCatWatcher;
class ScreenLock;
class Scheduler;
class Screens;
class SecretStore;
class Settings;
class SettingsWindowController;
class SingleInstance;
class SoundPlayer;
class StatusMenu;
class StripeWatcher;
class TodayTakings;
class WatcherAccounts;

// The application object: creates and wires every part at launch, then lives until the process ends.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    AppDelegate(Settings& settings, Scheduler& scheduler, SecretStore& secrets, QObject* parent = nullptr);
    ~AppDelegate() override;

    void applicationDidFinishLaunching();

private:
    bool claimSingleInstance();
    void createStage();
    void createWatchers();
    void createSettingsWindow();
    void createStatusMenu();
    void showHistory();
    void holdWhenBusy();
    void keepOutOfTheWay();
    void createInbox();
    void listenForReload();
    void reloadKeys();
    void logStart();
    void showSetupOnFirstRun();

    Settings& m_settings;
    Scheduler& m_scheduler;
    SecretStore& m_secrets;
    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<AppBusProxy> m_reloadNotices;
    std::unique_ptr<Screens> m_screens;
    std::unique_ptr<SoundPlayer> m_sound;
    std::unique_ptr<MonkeyStage> m_stage;
    std::unique_ptr<NoteController> m_notes;
    std::unique_ptr<RecentShows> m_recent;
    std::unique_ptr<RecordedNotes> m_recordedNotes;
    std::unique_ptr<TodayTakings> m_takings;
    std::unique_ptr<PlaybackDriver> m_driver;
    std::unique_ptr<WatcherAccounts> m_accounts;
    // The first account of each service, which the settings window and the menu show.
    StripeWatcher* m_stripe = nullptr;
    RevenueCatWatcher* m_revenueCat = nullptr;
    std::unique_ptr<SettingsWindowController> m_settingsWindow;
    std::unique_ptr<Autostart> m_autostart;
    std::unique_ptr<StatusMenu> m_statusMenu;
    std::unique_ptr<DoNotDisturb> m_doNotDisturb;
    std::unique_ptr<ScreenLock> m_screenLock;
    std::unique_ptr<Inbox> m_inbox;
};
