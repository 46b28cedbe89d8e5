#pragma once

#include <QObject>

#include <memory>

class Inbox;
class PlaybackDriver;
class Scheduler;
class Settings;
class StandInNote;
class StandInStage;

// The application object: creates and wires every part at launch, then lives until the process ends.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    static constexpr const char* version = "1.2";

    AppDelegate(Settings& settings, Scheduler& scheduler, QObject* parent = nullptr);
    ~AppDelegate() override;

    void applicationDidFinishLaunching();

private:
    Settings& m_settings;
    Scheduler& m_scheduler;
    std::unique_ptr<StandInStage> m_stage;
    std::unique_ptr<StandInNote> m_notes;
    std::unique_ptr<PlaybackDriver> m_driver;
    std::unique_ptr<Inbox> m_inbox;
};
