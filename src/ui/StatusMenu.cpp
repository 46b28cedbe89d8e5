#include "ui/StatusMenu.h"

#include "support/Autostart.h"
#include "support/Log.h"
#include "support/Settings.h"
#include "ui/TrayIcon.h"
#include "watchers/RevenueCatWatcher.h"
#include "watchers/StripeWatcher.h"
#include "watchers/WatcherAccounts.h"

#include <QCoreApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QMenu>
#include <QSystemTrayIcon>

using namespace Qt::StringLiterals;

namespace {

const QString showTestsKey = u"showTests"_s;
const QString loginKey = u"login"_s;
const int recentTitleWidth = 420;

// A menu title shows text as given: '&' would turn into a mnemonic, a tab into a shortcut column.
QString plainTitle(QString text)
{
    text.replace(u'&', u"&&"_s);
    for (const QChar c : {u'\t', u'\n', u'\r'})
        text.replace(c, u' ');
    return text;
}

// "Stripe (Acme): Watching (test mode)".
QString statusLine(const Watcher& watcher)
{
    QString text = watcher.name() + u": "_s + statusText(watcher.state());
    const auto* stripe = qobject_cast<const StripeWatcher*>(&watcher);
    if (stripe && stripe->isConnected() && stripe->isTestMode())
        text += u" (test mode)"_s;
    return plainTitle(text);
}

} // namespace

StatusMenu::StatusMenu(Sources sources, QObject* parent)
    : QObject(parent)
    , m_sources(sources)
    , m_menu(new QMenu)
{
    m_menu->setObjectName(u"statusMenu"_s);
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
    m_holdLine = addLine(QString());
    m_holdLine->setVisible(false);
    addItem(m_menu, u"Connect Sales…"_s, &StatusMenu::settingsRequested);
    m_menu->addSeparator();
    m_hideItem = addItem(m_menu, u"Hide Monkey"_s, &StatusMenu::toggleHidden);
    m_recentMenu = m_menu->addMenu(u"Recent"_s);
    showRecent({});
    m_menu->addSeparator();
    addItem(m_menu, u"Test: new sale"_s, u"sale"_s, &StatusMenu::requestTestEvent);
    addItem(m_menu, u"Test: new signup"_s, u"onboarding"_s, &StatusMenu::requestTestEvent);
    addItem(m_menu, u"Test: renewal"_s, u"renewal"_s, &StatusMenu::requestTestEvent);
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

QAction* StatusMenu::addItem(
    QMenu* menu, const QString& title, const QVariant& value, void (StatusMenu::*handler)(const QVariant&))
{
    QAction* item = menu->addAction(title);
    item->setData(value);
    connect(item, &QAction::triggered, this, [this, item, handler] {
        (this->*handler)(item->data());
        // Qt flips a check mark when it is clicked; put it back in line with what really happened.
        refresh();
    });
    return item;
}

void StatusMenu::addSoundMenu()
{
    QMenu* sounds = m_menu->addMenu(u"Sound"_s);
    const std::pair<SoundChoice, QString> choices[]
        = {{SoundChoice::slap, u"Slap"_s}, {SoundChoice::pop, u"Pop"_s}, {SoundChoice::off, u"Off"_s}};
    for (const auto& [choice, title] : choices)
        m_soundItems.append(addItem(sounds, title, rawValue(choice), &StatusMenu::chooseSound));
}

void StatusMenu::addSizeMenu()
{
    QMenu* sizes = m_menu->addMenu(u"Monkey size"_s);
    const std::pair<double, QString> scales[] = {{3.0, u"Small"_s}, {4.0, u"Medium"_s}, {5.0, u"Large"_s}};
    for (const auto& [scale, title] : scales)
        m_sizeItems.append(addItem(sizes, title, scale, &StatusMenu::chooseSize));
}

void StatusMenu::createTrayIcon()
{
    m_tray = new QSystemTrayIcon(TrayIcon::icon(), this);
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
    m_stripeLine->setText(statusLine(m_sources.stripe));
    m_revenueCatLine->setText(statusLine(m_sources.revenueCat));
    refreshAccountLines();

    const Settings& settings = m_sources.settings;
    m_hideItem->setText(settings.alwaysVisible() ? u"Hide Monkey"_s : u"Show Monkey"_s);
    for (QAction* item : std::as_const(m_toggleItems)) {
        const QString key = item->data().toString();
        item->setChecked(key == showTestsKey ? settings.showTests() : key == loginKey && m_sources.autostart.isOn());
    }
    const double scale = settings.scale();
    for (QAction* item : std::as_const(m_sizeItems))
        item->setChecked(item->data().toDouble() == scale);
    const QString sound = rawValue(settings.soundChoice());
    for (QAction* item : std::as_const(m_soundItems))
        item->setChecked(item->data().toString() == sound);
}

void StatusMenu::showHold(const QString& reason)
{
    m_holdLine->setText(plainTitle(u"Shows held: "_s + reason));
    m_holdLine->setVisible(!reason.isEmpty());
}

void StatusMenu::showToday(const QStringList& lines)
{
    qDeleteAll(m_todayLines);
    m_todayLines.clear();
    QAction* first = m_menu->actions().value(0);
    for (const QString& text : lines) {
        auto* line = new QAction(plainTitle(text), m_menu);
        line->setEnabled(false);
        m_menu->insertAction(first, line);
        m_todayLines.append(line);
    }
    m_tray->setToolTip((QStringList{u"Bonkbell"_s} + lines).join(u'\n'));
}

void StatusMenu::showRecent(const QStringList& titles)
{
    m_recentMenu->clear();
    if (titles.isEmpty())
        m_recentMenu->addAction(u"No notes yet"_s)->setEnabled(false);
    // A long description would stretch the menu across the screen.
    const QFontMetrics metrics(m_recentMenu->font());
    for (int i = 0; i < titles.size(); ++i) {
        const QString title = metrics.elidedText(titles[i], Qt::ElideRight, recentTitleWidth);
        addItem(m_recentMenu, plainTitle(title), i, &StatusMenu::chooseRecent);
    }
}

void StatusMenu::toggleHidden()
{
    Q_EMIT monkeyHiddenRequested(m_sources.settings.alwaysVisible(), u"menu"_s);
}

void StatusMenu::requestTestEvent(const QVariant& kind)
{
    Q_EMIT testEventRequested(kind.toString());
}

void StatusMenu::chooseSound(const QVariant& raw)
{
    const auto choice = soundChoiceFromRaw(raw.toString());
    if (!choice)
        return;
    m_sources.settings.setSoundChoice(*choice);
    log(u"sound: "_s + raw.toString());
    Q_EMIT soundChosen(*choice);
}

void StatusMenu::toggle(const QVariant& key)
{
    if (key.toString() == showTestsKey)
        m_sources.settings.setShowTests(!m_sources.settings.showTests());
    else if (key.toString() == loginKey)
        m_sources.autostart.setOn(!m_sources.autostart.isOn(), QCoreApplication::applicationFilePath());
}

void StatusMenu::chooseSize(const QVariant& scale)
{
    Q_EMIT sizeRequested(scale.toDouble());
}

void StatusMenu::chooseRecent(const QVariant& index)
{
    Q_EMIT recentChosen(index.toInt());
}

void StatusMenu::quit()
{
    log(u"quit from menu"_s);
    QCoreApplication::quit();
}

void StatusMenu::refreshAccountLines()
{
    qDeleteAll(m_accountLines);
    m_accountLines.clear();
    if (!m_sources.accounts)
        return;
    for (const Watcher* watcher : m_sources.accounts->all()) {
        if (watcher->label().isEmpty())
            continue;
        auto* line = new QAction(statusLine(*watcher), m_menu);
        line->setEnabled(false);
        m_menu->insertAction(m_holdLine, line);
        m_accountLines.append(line);
    }
}
