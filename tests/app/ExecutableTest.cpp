#include "AppProcessTest.h"
#include "common/LoopbackServer.h"
#include "common/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using TestEnvironment::waitUntil;
using TestEnvironment::writeFile;

// The real executable in a private HOME, XDG tree and inbox.
class ExecutableTest : public AppProcessTest {
protected:
    LoopbackServer stripe;

    void SetUp() override { configure(stripe.base(), QUrl(QStringLiteral("http://127.0.0.1:1"))); }

    QStringList slapLines() const { return logMessages().filter(QRegularExpression(QStringLiteral("^slap: "))); }

    void publish(const QString& name, const QByteArray& json)
    {
        writeFile(inbox + QStringLiteral("/.") + name + QStringLiteral(".tmp"), json);
        QFile::rename(inbox + QStringLiteral("/.") + name + QStringLiteral(".tmp"), inbox + u'/' + name);
    }
};

TEST_F(ExecutableTest, PlaysDroppedEventFilesInOrderAndRejectsBadOnes)
{
    // Short notes keep the stand-in show quick.
    writeFile(root.filePath(QStringLiteral("config/Bonkbell/Bonkbell.conf")), "[General]\nnoteSeconds=0.2\n");
    publish(QStringLiteral("0-early.json"), R"({"kind":"renewal","headline":"Left from before"})");
    app.start();
    const QString started = startedV + QStringLiteral("; Stripe off, RevenueCat off; inbox ") + inbox;
    ASSERT_TRUE(waitUntil([&] { return logMessages().contains(started); }));

    publish(QStringLiteral("1-a.json"), R"({"kind":"sale","headline":"New sale!","who":"Ann\nB","detail":"$5","test":true})");
    publish(QStringLiteral("2-b.json"), R"({"kind":"onboarding","headline":"Hello"})");
    publish(QStringLiteral("3-bad.json"), R"({"kind":"sale"})");
    ASSERT_TRUE(waitUntil([&] { return slapLines().size() == 3; }, 15000)) << logMessages().join(u'\n').toStdString();
    EXPECT_EQ(slapLines(), QStringList({
        QStringLiteral("slap: renewal Left from before |  |  (sound: slap)"),
        QStringLiteral("slap: sale [TEST] New sale! | Ann\\nB | $5 (sound: slap)"),
        QStringLiteral("slap: onboarding Hello |  |  (sound: slap)"),
    }));
    EXPECT_TRUE(logMessages().contains(QStringLiteral("WARN unreadable event moved to rejected/: 3-bad.json")));
    EXPECT_EQ(QDir(inbox).entryList(QDir::Files | QDir::Hidden), QStringList());
    EXPECT_EQ(QDir(inbox + QStringLiteral("/rejected")).entryList(QDir::Files), QStringList({QStringLiteral("3-bad.json")}));
    EXPECT_EQ(app.state(), QProcess::Running);
}

TEST_F(ExecutableTest, ASecondStartLeavesTheFirstRunning)
{
    startApp();
    // A first run without keys opened the settings once and remembered it.
    QFile preferences(root.filePath(QStringLiteral("config/Bonkbell/Bonkbell.conf")));
    EXPECT_TRUE(waitUntil([&] {
        preferences.close();
        return preferences.open(QIODevice::ReadOnly) && preferences.readAll().contains("shownSetup=true");
    }));

    QProcess second;
    second.setProcessEnvironment(app.processEnvironment());
    second.start(app.program(), {});
    ASSERT_TRUE(waitUntil([&] { return second.state() == QProcess::NotRunning; }, 10000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(logMessages().contains(QStringLiteral("already running (pid %1); exiting").arg(app.processId())))
        << logMessages().join(u'\n').toStdString();
    EXPECT_EQ(logMessages().filter(startedV).size(), 1);
    EXPECT_EQ(app.state(), QProcess::Running);
}

TEST_F(ExecutableTest, AnyArgumentSelectsTheCommandLine)
{
    for (const char* verb : {"--STATUS", "--bogus"}) {
        const CommandLineRun run = runCommandLine({QString::fromLatin1(verb)});
        EXPECT_EQ(run.out, QStringLiteral(
            "Usage: Bonkbell --connect-stripe | --connect-revenuecat [project] | --disconnect stripe|revenuecat | --status\n"));
        EXPECT_EQ(run.exitCode, 2);
    }
    EXPECT_FALSE(QFile::exists(logPath)) << "the command line logs nothing";
}

TEST_F(ExecutableTest, ConnectingFromTheCommandLineMakesTheRunningAppPollStripe)
{
    QByteArray charges = R"({"data":[]})";
    stripe.route(QStringLiteral("/v1/charges"), [&](const LoopbackServer::Request&) { return LoopbackServer::Response{200, charges}; });
    stripe.route(QStringLiteral("/v1/invoices"), 200, R"({"data":[]})");
    app.start();
    ASSERT_TRUE(waitUntil([&] { return !logMessages().filter(startedV + QStringLiteral("; Stripe off")).isEmpty(); }));

    const CommandLineRun connect = runCommandLine({QStringLiteral("--connect-stripe")}, "rk_test_e2e\n");
    EXPECT_EQ(connect.out, QStringLiteral("Stripe connected (test mode).\n"));
    EXPECT_EQ(connect.exitCode, 0);
    ASSERT_TRUE(waitUntil([&] { return logMessages().contains(QStringLiteral("keys changed from the command line; reloading")); }));

    charges = R"({"data":[{"id":"ch_e2e","status":"succeeded","paid":true,"amount":1999,"currency":"usd",)"
              R"("livemode":false,"billing_details":{"name":"Jane"}}],"has_more":false})";
    ASSERT_TRUE(waitUntil([&] { return !slapLines().isEmpty(); }, 10000)) << logMessages().join(u'\n').toStdString();
    EXPECT_TRUE(slapLines().first().startsWith(QStringLiteral("slap: sale [TEST] New sale! | Jane | "))) << slapLines().first().toStdString();
    EXPECT_EQ(stripe.requestsTo(QStringLiteral("/v1/charges")).last().headers.value("authorization"), "Bearer rk_test_e2e");

    EXPECT_EQ(runCommandLine({QStringLiteral("--disconnect"), QStringLiteral("stripe")}).exitCode, 0);
}

} // namespace
