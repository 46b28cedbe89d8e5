#include "common/ManualScheduler.h"
#include "common/TestEnvironment.h"
#include "history/RecentShows.h"
#include "history/RecordedNotes.h"
#include "history/TodayTakings.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gmock/gmock.h>

namespace {

using namespace Qt::StringLiterals;
using testing::ElementsAre;
using testing::IsEmpty;

MonkeyEvent sale(const QString& kind, std::optional<double> amount, QString currency, bool test = false,
    const QString& detail = u"$1.00"_s)
{
    MonkeyEvent event{kind, u"New sale!"_s, u"Jane"_s, detail, test, {}};
    event.amount = amount;
    event.currency = currency.isEmpty() ? std::nullopt : std::optional(currency);
    return event;
}

// The wall clock moves on over a suspend while timers wait on: `slept` seconds ahead of the timers.
struct SuspendingScheduler : Scheduler {
    ManualScheduler& timers;
    qint64 slept = 0;
    explicit SuspendingScheduler(ManualScheduler& timers)
        : timers(timers)
    {
    }
    QDateTime now() const override { return timers.now().addSecs(slept); }
    double uptime() const override { return timers.uptime(); }
    void after(double s, const QObject* c, std::function<void()> a) override { timers.after(s, c, std::move(a)); }
    void afterAtLeast(double s, const QObject* c, std::function<void()> a) override
    {
        timers.afterAtLeast(s, c, std::move(a));
    }
};

class HistoryTest : public testing::Test {
protected:
    QTemporaryDir dir;
    QString todayFile = dir.filePath(u"state/today.json"_s);
    QString recentFile = dir.filePath(u"state/recent.json"_s);
    ManualScheduler scheduler;
    SuspendingScheduler clock{scheduler};
    void SetUp() override { qputenv("LC_ALL", "en_US.UTF-8"); }
    // Seconds from the scheduler's now to the next local midnight.
    double toMidnight() const
    {
        const QDateTime local = scheduler.now().toLocalTime();
        return double(local.msecsTo(QDateTime(local.date().addDays(1), QTime(0, 0)))) / 1000.0;
    }
};

TEST_F(HistoryTest, TakingsCountEachSaleOnceByItsFileAcrossRestartsAndStartAfreshAtLocalMidnight)
{
    auto takings = std::make_unique<TodayTakings>(todayFile, clock);
    QSignalSpy changed(takings.get(), &TodayTakings::changed);
    EXPECT_THAT(takings->lines(), IsEmpty());
    MonkeyEvent yesterday = sale(u"sale"_s, 5, u"usd"_s);
    yesterday.at = scheduler.now().addDays(-1).toString(Qt::ISODate);
    takings->count({sale(u"sale"_s, 1000, u"usd"_s), sale(u"sale"_s, 9, u"usd"_s, true), sale(u"onboarding"_s, 3, {}),
                       sale(u"sale"_s, 34.5, u"USD"_s), yesterday, sale(u"sale"_s, {}, {})},
        {u"a.json"_s, u"t.json"_s, u"o.json"_s, u"b.json"_s, u"y.json"_s, u"c.json"_s});
    const QStringList before = takings->lines();
    EXPECT_THAT(before, ElementsAre("Today: $1,034.50 · 2 sales", "Today: 1 sale"));
    // Delivered again after a crash, and in a new process: still counted once.
    takings->count({sale(u"sale"_s, 1000, u"usd"_s)}, {u"a.json"_s});
    takings = std::make_unique<TodayTakings>(todayFile, clock);
    const MonkeyEvent growth = sale(u"sale"_s, 29.99, u"USD"_s, false, u"RevenueCat · $129.99 today"_s);
    takings->count({sale(u"sale"_s, 1000, u"usd"_s), sale(u"renewal"_s, 12, u"eur"_s), growth},
        {u"a.json"_s, u"r.json"_s, u"g.json"_s});
    EXPECT_EQ(takings->lines().mid(0, 2), before) << "kept across the restart, each sale once";
    EXPECT_THAT(takings->lines().mid(2), ElementsAre("Today: €12.00 · 1 renewal", "RevenueCat today: +$29.99"));
    EXPECT_EQ(changed.size(), 1) << "a count that adds nothing changes nothing";

    QSignalSpy turned(takings.get(), &TodayTakings::changed);
    scheduler.advance(toMidnight() - 1);
    EXPECT_EQ(takings->lines().size(), 4);
    scheduler.advance(2);
    EXPECT_EQ(turned.size(), 1);
    EXPECT_THAT(takings->lines(), IsEmpty());
    takings->count({sale(u"sale"_s, 7, u"usd"_s)}, {u"a.json"_s});
    EXPECT_THAT(takings->lines(), ElementsAre("Today: $7.00 · 1 sale")) << "names are kept for one day";
    clock.slept = 86400; // the midnight timer has not run yet
    EXPECT_THAT(takings->lines(), IsEmpty());
    takings->count({sale(u"sale"_s, 8, u"usd"_s)}, {u"a.json"_s});
    EXPECT_THAT(takings->lines(), ElementsAre("Today: $8.00 · 1 sale"));
    // Yesterday's file, read on another day, is ignored.
    const QByteArray kept = TestEnvironment::readFile(todayFile);
    scheduler.advance(86400);
    TestEnvironment::writeFile(todayFile, kept);
    EXPECT_THAT(TodayTakings(todayFile, clock).lines(), IsEmpty());
}

// Stands in for the paper note: a note stays up until the test closes it.
struct FakeNotes : NotePresenter {
    QList<std::pair<QString, QPointF>> shown;
    std::function<void()> close;
    void show(const MonkeyEvent& event, QPointF at, double, std::function<void()> onClose) override
    {
        shown.append({event.headline, at});
        close = onClose;
    }
};

TEST_F(HistoryTest, TheLastTenNotesAreKeptNewestFirstAcrossRestartsAndShownAgainWhileNoOtherIsUp)
{
    FakeNotes notes;
    RecentShows recent(recentFile);
    RecordedNotes recorded(notes, recent, scheduler);
    int closed = 0;
    for (int i = 0; i < 11; ++i) {
        MonkeyEvent event = sale(u"sale"_s, i, u"usd"_s);
        event.headline = u"Sale %1"_s.arg(i);
        event.who = i == 10 ? std::optional(QString()) : std::nullopt;
        scheduler.advance(60);
        recorded.show(event, QPointF(i, -i), 8, [&] { ++closed; });
        EXPECT_FALSE(recorded.showAgain(0, 8)) << "it would cut the show's note short";
        notes.close();
    }
    EXPECT_EQ(closed, 11);
    EXPECT_TRUE(recorded.showAgain(0, 8)) << "once the note has closed";
    EXPECT_EQ(recent.titles().size(), RecentShows::kept);
    EXPECT_EQ(recent.titles().first(), scheduler.now().toLocalTime().toString(u"HH:mm"_s) + u"  Sale 10 · $1.00"_s);
    RecentShows again(recentFile);
    EXPECT_EQ(again.titles(), recent.titles());
    EXPECT_EQ(again.shows().first().event, recent.shows().first().event);
    RecordedNotes restarted(notes, again, scheduler);
    EXPECT_FALSE(restarted.showAgain(10, 8));
    EXPECT_TRUE(restarted.showAgain(1, 8));
    EXPECT_EQ(notes.shown.last(), std::pair(u"Sale 9"_s, QPointF(9, -9)));
    EXPECT_EQ(again.shows().first().event.headline, u"Sale 10"_s) << "shown again, not recorded again";

    for (const char* damaged : {"[{\"shownAt\":1}", "{}", R"([{"shownAt":"x","event":{"kind":"sale","headline":"h"}}])",
             R"([{"shownAt":"2026-12-05T12:00:00Z","event":{"kind":1}}])"}) {
        TestEnvironment::writeFile(recentFile, damaged);
        EXPECT_THAT(RecentShows(recentFile).shows(), IsEmpty()) << damaged;
    }
}

} // namespace
