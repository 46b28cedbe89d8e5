#include "AppBusProxy.h"
#include "common/LoopbackServer.h"
#include "common/TestEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;
using TestEnvironment::waitUntil;

struct Outcome {
    QString out;
    int code = -1;
};

// The real executable as a command line, with its own HOME and preferences, talking to
// loopback stand-ins for both services and to the session's real secret store.
class CommandLineTest : public testing::Test {
protected:
    QTemporaryDir root;
    LoopbackServer stripe;
    LoopbackServer revenueCat;
    int reloads = 0;
    // A running app's ear: the bus interface's proxy, listening to any sender.
    AppBusProxy notices{QString(), u"/"_s, QDBusConnection::sessionBus()};

    void SetUp() override
    {
        stripe.route(u"/v1/charges"_s, 200, R"({"data":[]})");
        stripe.route(u"/v1/invoices"_s, 200, R"({"data":[]})");
        revenueCat.route(u"/v2/projects/proj9/metrics/revenue"_s, 200, R"({"value":12.5,"currency":"USD"})");
        revenueCat.route(u"/v2/projects/proj9/metrics/overview"_s, 200, R"({"metrics":[]})");
        QObject::connect(&notices, &AppBusProxy::reload, [this] { ++reloads; });
        TearDown();
        reloads = 0;
    }

    // The session's secret store is shared with the app's tests: leave no key behind.
    void TearDown() override
    {
        run({u"--disconnect"_s, u"stripe"_s});
        run({u"--disconnect"_s, u"revenuecat"_s});
    }

    Outcome run(const QStringList& arguments, const QByteArray& input = {})
    {
        QProcess cli;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"HOME"_s, root.filePath(u"home"_s));
        env.insert(u"XDG_CONFIG_HOME"_s, root.filePath(u"config"_s));
        env.insert(u"XDG_STATE_HOME"_s, root.filePath(u"state"_s));
        env.insert(u"BONKBELL_STRIPE_BASE"_s, stripe.base().toString());
        env.insert(u"BONKBELL_RC_BASE"_s, revenueCat.base().toString());
        cli.setProcessEnvironment(env);
        cli.start(QStringLiteral(BONKBELL_EXECUTABLE), arguments);
        cli.write(input);
        cli.closeWriteChannel();
        // The servers live in this process: keep its event loop turning while the CLI runs.
        waitUntil([&] { return cli.state() == QProcess::NotRunning; }, 30000);
        const int sent = reloads;
        waitUntil([&] { return reloads > sent; }, 200);
        return {QString::fromUtf8(cli.readAllStandardOutput()), cli.exitCode()};
    }

    // Every file under the CLI's HOME and config and state directories, as one blob.
    QByteArray everythingWritten() const
    {
        QByteArray all;
        QDirIterator it(root.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (file.open(QIODevice::ReadOnly))
                all += file.readAll();
        }
        return all;
    }
};

TEST_F(CommandLineTest, UsageErrorsExitWithTwo)
{
    const QString usage = u"Usage: Bonkbell --connect-stripe | --connect-revenuecat [project] | --disconnect stripe|revenuecat | --status\n"_s;
    for (const QString& verb : {u"--STATUS"_s, u"status"_s, u"--help"_s}) {
        const Outcome outcome = run({verb});
        EXPECT_EQ(outcome.out, usage);
        EXPECT_EQ(outcome.code, 2);
    }
    const Outcome which = run({u"--disconnect"_s, u"paypal"_s});
    EXPECT_EQ(which.out, u"Say which: --disconnect stripe | revenuecat\n"_s);
    EXPECT_EQ(which.code, 2);
    for (const QByteArray& input : {QByteArray(), QByteArray("\nrk_test_second_line\n")}) {
        const Outcome empty = run({u"--connect-stripe"_s}, input);
        EXPECT_EQ(empty.out, u"Pipe the key in on stdin.\n"_s);
        EXPECT_EQ(empty.code, 2);
    }
    EXPECT_TRUE(stripe.requests.isEmpty());
    EXPECT_EQ(reloads, 0);
}

TEST_F(CommandLineTest, ConnectStatusDisconnectRoundTrip)
{
    EXPECT_EQ(run({u"--status"_s}).out, u"Stripe: not connected\nRevenueCat: not connected\n"_s);

    const Outcome connected = run({u"--connect-stripe"_s}, "  rk_test_51Secret \nsecond line\n");
    EXPECT_EQ(connected.out, u"Stripe connected (test mode).\n"_s);
    EXPECT_EQ(connected.code, 0);
    EXPECT_EQ(stripe.requests.value(0).headers.value("authorization"), "Bearer rk_test_51Secret");
    EXPECT_EQ(reloads, 1);

    const Outcome rc = run({u"--connect-revenuecat"_s, u"proj9"_s}, "sk_rcSecret\n");
    EXPECT_EQ(rc.out, u"RevenueCat connected (project proj9).\n"_s);
    EXPECT_EQ(rc.code, 0);
    EXPECT_EQ(reloads, 2);

    EXPECT_EQ(run({u"--status"_s}).out, u"Stripe: connected (test mode)\nRevenueCat: connected (project proj9)\n"_s);
    const QByteArray written = everythingWritten();
    EXPECT_FALSE(written.contains("51Secret")) << "keys live in the secret store only";
    EXPECT_FALSE(written.contains("rcSecret"));
    EXPECT_FALSE(QFile::exists(root.filePath(u"state/Bonkbell/Bonkbell.log"_s))) << "the command line logs nothing";

    const Outcome gone = run({u"--disconnect"_s, u"stripe"_s});
    EXPECT_EQ(gone.out, u"Disconnected.\n"_s);
    EXPECT_EQ(gone.code, 0);
    EXPECT_EQ(reloads, 3);
    EXPECT_EQ(run({u"--status"_s}).out, u"Stripe: not connected\nRevenueCat: connected (project proj9)\n"_s);
}

TEST_F(CommandLineTest, ARefusedKeyExitsWithOneAndChangesNothing)
{
    stripe.route(u"/v1/charges"_s, 401, R"({"error":{"message":"Invalid API Key"}})");
    const Outcome refused = run({u"--connect-stripe"_s}, "rk_live_bad\n");
    EXPECT_EQ(refused.out, u"Stripe didn't accept this key. It may have been deleted or rolled; create a new restricted key.\n"_s);
    EXPECT_EQ(refused.code, 1);
    EXPECT_EQ(reloads, 0);
    EXPECT_EQ(run({u"--status"_s}).out, u"Stripe: not connected\nRevenueCat: not connected\n"_s);
}

} // namespace
