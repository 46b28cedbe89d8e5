#include "AppProcessTest.h"

#include <QDir>
#include <QFile>

namespace {

using namespace Qt::StringLiterals;
using TestEnvironment::waitUntil;

TEST_F(AppProcessTest, RunsOnceOnTheGivenInboxAndPlaysWhatIsDroppedThere)
{
    startApp();
    const QString started
        = u'^' + QRegularExpression::escape(startedV + u"; Stripe off, RevenueCat off; inbox "_s + inbox) + u'$';
    EXPECT_EQ(logLines(started).size(), 1) << logText();
    // A first run without keys opened the settings once and remembered it.
    EXPECT_TRUE(waitUntil([&] { return TestEnvironment::readFile(preferences).contains("shownSetup=true"); }));
    // A second start finds the first and leaves it running.
    EXPECT_EQ(runCommandLine({}), 0);
    EXPECT_TRUE(logMessages().contains(u"already running (pid %1); exiting"_s.arg(app.processId()))) << logText();
    EXPECT_EQ(logLines(u'^' + QRegularExpression::escape(startedV)).size(), 1);
    // A file dropped into the inbox reaches the screen's queue.
    publish(R"({"kind":"onboarding","headline":"Hello"})");
    ASSERT_TRUE(waitUntil([&] { return !logLines(u"^slap: "_s).isEmpty(); }, 10000)) << logText();
    EXPECT_EQ(logLines(u"^slap: "_s), QStringList{u"slap: onboarding Hello |  |  (sound: slap)"_s});
    EXPECT_EQ(app.state(), QProcess::Running);
}

// With no app running, an event sent from a script waits in the inbox as one published file,
// and the next start plays it; asking for help starts nothing (the app would have logged).
TEST_F(AppProcessTest, SendLeavesOneEventForTheAppToPlayLaterAndHelpStartsNoApp)
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
}

} // namespace
