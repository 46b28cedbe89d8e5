#include "ui/StatusMenu.h"

#include "events/Inbox.h"
#include "events/PlaybackDriver.h"
#include "events/TestEvent.h"
#include "sound/ImpactSound.h"
#include "stage/MonkeyStage.h"
#include "support/Autostart.h"
#include "support/Log.h"
#include "support/Settings.h"
#include "ui/TrayIcon.h"
#include "ui/settings/SettingsWindowController.h"
#include "watchers/RevenueCatWatcher.h"
#include "watchers/StripeWatcher.h"

#include <QCoreApplication>
#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

using namespace Qt::StringLiterals;

namespace {

const QString showTestsKey = u"showTests"_s;
const QString loginKey = u"login"_s;

// A menu title shows text as given: '&' would turn into a mnemonic, a tab into a shortcut column.
QString plainTitle(QString text)
{
    text.replace(u'&', u"&&"_s);
    for (const QChar c : {u'\t', u'\n', u'\r'})
        text.replace(c, u' ');
    return text;
}

} // namespace

StatusMenu::StatusMenu(Parts parts, QObject* parent)
    : QObject(parent)
    , m_parts(parts)
    , m_menu(new QMenu)
{
    build();
    refresh();
    connect(m_menu, &QMenu::aboutToShow, this, &StatusMenu::refresh);
    createTrayIcon();
}

StatusMenu::~StatusMenu()
{
    delete m_tray;
    delete m_menu;
}

bool StatusMenu::trayAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void StatusMenu::build()
{
    const QString version = QCoreApplication::applicationVersion();
    addLine(version.isEmpty() ? u"Bonkbell"_s : u"Bonkbell "_s + version);
    m_stripeLine = addLine(u"Stripe"_s);
    m_revenueCatLine = addLine(u"RevenueCat"_s);
    addItem(m_menu, u"Connect Sales…"_s, &StatusMenu::openSettings);
    m_menu->addSeparator();
    m_hideItem = addItem(m_menu, u"Hide Monkey"_s, &StatusMenu::toggleHidden);
    m_menu->addSeparator();
    addItem(m_menu, u"Test: new sale"_s, u"sale"_s, &StatusMenu::dropTestEvent);
    addItem(m_menu, u"Test: new signup"_s, u"onboarding"_s, &StatusMenu::dropTestEvent);
    addItem(m_menu, u"Test: renewal"_s, u"renewal"_s, &StatusMenu::dropTestEvent);
    m_menu->addSeparator();
    addSoundMenu();
    m_toggleItems = {addItem(m_menu, u"Show test events"_s, showTestsKey, &StatusMenu::toggle),
        addItem(m_menu, u"Open at login"_s, loginKey, &StatusMenu::toggle)};
    addSizeMenu();
    m_menu->addSeparator();
    addItem(m_menu, u"Quit Bonkbell"_s, &StatusMenu::quit);
    for (QAction* item : m_toggleItems + m_sizeItems + m_soundItems)
        item->setCheckable(true);
}

QAction* StatusMenu::addLine(const QString& title)
{
    QAction* line = m_menu->addAction(title);
    line->setEnabled(false);
    return line;
}

QAction* StatusMenu::addItem(QMenu* menu, const QString& title, void (StatusMenu::*handler)())
{
    QAction* item = menu->addAction(title);
    connect(item, &QAction::triggered, this, handler);
    return item;
}

QAction* StatusMenu::addItem(QMenu* menu, const QString& title, const QVariant& value,
    void (StatusMenu::*handler)(const QVariant&))
{
    QAction* item = menu->addAction(title);
    item->setData(value);
    connect(item, &QAction::triggered, this, [this, item, handler] { (this->*handler)(item->data()); });
    return item;
}

void StatusMenu::addSoundMenu()
{
    QMenu* sounds = m_menu->addMenu(u"Sound"_s);
    const std::pair<SoundChoice, QString> choices[] = {
        {SoundChoice::slap, u"Slap"_s}, {SoundChoice::pop, u"Pop"_s}, {SoundChoice::off, u"Off"_s}};
    for (const auto& [choice, title] : choices)
        m_soundItems.append(addItem(sounds, title, rawValue(choice), &StatusMenu::setSound));
}

void StatusMenu::addSizeMenu()
{
    QMenu* sizes = m_menu->addMenu(u"Monkey size"_s);
    const std::pair<double, QString> scales[] = {{3.0, u"Small"_s}, {4.0, u"Medium"_s}, {5.0, u"Large"_s}};
    for (const auto& [scale, title] : scales)
        m_sizeItems.append(addItem(sizes, title, scale, &StatusMenu::setSize));
}

void StatusMenu::createTrayIcon()
{
    m_tray = new QSystemTrayIcon(TrayIcon::icon());
    m_tray->setToolTip(u"Bonkbell"_s);
    m_tray->setContextMenu(m_menu);
    // The status item opens its menu on a plain click too; hosts that send only activation need this.
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            m_menu->popup(QCursor::pos());
    });
    m_tray->show();
}

void StatusMenu::refresh()
{
    // Read as they stand now; the menu does not follow changes while it stays open.
    StripeWatcher& stripe = m_parts.stripe;
    QString stripeText = u"Stripe: "_s + statusText(stripe.state());
    if (stripe.isConnected() && stripe.isTestMode())
        stripeText += u" (test mode)"_s;
    m_stripeLine->setText(plainTitle(stripeText));
    m_revenueCatLine->setText(plainTitle(u"RevenueCat: "_s + statusText(m_parts.revenueCat.state())));

    Settings& settings = m_parts.settings;
    m_hideItem->setText(settings.alwaysVisible() ? u"Hide Monkey"_s : u"Show Monkey"_s);
    for (QAction* item : std::as_const(m_toggleItems)) {
        const QString key = item->data().toString();
        item->setChecked(key == showTestsKey ? settings.showTests() : key == loginKey && m_parts.autostart.isOn());
    }
    const double scale = settings.scale();
    for (QAction* item : std::as_const(m_sizeItems))
        item->setChecked(item->data().toDouble() == scale);
    const QString sound = rawValue(settings.soundChoice());
    for (QAction* item : std::as_const(m_soundItems))
        item->setChecked(item->data().toString() == sound);
}

void StatusMenu::openSettings()
{
    m_parts.settingsWindow.show();
}

void StatusMenu::toggleHidden()
{
    m_parts.driver.setMonkeyHidden(m_parts.settings.alwaysVisible(), u"menu"_s);
}

void StatusMenu::dropTestEvent(const QVariant& kind)
{
    // Through the inbox like any script's event, so it queues and filters the same way.
    if (const auto event = testEvent(kind.toString()))
        Inbox::drop(*event);
}

void StatusMenu::setSound(const QVariant& raw)
{
    const auto choice = soundChoiceFromRaw(raw.toString());
    if (!choice)
        return;
    m_parts.settings.setSoundChoice(*choice);
    m_parts.sound.playImpact(*choice);
    log(u"sound: "_s + raw.toString());
    refresh();
}

void StatusMenu::toggle(const QVariant& key)
{
    if (key.toString() == showTestsKey)
        m_parts.settings.setShowTests(!m_parts.settings.showTests());
    else if (key.toString() == loginKey)
        m_parts.autostart.setOn(!m_parts.autostart.isOn(), QCoreApplication::applicationFilePath());
    // Qt flips a check mark when it is clicked; put it back in line with what really happened.
    refresh();
}

void StatusMenu::setSize(const QVariant& scale)
{
    // A new size in the middle of a swing would tear the running animation apart.
    if (!m_parts.stage.busy()) {
        m_parts.settings.setScale(scale.toDouble());
        m_parts.stage.layout();
    }
    refresh();
}

void StatusMenu::quit()
{
    log(u"quit from menu"_s);
    QCoreApplication::quit();
}
