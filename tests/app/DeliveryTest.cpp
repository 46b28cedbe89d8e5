#include "AppProcessTest.h"
#include "common/LoopbackServer.h"
#include "common/StripeStandIn.h"

#include <QDir>
#include <QTest>

#include <csignal>

namespace {

using namespace Qt::StringLiterals;
using TestEnvironment::waitUntil;

// The real app watching a stand-in Stripe whose clock may differ from this machine's: every sale
// exactly once, through kills, wrong clocks, sleep and bursts.
class DeliveryTest : public AppProcessTest {
protected:
    LoopbackServer server;
    StripeStandIn stripe{server};
    qint64 offset = 0; // the service's clock less ours, in seconds
    void SetUp() override
    {
        server.now = [this] { return QDateTime::currentDateTimeUtc().addSecs(offset); };
        configure(server.base(), QUrl(u"http://127.0.0.1:1"_s));
        TestEnvironment::writeFile(preferences, "[General]\nnoteSeconds=0.5\n");
    }
    void TearDown() override
    {
        runCommandLine({u"--disconnect"_s, u"stripe"_s});
        AppProcessTest::TearDown();
    }
    qint64 serviceNow() const { return QDateTime::currentSecsSinceEpoch() + offset; }
    void connect() { ASSERT_EQ(runCommandLine({u"--connect-stripe"_s}, "rk_live_delivery\n"), 0); }
    void sell(const QString& id, qint64 created) { stripe.charges.prepend(StripeAnswers::charge(id, created)); }
    QStringList slaps() const { return logLines(u"^slap: "_s); }
    bool inboxEmpty() const { return QDir(inbox).entryList({u"*.json"_s}, QDir::Files).isEmpty(); }
};

// Killed with shows still waiting, the app shows them at the next start: each sale once, and the
// one cut short on screen again.
TEST_F(DeliveryTest, AKillMidQueueLosesNothingAndRepeatsNothing)
{
    connect();
    for (int i = 1; i <= 4; ++i)
        sell(u"ch_%1"_s.arg(i), serviceNow() + i);
    startApp();
    ASSERT_TRUE(waitUntil([&] { return slaps().size() == 2; }, 20000)) << logText();
    ::kill(pid_t(app.processId()), SIGKILL);
    app.waitForFinished();
    startApp();
    ASSERT_TRUE(waitUntil([&] { return slaps().size() == 5 && inboxEmpty(); }, 30000)) << logText();
    QTest::qWait(1500);
    QStringList customers;
    for (const QString& line : slaps())
        customers.append(line.section(u" | "_s, 1, 1));
    EXPECT_EQ(customers, (QStringList{u"Jane ch_1"_s, u"Jane ch_2"_s, u"Jane ch_2"_s, u"Jane ch_3"_s, u"Jane ch_4"_s}))
        << logText();
}

// A clock an hour fast or slow: watching starts at the service's now, so the sale right after
// connecting is shown and the one just before is not.
TEST_F(DeliveryTest, AClockAnHourOffNeitherLosesNorReplaysASale)
{
    for (const qint64 off : {3600, -3600}) {
        SCOPED_TRACE(off);
        offset = off;
        const QString clock = off > 0 ? u"fast"_s : u"slow"_s;
        stripe.charges.clear();
        sell(u"ch_before_"_s + clock, serviceNow() - 60);
        connect();
        sell(u"ch_after_"_s + clock, serviceNow() + 1);
        startApp();
        ASSERT_TRUE(waitUntil([&] { return !slaps().isEmpty() && inboxEmpty(); }, 15000)) << logText();
        QTest::qWait(1000);
        EXPECT_EQ(slaps().size(), 1);
        EXPECT_EQ(slaps().value(0).section(u" | "_s, 1, 1), u"Jane ch_after_"_s + clock);
        app.kill();
        app.waitForFinished();
        QFile::remove(logPath);
    }
}

// Waking after a night, the sales made while the lid was shut fold into one note; a burst of more
// than a listing page, all in one second, plays a few shows and one note that counts the rest.
TEST_F(DeliveryTest, SalesFromTheNightFoldAndABurstIsOverSoonCountedOnce)
{
    offset = -8 * 3600; // connected last evening
    connect();
    offset = 0;
    for (int i = 1; i <= 3; ++i)
        sell(u"ch_night%1"_s.arg(i), serviceNow() - 8 * 3600 + 60 * i);
    const qint64 burst = serviceNow();
    for (int i = 1; i <= 600; ++i)
        sell(u"ch_burst%1"_s.arg(i), burst);
    startApp();
    const auto summary = [&] { return logLines(u"^slap: summary And more! "_s); };
    ASSERT_TRUE(waitUntil([&] { return !summary().isEmpty() && inboxEmpty(); }, 120000)) << logText();
    EXPECT_EQ(logLines(u"^3 event\\(s\\) older than 6h"_s).size(), 1) << logText();
    EXPECT_EQ(logLines(u"^slap: summary While you were away | 3 sales "_s).size(), 1) << logText();
    EXPECT_EQ(summary().value(0).section(u" | "_s, 1, 1), u"595 more sales"_s) << logText();
    EXPECT_EQ(slaps().size(), 7) << logText();
}

} // namespace
