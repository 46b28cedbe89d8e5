#include "app/AppDelegate.h"

#include "AppBusProxy.h"
#include "app/SingleInstance.h"
#include "busy/DoNotDisturb.h"
#include "busy/ScreenLock.h"
#include "events/Inbox.h"
#include "events/PlaybackDriver.h"
#include "events/TestEvent.h"
#include "history/RecentShows.h"
#include "history/RecordedNotes.h"
#include "history/TodayTakings.h"
#include "note/NoteController.h"
#include "overlay/OverlayPlatform.h"
#include "overlay/Screens.h"
#include "sound/SoundPlayer.h"
#include "stage/MonkeyStage.h"
#include "support/AppIdentity.h"
#include "support/Autostart.h"
#include "support/Log.h"
#include "support/Paths.h"
#include "support/Settings.h"
#include "ui/StatusMenu.h"
#include "ui/settings/SettingsWindowController.h"
#include "watchers/RevenueCatWatcher.h"
#include "watchers/StripeWatcher.h"
#include "watchers/WatcherAccounts.h"

#include <QCoreApplication>
#include <QFileSystemWatcher>

using namespace Qt::StringLiterals;

namespace {

// A sample event asked for from the menu or the settings window travels through the inbox like
// any script's, so it queues and filters the same way.
void dropTestEvent(const QString& kind)
{
    if (const auto event = testEvent(kind))
        Inbox::drop(*event);
}

} // namespace

AppDelegate::AppDelegate(Settings& settings, Scheduler& scheduler, SecretStore& secrets, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_scheduler(scheduler)
    , m_secrets(secrets)
{
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching()
{
    if (!claimSingleInstance())
        return;
    createStage();
    createWatchers();
    createSettingsWindow();
    createStatusMenu();
    showHistory();
    holdWhenBusy();
    keepOutOfTheWay();
    createInbox();
    listenForReload();
    logStart();
    showSetupOnFirstRun();
}

bool AppDelegate::claimSingleInstance()
{
    m_instance = std::make_unique<SingleInstance>();
    if (const auto other = m_instance->claim()) {
        log(u"already running (pid %1); exiting"_s.arg(*other));
        SingleInstance::askToShowSettings();
        QCoreApplication::exit(0);
        return false;
    }
    return true;
}

void AppDelegate::createStage()
{
    if (const QString overlays = OverlayPlatform::shared().name(); !overlays.isEmpty())
        log(u"overlays: "_s + overlays);
    m_screens = std::make_unique<SystemScreens>();
    m_sound = std::make_unique<SoundPlayer>();
    m_stage = std::make_unique<MonkeyStage>(m_settings, m_scheduler, *m_sound, *m_screens);
    m_notes = std::make_unique<NoteController>(m_scheduler, *m_screens);
    m_recent = std::make_unique<RecentShows>(Paths::logDir() + u"/recent.json"_s);
    m_recordedNotes = std::make_unique<RecordedNotes>(*m_notes, *m_recent, m_scheduler);
    m_driver = std::make_unique<PlaybackDriver>(m_settings, m_scheduler, *m_stage, *m_recordedNotes);
    PlaybackDriver* driver = m_driver.get();
    connect(m_stage.get(), &MonkeyStage::monkeyClicked, driver,
        [driver] { driver->setMonkeyHidden(true, u"click on monkey"_s); });
    m_stage->layout();
}

void AppDelegate::createWatchers()
{
    // Sales take the scripts' road: a file in the inbox, which plays it and deletes it once
    // shown, so a sale found just before a quit or a crash is shown at the next start.
    m_accounts = std::make_unique<WatcherAccounts>(WatcherServices{m_settings, m_secrets, m_scheduler,
                                                       StripeWatcher::defaultBase(), Paths::inbox(), Paths::logDir()},
        WatcherServices{
            m_settings, m_secrets, m_scheduler, RevenueCatWatcher::defaultBase(), Paths::inbox(), Paths::logDir()},
        true);
    m_stripe = &m_accounts->stripe();
    m_revenueCat = &m_accounts->revenueCat();
    m_instance->reportStatusOf(*m_accounts);
}

void AppDelegate::createSettingsWindow()
{
    m_settingsWindow = std::make_unique<SettingsWindowController>(*m_stripe, *m_revenueCat);
    m_settingsWindow->listAccounts(*m_accounts);
    connect(m_settingsWindow.get(), &SettingsWindowController::testEventRequested, this, dropTestEvent);
    // Starting the app again is also how to reach the settings when no tray shows the menu.
    connect(m_instance.get(), &SingleInstance::showSettingsRequested, m_settingsWindow.get(),
        &SettingsWindowController::show);
}

void AppDelegate::createStatusMenu()
{
    m_autostart = std::make_unique<Autostart>(Paths::launchAgent());
    m_statusMenu = std::make_unique<StatusMenu>(
        StatusMenu::Sources{m_settings, *m_stripe, *m_revenueCat, *m_autostart, m_accounts.get()});
    StatusMenu* menu = m_statusMenu.get();
    connect(menu, &StatusMenu::settingsRequested, m_settingsWindow.get(), &SettingsWindowController::show);
    connect(menu, &StatusMenu::monkeyHiddenRequested, m_driver.get(), &PlaybackDriver::setMonkeyHidden);
    connect(menu, &StatusMenu::testEventRequested, this, dropTestEvent);
    // A preview of what was chosen.
    connect(menu, &StatusMenu::soundChosen, m_sound.get(), &SoundPlayer::playImpact);
    connect(menu, &StatusMenu::sizeRequested, m_stage.get(), &MonkeyStage::applyScale);
    if (!m_statusMenu->trayAvailable())
        log(u"WARN no system tray on this desktop; start Bonkbell again to open its settings"_s);
}

// Today's takings and the recent notes, in the menu as they change; a recent one chosen there
// is shown again.
void AppDelegate::showHistory()
{
    m_takings = std::make_unique<TodayTakings>(Paths::logDir() + u"/today.json"_s, m_scheduler);
    StatusMenu* menu = m_statusMenu.get();
    const auto showToday = [this] { m_statusMenu->showToday(m_takings->lines()); };
    const auto showRecent = [this] { m_statusMenu->showRecent(m_recent->titles()); };
    connect(m_takings.get(), &TodayTakings::changed, menu, showToday);
    connect(m_recent.get(), &RecentShows::changed, menu, showRecent);
    connect(menu, &StatusMenu::recentChosen, this, [this](int index) {
        if (!m_recordedNotes->showAgain(index, m_settings.noteSeconds()))
            log(u"recent note not shown: another note is up"_s);
    });
    showToday();
    showRecent();
}

// Shows wait while the user is away or busy: a locked or blanked screen first, a fullscreen
// window on the monkey's screen next, the desktop's Do Not Disturb last. The menu shows the hold
// while it lasts.
void AppDelegate::holdWhenBusy()
{
    m_doNotDisturb = std::make_unique<DoNotDisturb>(QDBusConnection::sessionBus());
    m_screenLock = std::make_unique<ScreenLock>(QDBusConnection::sessionBus(), QDBusConnection::systemBus());
    const OverlayPlatform* platform = &OverlayPlatform::shared();
    const auto update = [this, platform] {
        if (m_screenLock->isOn())
            m_driver->setHeld(u"screen locked"_s);
        else if (platform->isFullscreenActive())
            m_driver->setHeld(u"fullscreen"_s);
        else if (m_doNotDisturb->isOn())
            m_driver->setHeld(u"do not disturb"_s);
        else
            m_driver->setHeld(std::nullopt);
    };
    connect(m_driver.get(), &PlaybackDriver::holdChanged, m_statusMenu.get(), &StatusMenu::showHold);
    connect(platform, &OverlayPlatform::fullscreenActiveChanged, this, update);
    connect(m_doNotDisturb.get(), &DoNotDisturb::changed, this, update);
    connect(m_screenLock.get(), &ScreenLock::changed, this, update);
    // holdWhenBusy is set by editing the preferences: turned off, a hold ends then and there.
    const QString file = m_settings.fileName();
    auto* preferences = new QFileSystemWatcher({file}, this);
    connect(preferences, &QFileSystemWatcher::fileChanged, this, [preferences, file, update] {
        // Saved anew under the same name, it is another file: watch that one.
        preferences->removePath(file);
        preferences->addPath(file);
        update();
    });
    update();
}

// Whatever the hold preference says, the resting monkey leaves a fullscreen window's screen, and
// stops moving while nobody can see it.
void AppDelegate::keepOutOfTheWay()
{
    const OverlayPlatform* platform = &OverlayPlatform::shared();
    connect(platform, &OverlayPlatform::fullscreenActiveChanged, m_stage.get(), &MonkeyStage::setSteppedAside);
    connect(m_screenLock.get(), &ScreenLock::changed, m_stage.get(), &MonkeyStage::setUnwatched);
    m_stage->setSteppedAside(platform->isFullscreenActive());
    m_stage->setUnwatched(m_screenLock->isOn());
}

void AppDelegate::createInbox()
{
    m_inbox = std::make_unique<Inbox>(Paths::inbox(), m_scheduler);
    // Counted as they reach the queue, before any is folded into a summary.
    connect(m_inbox.get(), &Inbox::eventsArrived, m_takings.get(), &TodayTakings::count);
    connect(m_inbox.get(), &Inbox::eventsArrived, m_driver.get(), &PlaybackDriver::receive);
    connect(m_driver.get(), &PlaybackDriver::released, m_inbox.get(), &Inbox::release);
    m_inbox->start();
}

void AppDelegate::listenForReload()
{
    // Any sender: the notice comes from the command line's own unique name.
    m_reloadNotices = std::make_unique<AppBusProxy>(QString(), u"/"_s, QDBusConnection::sessionBus());
    connect(m_reloadNotices.get(), &AppBusProxy::reload, this, &AppDelegate::reloadKeys);
}

void AppDelegate::reloadKeys()
{
    log(u"keys changed from the command line; reloading"_s);
    m_accounts->reload();
}

void AppDelegate::logStart()
{
    const auto state = [](bool connected) { return connected ? u"connected"_s : u"off"_s; };
    log(u"started v%1; Stripe %2, RevenueCat %3; inbox %4"_s.arg(QString::fromLatin1(AppIdentity::version),
        state(m_stripe->isConnected()), state(m_revenueCat->isConnected()), m_inbox->dir()));
}

void AppDelegate::showSetupOnFirstRun()
{
    const QList<Watcher*> watchers = m_accounts->all();
    const bool connected = std::ranges::any_of(watchers, [](const Watcher* w) { return w->isConnected(); });
    if (connected || m_settings.get(Preferences::shownSetup))
        return;
    m_settings.set(Preferences::shownSetup, true);
    m_settingsWindow->show();
}
