#include "ui/settings/SettingsWindowController.h"

#include "ui/settings/SettingsView.h"

#include <QGuiApplication>
#include <QScreen>
#include <QShortcut>

using namespace Qt::StringLiterals;

SettingsWindowController::SettingsWindowController(
    StripeWatcher& stripe, RevenueCatWatcher& revenueCat, QObject* parent, Scheduler& clock)
    : QObject(parent)
    , m_stripe(stripe)
    , m_revenueCat(revenueCat)
    , m_clock(clock)
{
}

SettingsWindowController::~SettingsWindowController()
{
    delete m_view;
}

void SettingsWindowController::show()
{
    if (!m_view)
        createWindow();
    m_view->setWindowState(m_view->windowState() & ~Qt::WindowMinimized);
    m_view->show();
    m_view->raise();
    m_view->activateWindow();
}

void SettingsWindowController::createWindow()
{
    m_view = new SettingsView(m_stripe, m_revenueCat, m_clock);
    m_view->setObjectName(u"settingsWindow"_s);
    if (m_accounts)
        m_view->addAccountsSection(*m_accounts);
    connect(m_view, &SettingsView::testEventRequested, this, &SettingsWindowController::testEventRequested);
    // Closing only hides it, so typed text and a running check survive until the next show.
    m_view->setAttribute(Qt::WA_DeleteOnClose, false);
    m_view->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
        | Qt::WindowMinimizeButtonHint);
    m_view->setWindowTitle(u"Bonkbell"_s);
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)})
        connect(new QShortcut(keys, m_view), &QShortcut::activated, m_view, &QWidget::close);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), m_view->size());
        frame.moveCenter(screen->availableGeometry().center());
        m_view->move(frame.topLeft());
    }
}
