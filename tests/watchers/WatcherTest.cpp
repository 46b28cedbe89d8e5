#include "watchers/Watcher.h"

#include "WatcherFixture.h"

#include <QSignalSpy>

namespace {

using namespace Qt::StringLiterals;
using TestEnvironment::takeLogMessages;
using testing::ElementsAre;
using testing::IsEmpty;

// A watcher whose polls end the way the test scripts them.
class ScriptedWatcher final : public Watcher {
public:
    enum class Outcome { ok, rejected, unreachable };
    QList<Outcome> script;
    int polls = 0;
    QString error = u"Connection refused"_s;

    explicit ScriptedWatcher(WatcherServices services)
        : Watcher(u"Stripe"_s, u"stripe"_s, 30, std::move(services))
    {
    }

protected:
    QCoro::Task<> pollOnce(PollTicket) override
    {
        ++polls;
        switch (script.isEmpty() ? Outcome::ok : script.takeFirst()) {
        case Outcome::ok:
            markOK();
            break;
        case Outcome::rejected:
            markRejected(u"Stripe didn't accept this key."_s);
            break;
        case Outcome::unreachable:
            markUnreachable(TransportError{error});
            break;
        }
        co_return;
    }
};

using Outcome = ScriptedWatcher::Outcome;

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

TEST_F(WatcherTest, TransportFailuresBackOffAndSurfaceFromTheThird)
{
    watcher.script = {Outcome::unreachable, Outcome::unreachable, Outcome::unreachable, Outcome::unreachable,
        Outcome::unreachable, Outcome::ok};
    watcher.startLoop();   // polls at once
    EXPECT_EQ(watcher.polls, 1);
    EXPECT_EQ(watcher.state(), WatchState::off()) << "two failures change nothing visible";
    EXPECT_EQ(nextWait(), 60);
    EXPECT_EQ(watcher.state(), WatchState::off());
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
    EXPECT_EQ(watcher.interval(), 30);
    EXPECT_EQ(watcher.lastChecked(), scheduler.now());
    EXPECT_EQ(watcher.polls, 6);
}

TEST_F(WatcherTest, ARejectionWaitsFiveMinutesUntilASuccess)
{
    watcher.script = {Outcome::rejected, Outcome::rejected, Outcome::ok, Outcome::rejected};
    watcher.startLoop();
    EXPECT_EQ(watcher.state(), WatchState::problem(u"Stripe didn't accept this key."_s));
    EXPECT_EQ(nextWait(), 300);
    EXPECT_EQ(nextWait(), 300);
    EXPECT_EQ(nextWait(), 30);
    EXPECT_THAT(takeLogMessages(), ElementsAre("Stripe: Stripe didn't accept this key.", "Stripe: working again",
        "Stripe: Stripe didn't accept this key.")) << "a success clears the memory of logged problems";
}

TEST_F(WatcherTest, RestartingPollsAtOnceWithTheNormalIntervalAndStoppingEndsTheLoop)
{
    watcher.script = {Outcome::unreachable, Outcome::unreachable};
    watcher.startLoop();
    scheduler.advance(60);
    EXPECT_EQ(watcher.failures(), 2);
    watcher.stopLoop();
    watcher.startLoop();
    EXPECT_EQ(watcher.polls, 3);
    EXPECT_EQ(watcher.failures(), 0);
    EXPECT_EQ(watcher.interval(), 30);
    scheduler.advance(300);   // the old loop's wait ends too, but only the new loop goes on
    EXPECT_EQ(watcher.polls, 3 + 10);

    watcher.stopLoop();
    scheduler.advance(600);
    EXPECT_EQ(watcher.polls, 13);
}

TEST_F(WatcherTest, ObserversHearEveryAssignment)
{
    QSignalSpy states(&watcher, &Watcher::stateChanged);
    QSignalSpy checks(&watcher, &Watcher::lastCheckedChanged);
    watcher.startLoop();
    scheduler.advance(30);
    EXPECT_EQ(states.count(), 2) << "watching, then watching again";
    EXPECT_EQ(checks.count(), 2);
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
    qputenv("BONKBELL_POLL_SECONDS", old);
    if (old.isEmpty())
        qunsetenv("BONKBELL_POLL_SECONDS");
}

} // namespace
