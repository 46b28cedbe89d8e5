#include "watchers/Watcher.h"
#include "WatcherFixture.h"

#include <QSignalSpy>

namespace {

using namespace Qt::StringLiterals;
using TestEnvironment::takeLogMessages;

// A watcher whose polls end the way the test scripts them: ok, rejected or unreachable.
class ScriptedWatcher final : public Watcher {
public:
    // One letter per poll: o(k), r(ejected), u(nreachable), or throttled asking for 1 s (t), 1000 s (T)
    // or nothing (b); ok once the script runs out.
    QByteArray script;
    int polls = 0;
    explicit ScriptedWatcher(WatcherServices services)
        : Watcher(u"Stripe"_s, u"stripe"_s, 30, std::move(services), false)
    {
    }

protected:
    QCoro::Task<> pollOnce(PollTicket) override
    {
        const QByteArray outcome = script.mid(polls++, 1);
        if (outcome == "r")
            markRejected(u"Stripe didn't accept this key."_s);
        else if (outcome == "u")
            markUnreachable(TransportError{u"Connection refused"_s});
        else if (outcome == "t" || outcome == "T" || outcome == "b")
            markThrottled(
                u"Slow down."_s, outcome == "b" ? std::nullopt : std::optional(outcome == "t" ? 1.0 : 1000.0));
        else
            markOK();
        co_return;
    }
};

class WatcherTest : public WatcherFixture {
protected:
    ScriptedWatcher watcher{services()};
    // Runs the loop's next wait out and returns how long it was.
    double nextWait()
    {
        const double wait = watcher.interval();
        scheduler.advance(wait);
        return wait;
    }
};

TEST_F(WatcherTest, FailuresBackOffRejectionsWaitFiveMinutesAndARestartStartsAfresh)
{
    watcher.script = "uuuuuou"
                     "rror"
                     "uu";
    QSignalSpy states(&watcher, &Watcher::stateChanged), checks(&watcher, &Watcher::lastCheckedChanged);
    watcher.startLoop(); // polls at once
    EXPECT_EQ(watcher.polls, 1);
    const WatchState off = WatchState::off(), watching = WatchState::watching(),
                     unreachable = WatchState::problem(u"Can't reach Stripe right now. Retrying."_s),
                     rejected = WatchState::problem(u"Stripe didn't accept this key."_s);
    const QString outage = u"Stripe: Can't reach Stripe right now. Retrying. (Connection refused)"_s,
                  refusal = u"Stripe: Stripe didn't accept this key."_s, again = u"Stripe: working again"_s;
    // Each wait the loop runs out, then the state and the log lines of the poll that ends it.
    const std::tuple<double, WatchState, QStringList> polls[] = {
        {60, off, {}},                                        // two failures change nothing visible
        {120, unreachable, {outage}}, {240, unreachable, {}}, // the third shows, logged once however long it lasts
        {300, unreachable, {}}, {300, watching, {again}},     // five minutes apart at most
        {30, watching, {}},                                   // after the recovery one failure is one failure again
        {60, rejected, {refusal}}, {300, rejected, {}}, {300, watching, {again}}, // rejected: five minutes apart
        {30, rejected, {refusal}}, // a success clears the memory of logged problems
    };
    for (const auto& [wait, state, logged] : polls) {
        EXPECT_EQ(nextWait(), wait);
        EXPECT_EQ(watcher.state(), state);
        EXPECT_EQ(takeLogMessages(), logged);
    }
    EXPECT_EQ(states.count(), 8) << "every assignment is heard, also of the same state";
    EXPECT_EQ(checks.count(), 2);
    EXPECT_EQ(watcher.lastChecked(), scheduler.now().addSecs(-30)) << "the last good poll";
    // Restarting polls at once with the normal interval; stopping ends the loop.
    EXPECT_EQ(nextWait(), 300);
    scheduler.advance(60);
    EXPECT_EQ(watcher.failures(), 2);
    watcher.stopLoop();
    watcher.startLoop();
    EXPECT_EQ(watcher.polls, 14);
    EXPECT_EQ(watcher.failures(), 0);
    EXPECT_EQ(watcher.interval(), 30);
    scheduler.advance(300); // the old loop's wait ends too, but only the new loop goes on
    EXPECT_EQ(watcher.polls, 14 + 10);
    watcher.stopLoop();
    scheduler.advance(600);
    EXPECT_EQ(watcher.polls, 24);
}

// Our own waits may end a little early, as coarse timers do, but a pause the service asked for never does.
TEST_F(WatcherTest, ThrottlingWaitsWhatWasAskedWithinBoundsInFullAndShowsOnlyWhenItPersists)
{
    scheduler.looseEarly = 0.05;
    watcher.script = "otTb";
    watcher.startLoop();
    scheduler.advance(28.5); // our own wait, ended early
    EXPECT_EQ(watcher.interval(), 30) << "never sooner than the normal interval";
    nextWait();
    EXPECT_EQ(watcher.interval(), 300) << "never later than five minutes";
    EXPECT_EQ(watcher.state(), WatchState::watching());
    EXPECT_THAT(takeLogMessages(), testing::IsEmpty());
    scheduler.advance(299.999);
    EXPECT_EQ(watcher.polls, 3) << "asked for 1000 s, so all of five minutes";
    scheduler.advance(0.001);
    EXPECT_EQ(watcher.interval(), 240) << "without an answer how long, the usual backoff";
    EXPECT_EQ(watcher.state(), WatchState::problem(u"Slow down."_s));
    EXPECT_THAT(takeLogMessages(), testing::ElementsAre("Stripe: Slow down."));
}

TEST(WatcherPollSeconds, OnlyAWholeSleepableNumberOverridesTheInterval)
{
    const QByteArray old = qgetenv("BONKBELL_POLL_SECONDS");
    const auto with = [](const char* value) {
        qputenv("BONKBELL_POLL_SECONDS", value);
        return Watcher::pollInterval(30);
    };
    EXPECT_EQ(with("15"), 15);
    EXPECT_EQ(with("0.5"), 0.5);
    EXPECT_EQ(with("0"), 0);
    for (const char* ignored : {"", " 15", "15 ", "15s", "fast", "-1", "inf", "nan", "1e999"})
        EXPECT_EQ(with(ignored), 30) << ignored;
    old.isEmpty() ? qunsetenv("BONKBELL_POLL_SECONDS") : qputenv("BONKBELL_POLL_SECONDS", old);
}

} // namespace
