#include "ui/StatusMenu.h"
#include "support/Autostart.h"
#include "watchers/RevenueCatWatcher.h"
#include "watchers/StripeWatcher.h"
#include "watchers/WatcherFixture.h"

#include <QFile>
#include <QMenu>
#include <QSystemTrayIcon>

namespace {

using namespace Qt::StringLiterals;
using testing::ElementsAre;

// A menu over real preferences, watchers against a loopback server and an autostart entry in a
// temporary directory. What it asks for is written down as it is asked.
class StatusMenuTest : public WatcherFixture {
protected:
    QString entryPath = dir.filePath(u"autostart/com.bonkbell.mac.desktop"_s);
    Autostart autostart{entryPath};
    std::unique_ptr<StripeWatcher> stripe;
    std::unique_ptr<RevenueCatWatcher> revenueCat;
    std::unique_ptr<StatusMenu> statusMenu;
    QStringList asked;
    void build()
    {
        stripe = std::make_unique<StripeWatcher>(services(), false);
        revenueCat = std::make_unique<RevenueCatWatcher>(services(), false);
        statusMenu = std::make_unique<StatusMenu>(StatusMenu::Sources{settings, *stripe, *revenueCat, autostart});
        StatusMenu* menu = statusMenu.get();
        QObject::connect(menu, &StatusMenu::settingsRequested, [this] { asked << u"settings"_s; });
        QObject::connect(menu, &StatusMenu::monkeyHiddenRequested, [this](bool hidden, const QString& reason) {
            asked << (hidden ? u"hide ("_s : u"show ("_s) + reason + u')';
        });
        QObject::connect(
            menu, &StatusMenu::testEventRequested, [this](const QString& kind) { asked << u"test "_s + kind; });
        QObject::connect(
            menu, &StatusMenu::soundChosen, [this](SoundChoice choice) { asked << u"sound "_s + rawValue(choice); });
        QObject::connect(menu, &StatusMenu::sizeRequested, [this](double scale) { asked << u"size %1"_s.arg(scale); });
    }
    QMenu* menu() const { return statusMenu->findChild<QSystemTrayIcon*>()->contextMenu(); }
    // Every item, those of the submenus included, in menu order.
    QList<QAction*> items() const { return menu()->findChildren<QAction*>(); }
    void choose(const QString& title)
    {
        for (QAction* item : items())
            if (item->text() == title)
                return item->trigger();
        ADD_FAILURE() << "no item " << title.toStdString();
    }
    // Opens the menu as the tray host would, and lists the checked items.
    QStringList checkedOnOpening()
    {
        Q_EMIT menu()->aboutToShow();
        QStringList out;
        for (const QAction* item : items())
            if (item->isChecked())
                out.append(item->text());
        return out;
    }
    QString title(int index) const { return menu()->actions().at(index)->text(); }
};

TEST_F(StatusMenuTest, WatcherLinesCheckMarksAndItemsFollowTheStateAsTheMenuOpens)
{
    secrets.save(u"rk_test_abc"_s, StripeWatcher::keychainAccount());
    build();
    server.route(u"/v1/charges"_s, 400, R"({"error":{"message":"Invalid a & b"}})");
    run(stripe->pollNow());
    EXPECT_EQ(title(1), u"Stripe: not connected (test mode)"_s) << "nothing changes before the menu opens";
    checkedOnOpening();
    // An ampersand in a message stays one (doubled, it is no mnemonic).
    EXPECT_EQ(title(1), u"Stripe: ⚠ Stripe said: Invalid a && b (test mode)"_s);
    EXPECT_EQ(title(2), u"RevenueCat: not connected"_s) << "its own state, and never a test-mode suffix";
    const QAction* held = menu()->actions().at(3);
    for (const QString& reason : {u"fullscreen"_s, QString()})
        statusMenu->showHold(reason);
    EXPECT_FALSE(held->isVisible());
    statusMenu->showHold(u"do not disturb"_s);
    EXPECT_TRUE(held->isVisible() && !held->isEnabled() && held->text() == u"Shows held: do not disturb"_s);
    stripe->disconnect();
    checkedOnOpening();
    EXPECT_EQ(title(1), u"Stripe: not connected"_s);
    // Items ask for what they say; check marks follow the state as the menu opens.
    TestEnvironment::takeLogMessages();
    EXPECT_EQ(title(6), u"Hide Monkey"_s);
    EXPECT_THAT(checkedOnOpening(), ElementsAre("Slap", "Show test events", "Medium"));
    for (const QString& title :
        {u"Connect Sales…"_s, u"Hide Monkey"_s, u"Test: new sale"_s, u"Test: new signup"_s, u"Test: renewal"_s,
            u"Slap"_s, u"Pop"_s, u"Off"_s, u"Small"_s, u"Medium"_s, u"Large"_s, u"Open at login"_s})
        choose(title);
    EXPECT_THAT(asked,
        ElementsAre("settings", "hide (menu)", "test sale", "test onboarding", "test renewal", "sound slap",
            "sound pop", "sound off", "size 3", "size 4", "size 5"));
    // The sound, the test-event filter and open at login are stored by the menu itself.
    choose(u"Show test events"_s);
    EXPECT_FALSE(settings.showTests());
    EXPECT_EQ(settings.soundChoice(), SoundChoice::off);
    EXPECT_THAT(TestEnvironment::takeLogMessages(),
        ElementsAre("sound: slap", "sound: pop", "sound: off", u"open at login: on (%1)"_s.arg(entryPath)));
    EXPECT_THAT(checkedOnOpening(), ElementsAre("Off", "Open at login", "Medium"));
    asked.clear();
    settings.setScale(3.5); // no size is exactly that
    settings.setSoundChoice(SoundChoice::pop);
    settings.setAlwaysVisible(false);
    EXPECT_THAT(checkedOnOpening(), ElementsAre("Pop", "Open at login"));
    EXPECT_EQ(title(6), u"Show Monkey"_s);
    choose(u"Show Monkey"_s);
    choose(u"Open at login"_s);
    EXPECT_THAT(asked, ElementsAre("show (menu)"));
    EXPECT_FALSE(QFile::exists(entryPath));
    settings.setScale(5.0);
    EXPECT_THAT(checkedOnOpening(), ElementsAre("Pop", "Large"));
}

TEST_F(StatusMenuTest, TodaysLinesLeadTheMenuAndTheTooltipAndARecentNoteChosenIsAskedFor)
{
    build();
    const QSystemTrayIcon* tray = statusMenu->findChild<QSystemTrayIcon*>();
    const QMenu* recent = menu()->actions().at(7)->menu();
    EXPECT_TRUE(recent->actions().at(0)->text() == u"No notes yet"_s && !recent->actions().at(0)->isEnabled());
    statusMenu->showToday({u"Today: A & B"_s, u"RevenueCat today: +$30.00"_s});
    EXPECT_EQ(tray->toolTip(), u"Bonkbell\nToday: A & B\nRevenueCat today: +$30.00"_s);
    EXPECT_TRUE(title(0) == u"Today: A && B"_s && !menu()->actions().at(1)->isEnabled());
    EXPECT_TRUE(title(2).startsWith(u"Bonkbell"_s));
    statusMenu->showToday({});
    EXPECT_TRUE(tray->toolTip() == u"Bonkbell"_s && title(0).startsWith(u"Bonkbell"_s));

    QList<int> chosen;
    QObject::connect(statusMenu.get(), &StatusMenu::recentChosen, [&](int index) { chosen << index; });
    statusMenu->showRecent({u"14:05  New sale! · A & B"_s, u"14:00  New sale!"_s});
    EXPECT_EQ(recent->actions().at(0)->text(), u"14:05  New sale! · A && B"_s);
    choose(u"14:00  New sale!"_s);
    EXPECT_THAT(chosen, ElementsAre(1));
}

} // namespace
