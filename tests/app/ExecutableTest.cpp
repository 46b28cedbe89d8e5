#include "AppProcessTest.h"
#include "common/LoopbackServer.h"

#include <QDir>
#include <QFile>

#include <csignal>

namespace {

using namespace Qt::StringLiterals;
using TestEnvironment::waitUntil;

// Sent with no app running, an event waits in the inbox as one published file for the first start to play; help
// starts nothing (the app would have logged), and a second start finds the first and leaves it running.
TEST_F(AppProcessTest, RunsOnceOnTheGivenInboxAndPlaysWhatWasSentBeforeItStarted)
{
    EXPECT_EQ(runCommandLine({u"--help"_s}), 0);
    EXPECT_EQ(runCommandLine({u"--send"_s, u"sale"_s, u"New sale!"_s, u"Jane (Acme)"_s}), 0);
    EXPECT_FALSE(QFile::exists(logPath));
    const QStringList files = QDir(inbox).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(files[0].endsWith(u".json"_s) && !files[0].startsWith(u'.')) << files[0].toStdString();
    startApp();
    ASSERT_TRUE(waitUntil([&] { return !logLines(u"^slap: "_s).isEmpty(); }, 10000)) << logText();
    EXPECT_EQ(logLines(u"^slap: "_s), QStringList{u"slap: sale New sale! | Jane (Acme) |  (sound: slap)"_s});
    // A first run without keys opened the settings once and remembered it.
    EXPECT_TRUE(waitUntil([&] { return TestEnvironment::readFile(preferences).contains("shownSetup=true"); }));
    EXPECT_EQ(runCommandLine({}), 0);
    EXPECT_TRUE(logMessages().contains(u"already running (pid %1); exiting"_s.arg(app.processId()))) << logText();
    EXPECT_EQ(logLines(u'^' + QRegularExpression::escape(startedV)),
        QStringList{startedV + u"; Stripe off, RevenueCat off; inbox "_s + inbox});
    EXPECT_EQ(app.state(), QProcess::Running);
}

// --status asks the running app, which knows its key is being refused; without an app, or from one that does not
// answer, it prints the stored state at once.
TEST_F(AppProcessTest, StatusSaysWhatTheRunningAppKnowsElseTheStoredState)
{
    LoopbackServer stripe;
    stripe.route(u"/v1/"_s, 200, R"({"data":[]})");
    configure(stripe.base(), nowhere);
    const QString stored = u"Stripe: connected (live mode)\nRevenueCat: not connected\n"_s;
    ASSERT_EQ(runCommandLine({u"--connect-stripe"_s}, "rk_live_51StatusTest1234\n"), 0);
    EXPECT_EQ(runCommandLine({u"--status"_s}), 0);
    EXPECT_EQ(cliOutput, stored);
    stripe.route(u"/v1/charges"_s, 401,
        R"({"error":{"message":"Invalid API Key provided: rk_live_****1234","type":"invalid_request_error"}})");
    const auto refusedAt = [](const QDateTime& at) {
        return u"Stripe: connected (live mode) — key refused at %1: Invalid API Key provided: rk_live_****1234\n"
               u"RevenueCat: not connected\n"_s.arg(at.toLocalTime().toString(u"hh:mm"_s));
    };
    const QString early = refusedAt(QDateTime::currentDateTimeUtc());
    startApp();
    ASSERT_TRUE(waitUntil([&] { return !logLines(u"^Stripe: Stripe didn't accept"_s).isEmpty(); })) << logText();
    EXPECT_EQ(runCommandLine({u"--status"_s}), 0);
    EXPECT_TRUE(cliOutput == early || cliOutput == refusedAt(QDateTime::currentDateTimeUtc()))
        << cliOutput.toStdString();
    ::kill(pid_t(app.processId()), SIGSTOP);
    const QDateTime stopped = QDateTime::currentDateTimeUtc();
    EXPECT_EQ(runCommandLine({u"--status"_s}), 0);
    EXPECT_EQ(cliOutput, stored);
    EXPECT_LT(stopped.msecsTo(QDateTime::currentDateTimeUtc()), 10000) << "a stuck app is not waited for";
    ::kill(pid_t(app.processId()), SIGCONT);
    EXPECT_EQ(runCommandLine({u"--disconnect"_s, u"stripe"_s}), 0);
}

} // namespace
