#pragma once

#include "support/SystemScheduler.h"

#include <QObject>

class RevenueCatWatcher;
class SettingsView;
class StripeWatcher;
class WatcherAccounts;

// The settings window: enter and check the service keys, see each watcher's state, send a test event.
class SettingsWindowController : public QObject {
    Q_OBJECT
public:
    // `clock` tells how long ago each service was last checked.
    SettingsWindowController(StripeWatcher& stripe, RevenueCatWatcher& revenueCat, QObject* parent = nullptr,
        Scheduler& clock = SystemScheduler::shared());
    ~SettingsWindowController() override;

    // The window also lists these accounts and adds or removes one; before the first show.
    void listAccounts(WatcherAccounts& accounts) { m_accounts = &accounts; }

    // Shows the window (creating it once, keeping it when closed) and brings it forward.
    void show();

Q_SIGNALS:
    // The test button: a sample event of `kind` ("sale") should go out.
    void testEventRequested(const QString& kind);

private:
    void createWindow();

    StripeWatcher& m_stripe;
    RevenueCatWatcher& m_revenueCat;
    Scheduler& m_clock;
    WatcherAccounts* m_accounts = nullptr;
    SettingsView* m_view = nullptr;
};
