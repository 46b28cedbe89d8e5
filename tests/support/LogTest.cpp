#include "support/Log.h"
#include "common/TestEnvironment.h"
#include "support/LogFile.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;
using TestEnvironment::readFile;

// Text from events cannot split or forge lines, or turn round the rest of one: control characters (C0, DEL,
// C1, the Unicode line and paragraph separators, direction embeddings) are escaped; printable text outside
// ASCII and direction marks stay as they are.
TEST(Log, IsOneUtcStampedLineWithControlCharactersEscapedAppendedUpToTheCapThenRotated)
{
    const QDateTime at(QDate(2026, 12, 5), QTime(8, 54, 9, 500), Qt::OffsetFromUTC, 7200);
    const std::pair<QString, QByteArray> lines[] = {
        {u"started"_s, "started"},
        {u"New sale!\n2026-12-05T00:00:00Z  ERROR fake\r\t\x1b[31m\u2028\u2029end"_s,
            "New sale!\\n2026-12-05T00:00:00Z  ERROR fake\\r\\t\\x1b[31m\\u2028\\u2029end"},
        {u"\x7f\u0085next\u009b31m\u00a0"_s, "\\x7f\\x85next\\x9b31m\xC2\xA0"},
        {u"3 sales · 1 renewal 🍌"_s, "3 sales \xC2\xB7 1 renewal \xF0\x9F\x8D\x8C"},
        {u"\u202eJane\u202c | \u2067דנה\u2069 | \u200f$5"_s,
            u"\\u202eJane\\u202c | \\u2067דנה\\u2069 | \u200f$5"_s.toUtf8()},
    };
    for (const auto& [message, written] : lines)
        EXPECT_EQ(formatLogLine(at, message), "2026-12-05T06:54:09Z  " + written + '\n');
    // The file is appended to up to the cap, then rotates one generation and recreates its directory privately.
    QTemporaryDir dir;
    const QString path = dir.filePath(u"logs/Bonkbell.log"_s);
    const LogFile file(path);
    const QByteArray full(1'000'000, 'a');
    TestEnvironment::writeFile(path, full);
    TestEnvironment::writeFile(path + u".1"_s, "ancient\n");
    file.append("line\n");
    EXPECT_EQ(readFile(path), full + "line\n") << "exactly the cap is still appended to";
    file.append("next\n"); // now 1,000,005 bytes: moved aside first
    EXPECT_EQ(readFile(path), "next\n");
    EXPECT_EQ(readFile(path + u".1"_s), full + "line\n");
    ASSERT_TRUE(QDir(QFileInfo(path).path()).removeRecursively());
    file.append("two\n");
    EXPECT_EQ(readFile(path), "two\n");
    EXPECT_EQ(QFileInfo(path).permissions() & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());
}

} // namespace
