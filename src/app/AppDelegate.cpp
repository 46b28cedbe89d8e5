#include "app/AppDelegate.h"

#include "app/SingleInstance.h"
#include "cli/ReloadNotice.h"
#include "events/Inbox.h"
#include "events/PlaybackDriver.h"
#include "note/NoteController.h"
#include "sound/SoundPlayer.h"
#include "stage/MonkeyStage.h"
#include "support/Log.h"
#include "support/Paths.h"
#include "support/Settings.h"
#include "ui/Autostart.h"
#include "ui/SettingsWindowController.h"
#include "ui/StatusMenu.h"
#include "watchers/RevenueCatWatcher.h"
#include "watchers/StripeWatcher.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>

using namespace Qt::StringLiterals;

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
    createInbox();
    followScreenChanges();
    ReloadNotice::subscribe(this, [this] { reloadKeys(); });
    logStart();
    showSetupOnFirstRun();
}

bool AppDelegate::claimSingleInstance()
{
    m_instance = std::make_unique<SingleInstance>();
    if (const auto other = m_instance->claim()) {
        log(u"already running (pid %1); exiting"_s.arg(*other));
        // Starting it again is also how to reach the settings when no tray shows the menu.
        SingleInstance::askToShowSettings();
        QCoreApplication::exit(0);
        return false;
    }
    m_instance->onShowSettings = [this] {
        if (m_settingsWindow)
            m_settingsWindow->show();
    };
    return true;
}

void AppDelegate::createStage()
{
    m_sound = std::make_unique<SoundPlayer>();
    m_stage = std::make_unique<MonkeyStage>(m_settings, m_scheduler, *m_sound);
    m_notes = std::make_unique<NoteController>(m_scheduler);
    m_driver = std::make_unique<PlaybackDriver>(m_settings, m_scheduler, *m_stage, *m_notes);
    QPointer<PlaybackDriver> driver(m_driver.get());
    m_stage->onMonkeyClicked = [driver] {
        if (driver)
            driver->setMonkeyHidden(true, u"click on monkey"_s);
    };
    m_stage->layout();
}

void AppDelegate::createWatchers()
{
    m_stripe = std::make_unique<StripeWatcher>(
        WatcherServices{m_settings, m_secrets, m_scheduler, StripeWatcher::defaultBase()});
    m_revenueCat = std::make_unique<RevenueCatWatcher>(
        WatcherServices{m_settings, m_secrets, m_scheduler, RevenueCatWatcher::defaultBase()});
    const auto play = [driver = m_driver.get()](const MonkeyEvent& event) { driver->receive({event}); };
    connect(m_stripe.get(), &Watcher::delivered, m_driver.get(), play);
    connect(m_revenueCat.get(), &Watcher::delivered, m_driver.get(), play);
}

void AppDelegate::createSettingsWindow()
{
    // The test button's event travels through the inbox like any script's.
    m_settingsWindow = std::make_unique<SettingsWindowController>(*m_stripe, *m_revenueCat, [] {
        Inbox::drop(MonkeyEvent::now(u"sale"_s, u"New sale!"_s, u"Test Monkey (Banana Co.)"_s, u"$49.00 · test slap"_s));
    });
}

void AppDelegate::createStatusMenu()
{
    m_autostart = std::make_unique<Autostart>(Paths::launchAgent());
    m_statusMenu = std::make_unique<StatusMenu>(StatusMenu::Parts{m_settings, *m_stripe, *m_revenueCat, *m_stage,
        *m_driver, *m_sound, *m_settingsWindow, *m_autostart});
    if (!m_statusMenu->trayAvailable())
        log(u"WARN no system tray on this desktop; start Bonkbell again to open its settings"_s);
}

void AppDelegate::createInbox()
{
    m_inbox = std::make_unique<Inbox>(Paths::inbox(), m_scheduler);
    connect(m_inbox.get(), &Inbox::eventsArrived, m_driver.get(), &PlaybackDriver::receive);
    m_inbox->start();
}

void AppDelegate::followScreenChanges()
{
    const auto relayout = [this] { m_stage->layout(); };
    const auto watch = [this, relayout](QScreen* screen) {
        connect(screen, &QScreen::geometryChanged, this, relayout);
        connect(screen, &QScreen::availableGeometryChanged, this, relayout);
    };
    for (QScreen* screen : QGuiApplication::screens())
        watch(screen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [watch, relayout](QScreen* screen) {
        watch(screen);
        relayout();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, relayout);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, relayout);
}

void AppDelegate::reloadKeys()
{
    log(u"keys changed from the command line; reloading"_s);
    m_stripe->reload();
    m_revenueCat->reload();
}

void AppDelegate::logStart()
{
    const auto state = [](bool connected) { return connected ? u"connected"_s : u"off"_s; };
    log(u"started v%1; Stripe %2, RevenueCat %3; inbox %4"_s.arg(QString::fromLatin1(version),
        state(m_stripe->isConnected()), state(m_revenueCat->isConnected()), m_inbox->dir()));
}

void AppDelegate::showSetupOnFirstRun()
{
    if (m_stripe->isConnected() || m_revenueCat->isConnected() || m_settings.get(Preferences::shownSetup))
        return;
    m_settings.set(Preferences::shownSetup, true);
    m_settingsWindow->show();
}
