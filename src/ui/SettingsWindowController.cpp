#include "ui/SettingsWindowController.h"

#include <QWidget>

SettingsWindowController::SettingsWindowController(StripeWatcher& stripe, RevenueCatWatcher& revenueCat,
    std::function<void()> onTest, QObject* parent)
    : QObject(parent)
    , m_stripe(stripe)
    , m_revenueCat(revenueCat)
    , m_onTest(std::move(onTest))
{
}

SettingsWindowController::~SettingsWindowController()
{
    delete m_window;
}

void SettingsWindowController::show()
{
    if (!m_window)
        m_window = new QWidget;
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}
