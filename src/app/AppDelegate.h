#pragma once

#include <QObject>

#include <memory>

class Inbox;
class PlaybackDriver;
class RevenueCatWatcher;
class Scheduler;
class SecretStore;
class Settings;
class SoundPlayer;
class MonkeyStage;
class NoteController;
class StripeWatcher;

// The application object: creates and wires every part at launch, then lives until the process ends.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    static constexpr const char* version = "1.2";

    AppDelegate(Settings& settings, Scheduler& scheduler, SecretStore& secrets, QObject* parent = nullptr);
    ~AppDelegate() override;

    void applicationDidFinishLaunching();

private:
    void createStage();
    void createWatchers();
    void followScreenChanges();
    void reloadKeys();

    Settings& m_settings;
    Scheduler& m_scheduler;
    SecretStore& m_secrets;
    std::unique_ptr<SoundPlayer> m_sound;
    std::unique_ptr<MonkeyStage> m_stage;
    std::unique_ptr<NoteController> m_notes;
    std::unique_ptr<PlaybackDriver> m_driver;
    std::unique_ptr<StripeWatcher> m_stripe;
    std::unique_ptr<RevenueCatWatcher> m_revenueCat;
    std::unique_ptr<Inbox> m_inbox;
};
