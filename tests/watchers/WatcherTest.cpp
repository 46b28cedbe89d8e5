#include "watchers/Watcher.h"
#include "WatcherFixture.h"

#include <QSignalSpy>

namespace {

using namespace Qt::StringLiterals;
using TestEnvironment::takeLogMessages;
using testing::ElementsAre;
using testing::IsEmpty;

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
    EXPECT_EQ(nextWait(), 60);
    EXPECT_EQ(watcher.state(), WatchState::off()) << "two failures change nothing visible";
    EXPECT_THAT(takeLogMessages(), IsEmpty());
    EXPECT_EQ(nextWait(), 120);
    EXPECT_EQ(watcher.state(), WatchState::problem(u"Can't reach Stripe right now. Retrying."_s));
    EXPECT_THAT(takeLogMessages(), ElementsAre("Stripe: Can't reach Stripe right now. Retrying. (Connection refused)"));
    EXPECT_EQ(nextWait(), 240);
    EXPECT_THAT(takeLogMessages(), IsEmpty()) << "the same problem is logged once";
    EXPECT_EQ(nextWait(), 300);
    EXPECT_EQ(nextWait(), 300);
    EXPECT_EQ(watcher.state(), WatchState::watching());
    EXPECT_THAT(takeLogMessages(), ElementsAre("Stripe: working again"));
    EXPECT_EQ(watcher.lastChecked(), scheduler.now());
    EXPECT_EQ(states.count(), 4) << "every assignment is heard, also of the same state";
    EXPECT_EQ(checks.count(), 1);
    // After the recovery one failure is one failure again.
    EXPECT_EQ(nextWait(), 30);
    EXPECT_EQ(watcher.interval(), 60);
    EXPECT_EQ(watcher.state(), WatchState::watching());
    EXPECT_EQ(watcher.polls, 7);
    // A rejection waits five minutes until a success.
    EXPECT_EQ(nextWait(), 60);
    EXPECT_EQ(watcher.state(), WatchState::problem(u"Stripe didn't accept this key."_s));
    EXPECT_EQ(nextWait(), 300);
    EXPECT_EQ(nextWait(), 300);
    EXPECT_EQ(nextWait(), 30);
    EXPECT_THAT(takeLogMessages(),
        ElementsAre("Stripe: Stripe didn't accept this key.", "Stripe: working again",
            "Stripe: Stripe didn't accept this key."))
        << "a success clears the memory of logged problems";
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

TEST_F(WatcherTest, ThrottlingWaitsWhatWasAskedWithinBoundsAndShowsOnlyWhenItPersists)
{
    watcher.script = "otTb";
    watcher.startLoop();
    nextWait();
    EXPECT_EQ(watcher.interval(), 30) << "never sooner than the normal interval";
    EXPECT_EQ(watcher.state(), WatchState::watching());
    nextWait();
    EXPECT_EQ(watcher.interval(), 300) << "never later than five minutes";
    EXPECT_EQ(watcher.state(), WatchState::watching());
    EXPECT_THAT(takeLogMessages(), IsEmpty());
    nextWait();
    EXPECT_EQ(watcher.interval(), 240) << "without an answer how long, the usual backoff";
    EXPECT_EQ(watcher.state(), WatchState::problem(u"Slow down."_s));
    EXPECT_THAT(takeLogMessages(), ElementsAre("Stripe: Slow down."));
}

// Our own waits may end a little early, as coarse timers do, but a pause the service asked for never does.
TEST_F(WatcherTest, APauseTheServiceAskedForNeverEndsEarly)
{
    scheduler.looseEarly = 0.05;
    watcher.script = "oT";
    watcher.startLoop();
    scheduler.advance(28.5);
    EXPECT_EQ(watcher.polls, 2);
    scheduler.advance(299.999);
    EXPECT_EQ(watcher.polls, 2) << "asked for 1000 s, so all of five minutes";
    scheduler.advance(0.001);
    EXPECT_EQ(watcher.polls, 3);
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
