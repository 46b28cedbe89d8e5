#include "events/PlaybackDriver.h"
#include "common/ManualScheduler.h"
#include "common/TestEnvironment.h"
#include "events/NotePresenter.h"
#include "events/Stage.h"
#include "money/Money.h"
#include "support/Settings.h"

#include <QTemporaryDir>
#include <gmock/gmock.h>

namespace {

using namespace Qt::StringLiterals;
using TestEnvironment::takeLogMessages;
using testing::ElementsAre;

// Records each slap and note; the test decides when the hand hits, the motion ends and the note goes.
struct FakeStage : Stage, NotePresenter {
    struct Slap {
        bool money;
        std::function<void(QPointF)> onImpact;
        std::function<void()> onDone;
    };
    struct Note {
        MonkeyEvent event;
        QPointF at;
        double seconds;
        std::function<void()> onClose;
    };
    QList<Slap> slaps;
    QList<Note> notes;
    int visibilityApplied = 0;
    void slap(bool money, std::function<void(QPointF)> onImpact, std::function<void()> onDone) override
    {
        slaps.append({money, onImpact, onDone});
    }
    void applyVisibility() override { ++visibilityApplied; }
    void show(const MonkeyEvent& event, QPointF at, double seconds, std::function<void()> closed) override
    {
        notes.append({event, at, seconds, closed});
    }
};

MonkeyEvent event(const QString& headline, const QString& kind = u"sale"_s, std::optional<QString> at = {})
{
    return MonkeyEvent{kind, headline, u"who"_s, u"detail"_s, {}, std::move(at)};
}

class PlaybackDriverTest : public testing::Test {
protected:
    QTemporaryDir dir;
    Settings settings{dir.filePath(u"prefs.conf"_s)};
    ManualScheduler scheduler;
    FakeStage stage;
    QList<FakeStage::Note>& notes = stage.notes;
    PlaybackDriver driver{settings, scheduler, stage, stage};
    void SetUp() override { takeLogMessages(); }
    // An event `seconds` old, in the scheduler's time.
    MonkeyEvent aged(const QString& headline, double seconds, const QString& kind = u"sale"_s)
    {
        return event(headline, kind, scheduler.now().addMSecs(-qint64(seconds * 1000)).toString(Qt::ISODateWithMs));
    }
    void impact(qsizetype i) { stage.slaps[i].onImpact(QPointF(100, 200)); }
    void stageDone(qsizetype i) { stage.slaps[i].onDone(); }
    // Plays every show that starts to its end, the hand hitting each time.
    void playAll()
    {
        for (qsizetype i = notes.size(); i < stage.slaps.size(); ++i) {
            impact(i);
            stageDone(i);
            notes[i].onClose();
            scheduler.advance(0.4);
        }
    }
    QStringList shown() const
    {
        QStringList out;
        for (const auto& note : notes)
            out.append(note.event.headline);
        return out;
    }
};

TEST_F(PlaybackDriverTest, PlaysOneShowAtATimeAfterStageAndNoteShortNotesWhileTwoWaitTestMoneySlapsWithoutMoney)
{
    driver.receive({event(u"one"_s), event(u"two"_s)});
    ASSERT_EQ(stage.slaps.size(), 1);
    impact(0);
    ASSERT_EQ(notes.size(), 1);
    EXPECT_EQ(notes[0].at, QPointF(100, 200));
    notes[0].onClose(); // the note goes first...
    scheduler.advance(5);
    EXPECT_EQ(stage.slaps.size(), 1) << "the stage has not finished";
    stageDone(0); // ...the stage last: 0.4 s later the next one
    scheduler.advance(0.39);
    EXPECT_EQ(stage.slaps.size(), 1);
    scheduler.advance(0.01);
    ASSERT_EQ(stage.slaps.size(), 2);
    impact(1);
    stageDone(1); // now the stage first, the note last
    scheduler.advance(1);
    EXPECT_TRUE(driver.isPlaying());
    notes[1].onClose();
    EXPECT_FALSE(driver.isPlaying());
    EXPECT_THAT(shown(), ElementsAre("one", "two"));
    settings.set(Preferences::noteSeconds, 6.5);
    driver.receive({event(u"a"_s), event(u"b"_s), event(u"c"_s)});
    playAll();
    ASSERT_EQ(notes.size(), 5);
    EXPECT_EQ(std::pair(notes[2].seconds, notes[3].seconds), std::pair(4.0, 6.5));
    // Test money slaps without money and is marked in the log.
    settings.setSoundChoice(SoundChoice::pop);
    takeLogMessages();
    driver.receive({MonkeyEvent{u"sale"_s, u"New sale!"_s, {}, u"$1"_s, true, {}}, event(u"real"_s)});
    EXPECT_THAT(takeLogMessages(), ElementsAre("slap: sale [TEST] New sale! |  | $1 (sound: pop)"));
    playAll();
    ASSERT_EQ(stage.slaps.size(), 7);
    EXPECT_EQ(std::pair(stage.slaps[5].money, stage.slaps[6].money), std::pair(false, true));
    takeLogMessages();
    driver.setMonkeyHidden(true, u"click on monkey"_s);
    EXPECT_FALSE(settings.alwaysVisible());
    EXPECT_EQ(stage.visibilityApplied, 1);
    EXPECT_THAT(takeLogMessages(), ElementsAre("monkey hidden (click on monkey)"));
}

TEST_F(PlaybackDriverTest, StaleEventsRollIntoOneSummaryAfterTheFreshOnes)
{
    const QDateTime received = scheduler.now();
    driver.receive({aged(u"s1"_s, 30000), aged(u"s2"_s, 21601, u"mobile_sale"_s), aged(u"s3"_s, 99999),
        aged(u"o"_s, 50000, u"onboarding"_s), aged(u"fresh"_s, 21600)});
    EXPECT_THAT(takeLogMessages(),
        ElementsAre(
            "4 event(s) older than 6h rolled into one summary note", "slap: sale fresh | who | detail (sound: slap)"));
    playAll();
    ASSERT_EQ(notes.size(), 2);
    EXPECT_EQ(notes[1].event,
        MonkeyEvent::now(u"summary"_s, u"While you were away"_s, u"3 sales · 1 onboarding"_s, u"Older than 6 hours"_s,
            false, received));
    EXPECT_FALSE(stage.slaps[1].money);
    const auto summaryOf = [&](const QList<MonkeyEvent>& events) {
        driver.receive(events);
        playAll();
        return notes.last().event.who;
    };
    MonkeyEvent staleTest = aged(u"old test"_s, 90000);
    staleTest.test = true;
    EXPECT_EQ(summaryOf({aged(u"x"_s, 90000, u"refund"_s)}), u"1 events"_s);
    EXPECT_EQ(summaryOf({staleTest, aged(u"old"_s, 90000, u"renewal"_s)}), u"1 sale · 1 renewal"_s);
    settings.setShowTests(false);
    takeLogMessages();
    EXPECT_EQ(summaryOf({staleTest, aged(u"old"_s, 90000, u"renewal"_s)}), u"1 renewal"_s);
    EXPECT_EQ(takeLogMessages().first(), u"skipped test-account event (hidden in menu): old test"_s);
    // Dates that cannot be read or lie ahead are not stale.
    driver.receive({event(u"odd"_s, u"sale"_s, u"last tuesday"_s), aged(u"future"_s, -90000)});
    playAll();
    EXPECT_THAT(shown().mid(5), ElementsAre("odd", "future"));
}

TEST_F(PlaybackDriverTest,
    HeldEventsWaitInOrderWhileTheShowOnScreenFinishesStaleOnesFoldIntoOneSummaryAndTheHoldLogsOnceEachWay)
{
    QStringList reasons;
    QObject::connect(&driver, &PlaybackDriver::holdChanged, [&](const QString& reason) { reasons << reason; });
    driver.receive({event(u"on screen"_s)});
    driver.setHeld(u"fullscreen"_s);
    driver.receive({event(u"a"_s), event(u"b"_s)});
    driver.setHeld(u"do not disturb"_s);
    playAll();
    scheduler.advance(60);
    EXPECT_THAT(shown(), ElementsAre("on screen"));
    EXPECT_EQ(driver.waiting(), 2);
    driver.setHeld(std::nullopt);
    playAll();
    EXPECT_THAT(shown(), ElementsAre("on screen", "a", "b"));
    EXPECT_THAT(takeLogMessages().filter(u" shows"_s), ElementsAre("holding shows (fullscreen)", "resuming shows"));
    EXPECT_THAT(reasons, ElementsAre("fullscreen", "do not disturb", ""));
    // Events gone stale during a hold fold into one summary; turning holding off ends the hold.
    driver.setHeld(u"do not disturb"_s);
    driver.receive({aged(u"old"_s, 30000), aged(u"aging"_s, 100, u"renewal"_s), event(u"undated"_s)});
    scheduler.advance(21600);
    driver.receive({aged(u"fresh"_s, 0)});
    takeLogMessages();
    driver.setHeld(std::nullopt);
    playAll();
    EXPECT_THAT(takeLogMessages().mid(0, 2),
        ElementsAre("resuming shows", "2 event(s) older than 6h rolled into one summary note"));
    EXPECT_THAT(shown().mid(3), ElementsAre("undated", "fresh", "While you were away"));
    EXPECT_EQ(notes.last().event.who, u"1 sale · 1 renewal"_s);
    driver.setHeld(u"fullscreen"_s);
    settings.set(Preferences::holdWhenBusy, false);
    driver.receive({event(u"played"_s)});
    EXPECT_EQ(stage.slaps.size(), 7) << "the hold ends with the next event";
    driver.setHeld(u"fullscreen"_s);
    driver.receive({event(u"too"_s)});
    playAll();
    EXPECT_THAT(shown().mid(6), ElementsAre("played", "too"));
    EXPECT_THAT(takeLogMessages().filter(u" shows"_s), ElementsAre("holding shows (fullscreen)", "resuming shows"));
}

// Every event of a burst counts in some note, and its file goes only once that note has played.
TEST_F(PlaybackDriverTest, ABurstPlaysAFewShowsAndOneNoteCountingTheRestAndFilesGoOnlyWhenDoneWith)
{
    QStringList released;
    QObject::connect(&driver, &PlaybackDriver::released, [&](const QStringList& files) { released += files; });
    QList<MonkeyEvent> burst;
    QStringList files;
    for (int i = 0; i < 250; ++i) {
        burst.append(event(u"s%1"_s.arg(i), i % 10 ? u"sale"_s : u"renewal"_s));
        burst.last().amount = i == 7 ? 10 : i == 8 ? 5 : 2;
        burst.last().currency = i == 7 ? u"eur"_s : i == 8 ? u"EUR"_s : u"usd"_s;
        burst.last().test = i == 249; // counted, its money not
        files.append(u"%1.json"_s.arg(i));
    }
    driver.receive(burst.mid(0, 100), files.mid(0, 100));
    EXPECT_EQ(driver.waiting(), PlaybackDriver::burstShows + 1);
    driver.receive(burst.mid(100), files.mid(100));
    EXPECT_EQ(driver.waiting(), PlaybackDriver::burstShows + 1) << "the rest joins the same note";
    impact(0);
    stageDone(0);
    notes[0].onClose();
    EXPECT_THAT(released, ElementsAre("0.json"));
    scheduler.advance(0.4);
    playAll();
    EXPECT_THAT(shown(), ElementsAre("s0", "s1", "s2", "s3", "s4", "And more!"));
    EXPECT_EQ(notes.last().event.who, u"221 more sales · 24 more renewals"_s);
    EXPECT_EQ(notes.last().event.detail, formatMoney(15, u"EUR"_s) + u" · "_s + formatMoney(484, u"USD"_s));
    EXPECT_EQ(QSet<QString>(released.begin(), released.end()), QSet<QString>(files.begin(), files.end()));
    EXPECT_THAT(takeLogMessages().filter(u"rolled"_s), ElementsAre("95 waiting event(s) rolled into one note"))
        << "once, when the note is made";
    // Dropped test events go at once; stale ones when their summary has played.
    released.clear();
    settings.setShowTests(false);
    driver.receive({burst.last(), aged(u"old"_s, 30000)}, {u"test.json"_s, u"old.json"_s});
    EXPECT_THAT(released, ElementsAre("test.json"));
    playAll();
    EXPECT_THAT(released, ElementsAre("test.json", "old.json"));
    // Stale ones that trickle in while a show plays join the summary still waiting.
    driver.receive({event(u"on screen"_s)});
    driver.receive({aged(u"x"_s, 30000)});
    driver.receive({aged(u"y"_s, 30000, u"renewal"_s)});
    playAll();
    EXPECT_THAT(shown().mid(shown().size() - 2), ElementsAre("on screen", "While you were away"));
    EXPECT_EQ(notes.last().event.who, u"1 sale · 1 renewal"_s);
}

// Callbacks that come late, twice, or after the driver is gone never start overlapping shows.
TEST_F(PlaybackDriverTest, StrayCallbacksChangeNothing)
{
    driver.receive({event(u"a"_s), event(u"b"_s), event(u"c"_s)});
    stageDone(0); // a slap without an impact (no screen) moves on when the stage is done
    scheduler.advance(0.4);
    ASSERT_EQ(stage.slaps.size(), 2);
    impact(0); // a late impact of the finished show shows nothing
    EXPECT_THAT(notes, testing::IsEmpty());
    impact(1);
    impact(1);
    EXPECT_EQ(notes.size(), 1);
    stageDone(0); // the finished show's callback again
    scheduler.advance(1);
    EXPECT_EQ(stage.slaps.size(), 2);
    stageDone(1);
    notes[0].onClose();
    notes[0].onClose();
    scheduler.advance(0.2);
    driver.receive({event(u"d"_s)}); // during the pause: starts at once...
    EXPECT_EQ(stage.slaps.size(), 3);
    scheduler.advance(5); // ...and the delayed step finds it busy
    EXPECT_EQ(stage.slaps.size(), 3);
    EXPECT_TRUE(driver.isPlaying());
    // Gone with its show unfinished, a driver starts nothing more.
    auto owned = std::make_unique<PlaybackDriver>(settings, scheduler, stage, stage);
    owned->receive({event(u"e"_s), event(u"f"_s)});
    impact(3);
    stageDone(3);
    owned.reset();
    notes[1].onClose();
    scheduler.advance(1);
    EXPECT_EQ(stage.slaps.size(), 4);
}

} // namespace
