#pragma once

#include "support/SoundChoice.h"

#include <QList>
#include <QObject>

class Autostart;
class QAction;
class QMenu;
class QSystemTrayIcon;
class QVariant;
class Settings;
class StripeWatcher;
class Watcher;
class WatcherAccounts;

// The tray icon and its menu: today's takings, watcher status, shows held, settings, hide/show, recent
// notes, test events, sound, size, test-event filter, open at login, quit. Titles and check marks are
// refreshed on every opening; what the user asks for is signalled to whoever carries it out.
class StatusMenu : public QObject {
    Q_OBJECT
public:
    // What the titles and check marks are drawn from; the menu itself stores the choices that
    // take nothing else (the sound, the test-event filter, open at login).
    struct Sources {
        Settings& settings;
        const StripeWatcher& stripe;
        const Watcher& revenueCat;
        Autostart& autostart;
        // The labelled accounts beside the first ones, a line each; none without.
        const WatcherAccounts* accounts = nullptr;
    };

    // Builds the menu and shows the tray icon, also when no tray host runs yet: one that
    // appears later embeds it by itself.
    explicit StatusMenu(Sources sources, QObject* parent = nullptr);
    ~StatusMenu() override;

    // Whether a tray host is there to show the icon now.
    bool trayAvailable() const;

    // Re-reads the watchers, the preferences and the autostart entry into titles and check marks.
    void refresh();
    // A line saying why shows are held; none while `reason` is empty.
    void showHold(const QString& reason);
    // Today's lines at the top of the menu and in the tooltip; none leaves the menu as it was.
    void showToday(const QStringList& lines);
    // The Recent submenu's items, newest first.
    void showRecent(const QStringList& titles);

Q_SIGNALS:
    void settingsRequested();
    // "Hide Monkey" asks for hidden, "Show Monkey" for shown; the reason is "menu".
    void monkeyHiddenRequested(bool hidden, const QString& reason);
    // The kind of a sample event: "sale", "onboarding" or "renewal".
    void testEventRequested(const QString& kind);
    // After the choice is stored, so it can be heard.
    void soundChosen(SoundChoice choice);
    void sizeRequested(double scale);
    // The recent note at `index` in the last titles shown.
    void recentChosen(int index);

private:
    void build();
    QAction* addLine(const QString& title);
    QAction* addItem(QMenu* menu, const QString& title, void (StatusMenu::*handler)());
    // An item whose represented value (a key, a kind, a raw text, a number) is handed to `handler`.
    QAction* addItem(
        QMenu* menu, const QString& title, const QVariant& value, void (StatusMenu::*handler)(const QVariant&));
    void addSoundMenu();
    void addSizeMenu();
    void createTrayIcon();
    void refreshAccountLines();

    void toggleHidden();
    void requestTestEvent(const QVariant& kind);
    void chooseSound(const QVariant& raw);
    void toggle(const QVariant& key);
    void chooseSize(const QVariant& scale);
    void chooseRecent(const QVariant& index);
    void quit();

    Sources m_sources;
    QMenu* m_menu = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    QAction* m_stripeLine = nullptr;
    QAction* m_revenueCatLine = nullptr;
    QList<QAction*> m_accountLines;
    QAction* m_holdLine = nullptr;
    QAction* m_hideItem = nullptr;
    QMenu* m_recentMenu = nullptr;
    QList<QAction*> m_todayLines;
    QList<QAction*> m_toggleItems;
    QList<QAction*> m_sizeItems;
    QList<QAction*> m_soundItems;
};
