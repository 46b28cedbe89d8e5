#pragma once

#include <QObject>

class Autostart;
class ImpactSound;
class MonkeyStage;
class PlaybackDriver;
class QMenu;
class QSystemTrayIcon;
class RevenueCatWatcher;
class Settings;
class SettingsWindowController;
class StripeWatcher;

// The tray icon and its menu: watcher status, settings, hide/show, test events, sound, size,
// test-event filter, open at login, quit. Titles and check marks are refreshed on every opening.
class StatusMenu : public QObject {
    Q_OBJECT
public:
    struct Parts {
        Settings& settings;
        StripeWatcher& stripe;
        RevenueCatWatcher& revenueCat;
        MonkeyStage& stage;
        PlaybackDriver& driver;
        ImpactSound& sound;
        SettingsWindowController& settingsWindow;
        Autostart& autostart;
    };

    explicit StatusMenu(Parts parts, QObject* parent = nullptr);
    ~StatusMenu() override;

    QMenu* menu() const { return m_menu; }
    QSystemTrayIcon* trayIcon() const { return m_tray; }

private:
    Parts m_parts;
    QMenu* m_menu = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
};
