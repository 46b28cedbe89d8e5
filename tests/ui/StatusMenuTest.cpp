#include "common/LoopbackServer.h"
#include "common/ManualScheduler.h"
#include "common/MemorySecretStore.h"
#include "common/TestEnvironment.h"
#include "events/NotePresenter.h"
#include "events/PlaybackDriver.h"
#include "sound/ImpactSound.h"
#include "stage/MonkeyStage.h"
#include "support/Settings.h"
#include "ui/Autostart.h"
#include "ui/SettingsWindowController.h"
#include "ui/StatusMenu.h"
#include "watchers/RevenueCatWatcher.h"
#include "watchers/StripeWatcher.h"

#include <QDir>
#include <QMenu>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <qcoro/qcorotask.h>

namespace {

using namespace Qt::StringLiterals;
using TestEnvironment::takeLogMessages;
using testing::Contains;
using testing::ElementsAre;
using testing::Not;

struct CountingSound : ImpactSound {
    QList<SoundChoice> played;
    void playImpact(SoundChoice choice) override { played.append(choice); }
};

struct ClosingNotes : NotePresenter {
    void show(const MonkeyEvent&, QPointF, double, std::function<void()> onClose) override { onClose(); }
};

// The menu over real parts: watchers against a loopback server, a stage on a made-up screen,
// preferences, the autostart entry and the inbox in a temporary directory.
class StatusMenuTest : public testing::Test {
protected:
    QTemporaryDir dir;
    Settings settings{dir.filePath(u"prefs.conf"_s)};
    ManualScheduler scheduler;
    MemorySecretStore secrets;
    LoopbackServer server;
    CountingSound sound;
    ClosingNotes notes;
    QString autostartPath = dir.filePath(u"autostart/com.bonkbell.mac.desktop"_s);
    QString inboxDir = dir.filePath(u"inbox"_s);
    std::unique_ptr<StripeWatcher> stripe;
    std::unique_ptr<RevenueCatWatcher> revenueCat;
    std::unique_ptr<MonkeyStage> stage;
    std::unique_ptr<PlaybackDriver> driver;
    std::unique_ptr<SettingsWindowController> settingsWindow;
    std::unique_ptr<Autostart> autostart;
    std::unique_ptr<StatusMenu> statusMenu;

    void SetUp() override { qputenv("BONKBELL_INBOX", inboxDir.toUtf8()); }
    void TearDown() override { qunsetenv("BONKBELL_INBOX"); }

    // Builds everything; the watchers find whatever keys the test stored before.
    void build()
    {
        const WatcherServices services{settings, secrets, scheduler, server.base()};
        stripe = std::make_unique<StripeWatcher>(services, false);
        revenueCat = std::make_unique<RevenueCatWatcher>(services, false);
        stage = std::make_unique<MonkeyStage>(settings, scheduler, sound,
            MonkeyStage::Screen{[] { return std::optional(QRectF(0, 0, 1920, 1048)); }, [] { return QPointF(); }});
        stage->layout();
        driver = std::make_unique<PlaybackDriver>(settings, scheduler, *stage, notes);
        settingsWindow = std::make_unique<SettingsWindowController>(*stripe, *revenueCat, [] {});
        autostart = std::make_unique<Autostart>(autostartPath);
        statusMenu = std::make_unique<StatusMenu>(StatusMenu::Parts{settings, *stripe, *revenueCat, *stage, *driver,
            sound, *settingsWindow, *autostart});
        takeLogMessages();
    }

    static QList<QAction*> allItems(const QMenu* menu)
    {
        QList<QAction*> out;
        for (QAction* action : menu->actions())
            out += action->menu() ? allItems(action->menu()) : QList<QAction*>{action};
        return out;
    }

    void choose(const QString& title)
    {
        for (QAction* action : allItems(statusMenu->menu()))
            if (action->text() == title)
                return action->trigger();
        ADD_FAILURE() << "no item " << title.toStdString();
    }

    // Opens the menu as the tray host would, and lists the checked items.
    QStringList checkedOnOpening()
    {
        Q_EMIT statusMenu->menu()->aboutToShow();
        QStringList out;
        for (const QAction* action : allItems(statusMenu->menu()))
            if (action->isChecked())
                out.append(action->text());
        return out;
    }

    QString title(int index) const { return statusMenu->menu()->actions().at(index)->text(); }
};

TEST_F(StatusMenuTest, WatcherLinesShowTheStateAsTheMenuOpens)
{
    secrets.save(u"rk_test_abc"_s, StripeWatcher::keychainAccount());
    secrets.save(u"sk_abc"_s, RevenueCatWatcher::keychainAccount());
    settings.set(Preferences::rcProject, u"proj1"_s);
    build();
    server.route(u"/v1/charges"_s, 400, R"({"error":{"message":"Invalid a & b"}})");
    server.route(u"/v2/projects/proj1/metrics/revenue"_s, 429, "{}");
    QCoro::waitFor(stripe->pollNow());
    QCoro::waitFor(revenueCat->pollNow());
    EXPECT_EQ(title(1), u"Stripe: not connected (test mode)"_s) << "nothing changes before the menu opens";

    checkedOnOpening();
    // An ampersand in a message stays one (doubled, it is no mnemonic).
    EXPECT_EQ(title(1), u"Stripe: ⚠ Stripe said: Invalid a && b (test mode)"_s);
    EXPECT_EQ(title(2), u"RevenueCat: ⚠ RevenueCat is rate-limiting this key. Bonkbell will slow down and retry."_s);

    server.route(u"/v1/charges"_s, 200, R"({"data":[],"has_more":false})");
    QCoro::waitFor(stripe->pollNow());
    checkedOnOpening();
    EXPECT_EQ(title(1), u"Stripe: watching (test mode)"_s);
    stripe->disconnect();
    checkedOnOpening();
    EXPECT_EQ(title(1), u"Stripe: not connected"_s);
}

TEST_F(StatusMenuTest, HidingAndShowingFromTheMenu)
{
    build();
    choose(u"Hide Monkey"_s);
    EXPECT_FALSE(settings.alwaysVisible());
    checkedOnOpening();
    choose(u"Show Monkey"_s);
    EXPECT_TRUE(settings.alwaysVisible());
    checkedOnOpening();
    EXPECT_EQ(title(5), u"Hide Monkey"_s);
    EXPECT_THAT(takeLogMessages(), ElementsAre("monkey hidden (menu)", "monkey shown (menu)"));
}

TEST_F(StatusMenuTest, ChoicesAreStoredAndCheckedWhenTheMenuOpens)
{
    build();
    EXPECT_THAT(checkedOnOpening(), ElementsAre("Slap", "Show test events", "Medium"));
    settings.setScale(3.5);   // no size is exactly that
    choose(u"Show test events"_s);
    choose(u"Off"_s);
    EXPECT_FALSE(settings.showTests());
    EXPECT_EQ(settings.soundChoice(), SoundChoice::off);
    // The preview of "off": the player is asked for off, which makes no sound.
    EXPECT_THAT(sound.played, ElementsAre(SoundChoice::off));
    EXPECT_THAT(takeLogMessages(), ElementsAre("sound: off"));
    EXPECT_THAT(checkedOnOpening(), ElementsAre("Off"));
}

TEST_F(StatusMenuTest, SizeChangesWaitUntilTheStageIsIdle)
{
    build();
    stage->slap(true, [](QPointF) {}, [] {});
    ASSERT_TRUE(stage->busy());
    choose(u"Large"_s);
    EXPECT_EQ(settings.scale(), 4.0);
    EXPECT_EQ(stage->geometry().S, 4.0);

    scheduler.advance(5);
    ASSERT_FALSE(stage->busy());
    choose(u"Large"_s);
    EXPECT_EQ(stage->geometry().S, 5.0);
    // The size already in effect is stored and laid out again.
    settings.setScale(3.0);
    choose(u"Small"_s);
    EXPECT_EQ(stage->geometry().S, 3.0);
}

TEST_F(StatusMenuTest, OpenAtLoginFollowsTheEntryFile)
{
    build();
    choose(u"Open at login"_s);
    EXPECT_THAT(checkedOnOpening(), Contains("Open at login"));
    choose(u"Open at login"_s);
    EXPECT_FALSE(QFile::exists(autostartPath));
    EXPECT_THAT(checkedOnOpening(), Not(Contains("Open at login")));
    EXPECT_THAT(takeLogMessages(), ElementsAre(u"open at login: on (%1)"_s.arg(autostartPath), "open at login: off"));

    // Where the entry cannot be written the check mark stays off.
    ASSERT_TRUE(QDir(dir.path()).rmdir(u"autostart"_s));
    TestEnvironment::writeFile(dir.filePath(u"autostart"_s), "a file where the directory should be");
    choose(u"Open at login"_s);
    EXPECT_THAT(checkedOnOpening(), Not(Contains("Open at login")));
    EXPECT_THAT(takeLogMessages(), ElementsAre(u"ERROR could not write %1: Not a directory"_s.arg(autostartPath)));
}

TEST_F(StatusMenuTest, TestItemsDropTheirEventsIntoTheInbox)
{
    build();
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    for (const QString& title : {u"Test: new sale"_s, u"Test: new signup"_s, u"Test: renewal"_s})
        choose(title);

    const QStringList expected[] = {
        {u"sale"_s, u"New sale!"_s, u"Test Monkey (Banana Co.)"_s, u"$49.00 · test slap"_s},
        {u"onboarding"_s, u"New signup!"_s, u"Test Monkey (Banana Co.)"_s, u"Just finished signing up"_s},
        {u"renewal"_s, u"Renewal!"_s, u"Recurring payment"_s, u"$12.00 CAD"_s},
    };
    const QDir inbox(inboxDir);
    const QStringList files = inbox.entryList({u"*.json"_s}, QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QFile file(inbox.filePath(files[i]));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const auto event = MonkeyEvent::decode(file.readAll());
        ASSERT_TRUE(event && event->date());
        EXPECT_EQ((QStringList{event->kind, event->headline, event->who.value_or(QString()), event->detail.value_or(QString())}), expected[i]);
        EXPECT_EQ(event->test, false) << "not a test event, so never filtered";
        EXPECT_GE(*event->date(), before);
        EXPECT_LE(*event->date(), QDateTime::currentDateTimeUtc().addSecs(1));
    }
}

} // namespace
