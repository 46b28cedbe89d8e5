#include "common/ManualScheduler.h"
#include "common/TestEnvironment.h"
#include "events/Inbox.h"
#include "events/InboxFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using TestEnvironment::takeLogMessages;
using TestEnvironment::writeFile;
using testing::ElementsAre;
using testing::IsEmpty;

QByteArray eventJson(const char* headline)
{
    return QByteArray(R"({"kind":"sale","headline":")") + headline + "\"}";
}

QStringList headlines(const QList<Inbox::Batch>& batches)
{
    QStringList out;
    for (const auto& batch : batches)
        for (const auto& event : batch)
            out.append(event.headline);
    return out;
}

class InboxTest : public testing::Test {
protected:
    QTemporaryDir root;
    QString dir = root.filePath(QStringLiteral("inbox"));
    ManualScheduler scheduler;
    QList<Inbox::Batch> batches;
    Inbox inbox{dir, scheduler};

    void SetUp() override
    {
        QDir().mkpath(dir);
        collect(inbox);
        takeLogMessages();
    }

    void collect(Inbox& from)
    {
        QObject::connect(&from, &Inbox::eventsArrived, &from, [this](const Inbox::Batch& batch) { batches.append(batch); });
    }

    void put(const QString& name, const QByteArray& bytes) { writeFile(dir + u'/' + name, bytes); }
    bool exists(const QString& name) const { return QFileInfo::exists(dir + u'/' + name); }
    QStringList entries(const QString& sub = {}) const
    {
        return QDir(dir + u'/' + sub).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }
};

TEST_F(InboxTest, ReadsPublishedFilesInNameOrderAndDeletesThem)
{
    put(QStringLiteral("b.json"), eventJson("b"));
    put(QStringLiteral("a.json"), eventJson("a"));
    put(QStringLiteral("c.txt"), eventJson("c"));
    put(QStringLiteral(".d.json"), eventJson("d"));
    put(QStringLiteral("x.JSON"), eventJson("x"));
    put(QStringLiteral("Z.json"), eventJson("Z"));
    inbox.scan();
    ASSERT_EQ(batches.size(), 1);
    EXPECT_THAT(headlines(batches), ElementsAre("Z", "a", "b"));
    EXPECT_THAT(entries(), ElementsAre(".d.json", "c.txt", "x.JSON"));
    EXPECT_THAT(takeLogMessages(), IsEmpty());
}

TEST_F(InboxTest, UndecodableFilesMoveToRejectedWhileTheRestAreDelivered)
{
    put(QStringLiteral("1.json"), "[{\"kind\":\"sale\",\"headline\":\"h\"}]");
    put(QStringLiteral("2.json"), "\"sale\"");
    put(QStringLiteral("3.json"), R"({"headline":"no kind"})");
    put(QStringLiteral("4.json"), eventJson("fine"));
    inbox.scan();
    EXPECT_THAT(headlines(batches), ElementsAre("fine"));
    EXPECT_THAT(entries(QStringLiteral("rejected")), ElementsAre("1.json", "2.json", "3.json"));
    EXPECT_THAT(takeLogMessages(), ElementsAre("WARN unreadable event moved to rejected/: 1.json",
        "WARN unreadable event moved to rejected/: 2.json", "WARN unreadable event moved to rejected/: 3.json"));
}

TEST_F(InboxTest, ARejectedNameAlreadyTakenStaysAndIsWarnedEachPass)
{
    put(QStringLiteral("rejected/bad.json"), "old");
    put(QStringLiteral("bad.json"), "new");
    inbox.scan();
    inbox.scan();
    EXPECT_TRUE(exists(QStringLiteral("bad.json")));
    QFile old(dir + QStringLiteral("/rejected/bad.json"));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("old")) << "never replaced";
    EXPECT_EQ(takeLogMessages().size(), 2);
    EXPECT_THAT(batches, IsEmpty());
}

TEST_F(InboxTest, EntriesThatAreNotRegularFilesNeitherHangNorRepeat)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir + QStringLiteral("/fifo.json")).constData(), 0600), 0);
    QDir().mkpath(dir + QStringLiteral("/folder.json"));
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = QFile::encodeName(dir + QStringLiteral("/sock.json"));
    std::strncpy(address.sun_path, socketPath.constData(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    put(QStringLiteral("zz.json"), eventJson("after them"));

    inbox.scan();
    ::close(sock);
    EXPECT_THAT(headlines(batches), ElementsAre("after them"));
    EXPECT_THAT(entries(QStringLiteral("rejected")), ElementsAre("fifo.json", "folder.json", "sock.json"));
    EXPECT_THAT(takeLogMessages(), ElementsAre("WARN not a regular file, moved to rejected/: fifo.json",
        "WARN not a regular file, moved to rejected/: folder.json", "WARN not a regular file, moved to rejected/: sock.json"));
    inbox.scan();
    EXPECT_THAT(takeLogMessages(), IsEmpty());
}

TEST_F(InboxTest, AFileOverOneMebibyteIsRejectedUnread)
{
    QByteArray padded = eventJson("big");
    padded.append(QByteArray(InboxFile::maxBytes, ' '));
    put(QStringLiteral("big.json"), padded);
    QByteArray justFits = eventJson("fits");
    justFits.append(QByteArray(InboxFile::maxBytes - justFits.size(), ' '));
    put(QStringLiteral("fits.json"), justFits);
    inbox.scan();
    EXPECT_THAT(headlines(batches), ElementsAre("fits"));
    EXPECT_THAT(entries(QStringLiteral("rejected")), ElementsAre("big.json"));
    EXPECT_THAT(takeLogMessages(), ElementsAre("WARN event file over 1 MiB moved to rejected/: big.json"));
}

TEST_F(InboxTest, StartCreatesAPrivateDirectoryThenTheTimerAndTheWatchBothScan)
{
    Inbox fresh(root.filePath(QStringLiteral("new/inbox")), scheduler);
    collect(fresh);
    writeFile(fresh.dir() + QStringLiteral("/.early.tmp"), eventJson("early"));
    QFile::rename(fresh.dir() + QStringLiteral("/.early.tmp"), fresh.dir() + QStringLiteral("/early.json"));
    fresh.start();
    EXPECT_THAT(headlines(batches), ElementsAre("early")) << "files left from before are read at start";
    EXPECT_TRUE(fresh.isWatching());

    // The watch: a rename into place is seen without waiting for the timer.
    writeFile(fresh.dir() + QStringLiteral("/.w.tmp"), eventJson("watched"));
    QFile::rename(fresh.dir() + QStringLiteral("/.w.tmp"), fresh.dir() + QStringLiteral("/w.json"));
    EXPECT_TRUE(TestEnvironment::waitUntil([&] { return batches.size() == 2; }));

    // The timer alone also finds files, every 10 s.
    const auto watchers = fresh.findChildren<QObject*>();
    for (QObject* watcher : watchers)
        watcher->blockSignals(true);
    writeFile(fresh.dir() + QStringLiteral("/t.json"), eventJson("timed"));
    scheduler.advance(9.9);
    EXPECT_EQ(batches.size(), 2);
    scheduler.advance(0.1);
    EXPECT_THAT(headlines(batches), ElementsAre("early", "watched", "timed"));

    Inbox created(root.filePath(QStringLiteral("made/here")), scheduler);
    created.start();
    struct stat info{};
    ASSERT_EQ(::stat(QFile::encodeName(created.dir()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(InboxTest, ADirectoryThatCannotBeCreatedIsLoggedAndPollingGoesOn)
{
    put(QStringLiteral("plainfile"), "x");
    const QString impossible = dir + QStringLiteral("/plainfile/inbox");
    Inbox broken(impossible, scheduler);
    collect(broken);
    broken.start();
    const QStringList messages = takeLogMessages();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0], QStringLiteral("ERROR cannot create inbox %1: Not a directory").arg(impossible));
    EXPECT_EQ(messages[1], QStringLiteral("WARN cannot watch %1 (errno 20); polling only").arg(impossible));
    scheduler.advance(30);
    EXPECT_THAT(batches, IsEmpty());
    EXPECT_THAT(takeLogMessages(), IsEmpty());
}

TEST_F(InboxTest, DropPublishesUniqueTimeOrderedNamesAtomically)
{
    const MonkeyEvent event = MonkeyEvent::now(QStringLiteral("sale"), QStringLiteral("New sale!"),
        QStringLiteral("Test Monkey (Banana Co.)"), QStringLiteral("$49.00 · test slap"));
    ASSERT_TRUE(Inbox::drop(event, dir));
    ASSERT_TRUE(Inbox::drop(event, dir));
    const QStringList names = entries();
    ASSERT_EQ(names.size(), 2) << "no temporary file is left behind";
    const QRegularExpression pattern(QStringLiteral("^\\d{16}-[0-9A-F]{8}\\.json$"));
    for (const QString& name : names)
        EXPECT_TRUE(pattern.match(name).hasMatch()) << name.toStdString();
    EXPECT_NE(names[0], names[1]);

    inbox.scan();
    ASSERT_EQ(batches.size(), 1);
    EXPECT_EQ(batches[0], Inbox::Batch({event, event}));
}

TEST_F(InboxTest, AFailedDropIsLogged)
{
    put(QStringLiteral("plainfile"), "x");
    EXPECT_FALSE(Inbox::drop(MonkeyEvent{QStringLiteral("sale"), QStringLiteral("h"), {}, {}, {}, {}},
        dir + QStringLiteral("/plainfile")));
    EXPECT_THAT(takeLogMessages(), ElementsAre("ERROR could not write test event: Not a directory"));
}

} // namespace
