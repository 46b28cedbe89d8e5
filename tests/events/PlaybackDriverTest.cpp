#include "common/ManualScheduler.h"
#include "common/TestEnvironment.h"
#include "events/NotePresenter.h"
#include "events/PlaybackDriver.h"
#include "events/Stage.h"
#include "support/Settings.h"

#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using TestEnvironment::takeLogMessages;
using testing::ElementsAre;
using testing::IsEmpty;

// Records each slap; the test decides when the hand hits and when the motion ends.
struct FakeStage : Stage {
    struct Slap {
        bool money;
        std::function<void(QPointF)> onImpact;
        std::function<void()> onDone;
    };
    QList<Slap> slaps;
    int visibilityApplied = 0;

    void slap(bool money, std::function<void(QPointF)> onImpact, std::function<void()> onDone) override
    {
        slaps.append({money, std::move(onImpact), std::move(onDone)});
    }
    void applyVisibility() override { ++visibilityApplied; }
};

struct FakeNotes : NotePresenter {
    struct Note {
        MonkeyEvent event;
        QPointF at;
        double seconds;
        std::function<void()> onClose;
    };
    QList<Note> notes;

    void show(const MonkeyEvent& event, QPointF handAt, double seconds, std::function<void()> onClose) override
    {
        notes.append({event, handAt, seconds, std::move(onClose)});
    }
};

MonkeyEvent event(const QString& headline, const QString& kind = QStringLiteral("sale"), std::optional<QString> at = {})
{
    return MonkeyEvent{kind, headline, QStringLiteral("who"), QStringLiteral("detail"), {}, std::move(at)};
}

class PlaybackDriverTest : public testing::Test {
protected:
    QTemporaryDir dir;
    Settings settings{dir.filePath(QStringLiteral("prefs.conf"))};
    ManualScheduler scheduler;
    FakeStage stage;
    FakeNotes notes;
    PlaybackDriver driver{settings, scheduler, stage, notes};

    void SetUp() override { takeLogMessages(); }

    // An event `seconds` old, in the scheduler's time.
    MonkeyEvent aged(const QString& headline, double seconds, const QString& kind = QStringLiteral("sale"))
    {
        const QDateTime at = scheduler.now().addMSecs(-qint64(seconds * 1000));
        return event(headline, kind, at.toString(Qt::ISODateWithMs));
    }

    void impact(qsizetype i) { stage.slaps[i].onImpact(QPointF(100, 200)); }
    void stageDone(qsizetype i) { stage.slaps[i].onDone(); }
    void noteClosed(qsizetype i) { notes.notes[i].onClose(); }
    QStringList shown() const
    {
        QStringList out;
        for (const auto& note : notes.notes)
            out.append(note.event.headline);
        return out;
    }
};

TEST_F(PlaybackDriverTest, PlaysOneShowAtATimeAndWaitsForStageAndNote)
{
    driver.receive({event(QStringLiteral("one")), event(QStringLiteral("two"))});
    ASSERT_EQ(stage.slaps.size(), 1);
    impact(0);
    ASSERT_EQ(notes.notes.size(), 1);
    EXPECT_EQ(notes.notes[0].at, QPointF(100, 200));

    noteClosed(0);                       // the note goes first...
    scheduler.advance(5);
    EXPECT_EQ(stage.slaps.size(), 1) << "the stage has not finished";
    stageDone(0);                        // ...the stage last: 0.4 s later the next one
    scheduler.advance(0.39);
    EXPECT_EQ(stage.slaps.size(), 1);
    scheduler.advance(0.01);
    ASSERT_EQ(stage.slaps.size(), 2);

    impact(1);
    stageDone(1);                        // now the stage first, the note last
    scheduler.advance(1);
    EXPECT_TRUE(driver.isPlaying());
    noteClosed(1);
    EXPECT_FALSE(driver.isPlaying());
    EXPECT_THAT(shown(), ElementsAre("one", "two"));
}

TEST_F(PlaybackDriverTest, ShortNotesWhileTwoOrMoreWait)
{
    settings.set(Preferences::noteSeconds, 6.5);
    driver.receive({event(QStringLiteral("a")), event(QStringLiteral("b")), event(QStringLiteral("c"))});
    for (qsizetype i = 0; i < 3; ++i) {
        impact(i);
        stageDone(i);
        noteClosed(i);
        scheduler.advance(0.4);
    }
    ASSERT_EQ(notes.notes.size(), 3);
    EXPECT_EQ(notes.notes[0].seconds, 4.0);
    EXPECT_EQ(notes.notes[1].seconds, 6.5);
    EXPECT_EQ(notes.notes[2].seconds, 6.5);
}

TEST_F(PlaybackDriverTest, StaleEventsRollIntoOneSummaryAfterTheFreshOnes)
{
    driver.receive({aged(QStringLiteral("s1"), 30000), aged(QStringLiteral("s2"), 21601, QStringLiteral("mobile_sale")),
        aged(QStringLiteral("s3"), 99999), aged(QStringLiteral("o"), 50000, QStringLiteral("onboarding")),
        aged(QStringLiteral("fresh"), 21600)});
    EXPECT_THAT(takeLogMessages(), ElementsAre("4 event(s) older than 6h rolled into one summary note",
        "slap: sale fresh | who | detail (sound: slap)"));
    impact(0);
    stageDone(0);
    noteClosed(0);
    scheduler.advance(0.4);
    ASSERT_EQ(notes.notes.size(), 1);
    impact(1);
    const MonkeyEvent& summary = notes.notes[1].event;
    EXPECT_EQ(summary.kind, QStringLiteral("summary"));
    EXPECT_EQ(summary.headline, QStringLiteral("While you were away"));
    EXPECT_EQ(summary.who, QStringLiteral("3 sales · 1 onboarding"));
    EXPECT_EQ(summary.detail, QStringLiteral("Older than 6 hours"));
    EXPECT_EQ(summary.test, false);
    EXPECT_FALSE(stage.slaps[1].money);
}

TEST_F(PlaybackDriverTest, AStaleEventOfAnotherKindCountsAsEvents)
{
    driver.receive({aged(QStringLiteral("x"), 90000, QStringLiteral("refund"))});
    impact(0);
    EXPECT_EQ(notes.notes[0].event.who, QStringLiteral("1 events"));
}

TEST_F(PlaybackDriverTest, HiddenTestEventsAreSkippedAndCountForNothing)
{
    MonkeyEvent staleTest = aged(QStringLiteral("old test"), 90000);
    staleTest.test = true;
    settings.setShowTests(false);
    driver.receive({staleTest, aged(QStringLiteral("old"), 90000, QStringLiteral("renewal"))});
    impact(0);
    EXPECT_EQ(notes.notes[0].event.who, QStringLiteral("1 renewal"));
    EXPECT_EQ(takeLogMessages().first(), QStringLiteral("skipped test-account event (hidden in menu): old test"));

    settings.setShowTests(true);
    stageDone(0);
    noteClosed(0);
    driver.receive({staleTest, aged(QStringLiteral("old"), 90000, QStringLiteral("renewal"))});
    impact(1);
    EXPECT_EQ(notes.notes[1].event.who, QStringLiteral("1 sale · 1 renewal"));
}

TEST_F(PlaybackDriverTest, UnparseableOrFutureDatesPlayNormally)
{
    driver.receive({event(QStringLiteral("odd"), QStringLiteral("sale"), QStringLiteral("last tuesday")),
        aged(QStringLiteral("future"), -90000)});
    EXPECT_EQ(driver.waiting(), 1);
    EXPECT_THAT(takeLogMessages(), ElementsAre("slap: sale odd | who | detail (sound: slap)"));
}

TEST_F(PlaybackDriverTest, TestMoneyEventsSlapWithoutMoneyAndAreMarked)
{
    MonkeyEvent testSale{QStringLiteral("sale"), QStringLiteral("New sale!"), {}, QStringLiteral("$1"), true, {}};
    settings.setSoundChoice(SoundChoice::pop);
    driver.receive({testSale});
    ASSERT_EQ(stage.slaps.size(), 1);
    EXPECT_FALSE(stage.slaps[0].money);
    EXPECT_THAT(takeLogMessages(), ElementsAre("slap: sale [TEST] New sale! |  | $1 (sound: pop)"));

    stageDone(0);
    scheduler.advance(0.4);
    driver.receive({event(QStringLiteral("real"))});
    EXPECT_TRUE(stage.slaps[1].money);
}

TEST_F(PlaybackDriverTest, ASlapWithoutImpactMovesOnWhenTheStageIsDone)
{
    driver.receive({event(QStringLiteral("a")), event(QStringLiteral("b"))});
    stageDone(0);
    scheduler.advance(0.4);
    ASSERT_EQ(stage.slaps.size(), 2);
    impact(0);   // a late impact of the finished show shows nothing
    EXPECT_THAT(notes.notes, IsEmpty());
}

TEST_F(PlaybackDriverTest, AnEventDuringThePauseStartsAtOnceAndTheDelayedStepFindsItBusy)
{
    driver.receive({event(QStringLiteral("a"))});
    impact(0);
    stageDone(0);
    noteClosed(0);
    scheduler.advance(0.2);
    driver.receive({event(QStringLiteral("b"))});
    EXPECT_EQ(stage.slaps.size(), 2);
    driver.receive({event(QStringLiteral("c"))});
    scheduler.advance(1);
    EXPECT_EQ(stage.slaps.size(), 2) << "the pending step must not start a second show";
}

TEST_F(PlaybackDriverTest, RepeatedCallbacksNeverStartOverlappingShows)
{
    driver.receive({event(QStringLiteral("a")), event(QStringLiteral("b")), event(QStringLiteral("c"))});
    impact(0);
    impact(0);
    EXPECT_EQ(notes.notes.size(), 1);
    stageDone(0);
    noteClosed(0);
    scheduler.advance(0.4);
    ASSERT_EQ(stage.slaps.size(), 2);
    stageDone(0);
    noteClosed(0);
    scheduler.advance(5);
    EXPECT_EQ(stage.slaps.size(), 2);
    EXPECT_TRUE(driver.isPlaying());
}

TEST_F(PlaybackDriverTest, CallbacksAfterTheDriverIsGoneDoNothing)
{
    auto owned = std::make_unique<PlaybackDriver>(settings, scheduler, stage, notes);
    owned->receive({event(QStringLiteral("a")), event(QStringLiteral("b"))});
    stage.slaps[0].onImpact(QPointF());
    stage.slaps[0].onDone();
    owned.reset();
    notes.notes[0].onClose();
    scheduler.advance(1);
    EXPECT_EQ(stage.slaps.size(), 1);
}

TEST_F(PlaybackDriverTest, HidingTheMonkeyStoresAppliesAndLogs)
{
    driver.setMonkeyHidden(true, QStringLiteral("click on monkey"));
    EXPECT_FALSE(settings.alwaysVisible());
    driver.setMonkeyHidden(false, QStringLiteral("menu"));
    EXPECT_TRUE(settings.alwaysVisible());
    EXPECT_EQ(stage.visibilityApplied, 2);
    EXPECT_THAT(takeLogMessages(), ElementsAre("monkey hidden (click on monkey)", "monkey shown (menu)"));
}

} // namespace
