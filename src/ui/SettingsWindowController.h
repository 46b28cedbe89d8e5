#pragma once

#include <QObject>

#include <functional>

class QWidget;
class RevenueCatWatcher;
class StripeWatcher;

// The settings window: enter and check the service keys, see each watcher's state, send a test event.
class SettingsWindowController : public QObject {
    Q_OBJECT
public:
    SettingsWindowController(StripeWatcher& stripe, RevenueCatWatcher& revenueCat, std::function<void()> onTest,
        QObject* parent = nullptr);
    ~SettingsWindowController() override;

    // Shows the window (creating it once, keeping it when closed) and brings it forward.
    void show();
    QWidget* window() const { return m_window; }

private:
    StripeWatcher& m_stripe;
    RevenueCatWatcher& m_revenueCat;
    std::function<void()> m_onTest;
    QWidget* m_window = nullptr;
};
