#include "common/TestEnvironment.h"
#include "support/Log.h"
#include "support/LogFile.h"
#include "support/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using TestEnvironment::writeFile;

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

const QDateTime stamp(QDate(2026, 12, 5), QTime(6, 54, 9, 500), Qt::UTC);

TEST(LogLine, IsStampTwoSpacesMessage)
{
    EXPECT_EQ(formatLogLine(stamp, QStringLiteral("started")), QByteArray("2026-12-05T06:54:09Z  started\n"));
    EXPECT_EQ(formatLogLine(stamp.toOffsetFromUtc(7200), QStringLiteral("x")), QByteArray("2026-12-05T06:54:09Z  x\n"));
}

TEST(LogLine, ControlCharactersCannotSplitOrForgeLines)
{
    const QString forged = QStringLiteral("New sale!\n2026-12-05T00:00:00Z  ERROR fake\r\t\x1b[31m\u2028end");
    const QByteArray line = formatLogLine(stamp, forged);
    EXPECT_EQ(line.count('\n'), 1);
    EXPECT_TRUE(line.endsWith('\n'));
    EXPECT_EQ(line, QByteArray("2026-12-05T06:54:09Z  New sale!\\n2026-12-05T00:00:00Z  ERROR fake\\r\\t\\x1b[31m\\u2028end\n"));
    // Printable text outside ASCII stays as it is.
    EXPECT_EQ(formatLogLine(stamp, QStringLiteral("3 sales · 1 renewal 🍌")),
        QByteArray("2026-12-05T06:54:09Z  3 sales \xC2\xB7 1 renewal \xF0\x9F\x8D\x8C\n"));
}

class LogFileTest : public testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("logs/Bonkbell.log"));
    LogFile file{path};
};

TEST_F(LogFileTest, AppendsUpToTheCapThenRotatesOneGeneration)
{
    const QByteArray full(1'000'000, 'a');
    writeFile(path, full);
    writeFile(path + QStringLiteral(".1"), "ancient\n");
    file.append("line\n");
    EXPECT_EQ(contents(path), full + "line\n") << "exactly the cap is still appended to";

    file.append("next\n");   // now 1,000,005 bytes: moved aside first
    EXPECT_EQ(contents(path), QByteArray("next\n"));
    EXPECT_EQ(contents(path + QStringLiteral(".1")), full + "line\n");
}

TEST_F(LogFileTest, RecreatesADeletedDirectoryPrivately)
{
    file.append("one\n");
    ASSERT_TRUE(QDir(QFileInfo(path).path()).removeRecursively());
    file.append("two\n");
    EXPECT_EQ(contents(path), QByteArray("two\n"));
    EXPECT_EQ(QFileInfo(path).permissions() & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());
}

TEST(Log, WritesToTheLogFileUnderTheStateDirectory)
{
    TestEnvironment::takeLogMessages();
    log(QStringLiteral("hello"));
    log(QStringLiteral("WARN two\nlines"));
    EXPECT_EQ(TestEnvironment::takeLogMessages(), QStringList({QStringLiteral("hello"), QStringLiteral("WARN two\\nlines")}));
    EXPECT_TRUE(Paths::log().startsWith(TestEnvironment::root()));
}

} // namespace
