#pragma once

#include <QList>
#include <QObject>

class Autostart;
class ImpactSound;
class MonkeyStage;
class PlaybackDriver;
class QAction;
class QMenu;
class QSystemTrayIcon;
class QVariant;
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

    // Builds the menu and shows the tray icon, also when no tray host runs yet: one that
    // appears later embeds it by itself.
    explicit StatusMenu(Parts parts, QObject* parent = nullptr);
    ~StatusMenu() override;

    QMenu* menu() const { return m_menu; }
    QSystemTrayIcon* trayIcon() const { return m_tray; }
    // Whether a tray host is there to show the icon now.
    bool trayAvailable() const;

    // Re-reads the watchers, the preferences and the autostart entry into titles and check marks.
    void refresh();

private:
    void build();
    QAction* addLine(const QString& title);
    QAction* addItem(QMenu* menu, const QString& title, void (StatusMenu::*handler)());
    // An item whose represented value (a key, a kind, a raw text, a number) is handed to `handler`.
    QAction* addItem(QMenu* menu, const QString& title, const QVariant& value, void (StatusMenu::*handler)(const QVariant&));
    void addSoundMenu();
    void addSizeMenu();
    void createTrayIcon();

    void openSettings();
    void toggleHidden();
    void dropTestEvent(const QVariant& kind);
    void setSound(const QVariant& raw);
    void toggle(const QVariant& key);
    void setSize(const QVariant& scale);
    void quit();

    Parts m_parts;
    QMenu* m_menu = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    QAction* m_stripeLine = nullptr;
    QAction* m_revenueCatLine = nullptr;
    QAction* m_hideItem = nullptr;
    QList<QAction*> m_toggleItems;
    QList<QAction*> m_sizeItems;
    QList<QAction*> m_soundItems;
};
