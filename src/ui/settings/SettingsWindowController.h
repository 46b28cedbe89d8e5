#pragma once

#include "support/SystemScheduler.h"

#include <QObject>

#include <functional>

class QWidget;
class RevenueCatWatcher;
class SettingsView;
class StripeWatcher;

// The settings window: enter and check the service keys, see each watcher's state, send a test event.
class SettingsWindowController : public QObject {
    Q_OBJECT
public:
    // `clock` tells how long ago each service was last checked.
    SettingsWindowController(StripeWatcher& stripe, RevenueCatWatcher& revenueCat, std::function<void()> onTest,
        QObject* parent = nullptr, Scheduler& clock = SystemScheduler::shared());
    ~SettingsWindowController() override;

    // Shows the window (creating it once, keeping it when closed) and brings it forward.
    void show();
    // None until the first show.
    QWidget* window() const;
    SettingsView* view() const { return m_view; }

private:
    void createWindow();

    StripeWatcher& m_stripe;
    RevenueCatWatcher& m_revenueCat;
    std::function<void()> m_onTest;
    Scheduler& m_clock;
    SettingsView* m_view = nullptr;
};
