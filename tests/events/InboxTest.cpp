#include "events/Inbox.h"
#include "common/ManualScheduler.h"
#include "common/TestEnvironment.h"
#include "events/InboxFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gmock/gmock.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

using namespace Qt::StringLiterals;
using TestEnvironment::takeLogMessages;
using testing::ElementsAre;
using testing::IsEmpty;

QByteArray eventJson(const char* headline)
{
    return QByteArray(R"({"kind":"sale","headline":")") + headline + "\"}";
}

class InboxTest : public testing::Test {
protected:
    QTemporaryDir root;
    QString dir = root.filePath(u"inbox"_s);
    ManualScheduler scheduler;
    QStringList arrived; // headlines, a "|" after each batch
    Inbox inbox{dir, scheduler};
    void SetUp() override
    {
        QDir().mkpath(dir);
        collect(inbox);
        takeLogMessages();
    }
    void collect(Inbox& from)
    {
        QObject::connect(&from, &Inbox::eventsArrived, &from, [this](const Inbox::Batch& batch) {
            for (const MonkeyEvent& event : batch)
                arrived.append(event.headline);
            arrived.append(u"|"_s);
        });
    }
    void put(const QString& name, const QByteArray& bytes) { TestEnvironment::writeFile(dir + u'/' + name, bytes); }
    QStringList entries(const QString& sub = {}) const
    {
        return QDir(dir + u'/' + sub)
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }
};

TEST_F(InboxTest, ReadsPublishedFilesInNameOrderKeepsThemTillReleasedAndMovesUnusableOnesToRejectedOnceNeverOverAnother)
{
    for (const char* name : {"b.json", "a.json", "c.txt", ".d.json", "x.JSON", "Z.json"})
        put(QString::fromLatin1(name), eventJson(name));
    inbox.scan();
    EXPECT_THAT(arrived, ElementsAre("Z.json", "a.json", "b.json", "|"));
    // Handed over once; each file stays until its event is done with, so a restart (a new
    // inbox on the same folder) hands over again what was not.
    inbox.scan();
    inbox.release({u"a.json"_s, u"Z.json"_s});
    Inbox restarted(dir, scheduler);
    collect(restarted);
    restarted.scan();
    restarted.release({u"b.json"_s});
    EXPECT_THAT(arrived, ElementsAre("Z.json", "a.json", "b.json", "|", "b.json", "|"));
    EXPECT_THAT(entries(), ElementsAre(".d.json", "c.txt", "x.JSON"));
    EXPECT_THAT(takeLogMessages(), IsEmpty());
    // Unusable entries move to rejected/ once while the rest are delivered.
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir + u"/fifo.json"_s).constData(), 0600), 0);
    QDir().mkpath(dir + u"/folder.json"_s);
    const QByteArray rejected = R"([{"kind":"sale","headline":"h"}])";
    put(u"bad.json"_s, rejected);
    put(u"zz.json"_s, eventJson("fine"));
    QByteArray big = eventJson("big"), fits = eventJson("fits");
    put(u"big.json"_s, big.append(QByteArray(InboxFile::maxBytes, ' ')));
    put(u"fits.json"_s, fits.append(QByteArray(InboxFile::maxBytes - fits.size(), ' ')));
    inbox.scan();
    inbox.scan();
    EXPECT_THAT(arrived.mid(6), ElementsAre("fits", "fine", "|"));
    EXPECT_THAT(entries(u"rejected"_s), ElementsAre("bad.json", "big.json", "fifo.json", "folder.json"));
    EXPECT_THAT(takeLogMessages(),
        ElementsAre("WARN unreadable event moved to rejected/: bad.json",
            "WARN event file over 1 MiB moved to rejected/: big.json",
            "WARN not a regular file, moved to rejected/: fifo.json",
            "WARN not a regular file, moved to rejected/: folder.json"));
    // A rejected name already taken: the file stays and is warned about each pass.
    put(u"bad.json"_s, "new");
    inbox.scan();
    inbox.scan();
    EXPECT_TRUE(QFileInfo::exists(dir + u"/bad.json"_s));
    EXPECT_EQ(TestEnvironment::readFile(dir + u"/rejected/bad.json"_s), rejected) << "never replaced";
    EXPECT_EQ(takeLogMessages().size(), 2);
}

TEST_F(InboxTest, StartCreatesAPrivateDirectoryOrLogsWhyNotThenTheTimerAndTheWatchBothScan)
{
    Inbox fresh(root.filePath(u"new/inbox"_s), scheduler);
    collect(fresh);
    const auto publish = [&](const QString& name, const char* headline) {
        TestEnvironment::writeFile(fresh.dir() + u"/.tmp"_s, eventJson(headline));
        QFile::rename(fresh.dir() + u"/.tmp"_s, fresh.dir() + u'/' + name);
    };
    publish(u"early.json"_s, "early");
    fresh.start();
    EXPECT_THAT(arrived, ElementsAre("early", "|")) << "files left from before are read at start";
    // The watch: a rename into place is seen without waiting for the timer.
    publish(u"w.json"_s, "watched");
    EXPECT_TRUE(TestEnvironment::waitUntil([&] { return arrived.size() == 4; }));
    // The timer alone also finds files, every 10 s.
    for (QObject* watcher : fresh.findChildren<QObject*>())
        watcher->blockSignals(true);
    publish(u"t.json"_s, "timed");
    scheduler.advance(9.9);
    EXPECT_EQ(arrived.size(), 4);
    scheduler.advance(0.1);
    EXPECT_THAT(arrived, ElementsAre("early", "|", "watched", "|", "timed", "|"));
    Inbox made(root.filePath(u"made/here"_s), scheduler);
    made.start();
    EXPECT_EQ(QFile::permissions(made.dir()) & 0x0777, QFileDevice::Permissions(0x0700));
    // A directory that cannot be created is logged, and polling goes on; nothing is dropped there either.
    takeLogMessages();
    put(u"plainfile"_s, "x");
    const QString impossible = dir + u"/plainfile/inbox"_s;
    Inbox broken(impossible, scheduler);
    broken.start();
    EXPECT_FALSE(Inbox::drop(MonkeyEvent{u"sale"_s, u"h"_s, {}, {}, {}, {}}, dir + u"/plainfile"_s));
    EXPECT_THAT(takeLogMessages(),
        ElementsAre(u"ERROR cannot create inbox %1: Not a directory"_s.arg(impossible),
            u"WARN cannot watch %1 (errno 20); polling only"_s.arg(impossible),
            "ERROR could not write test event: Not a directory"));
    scheduler.advance(30);
    EXPECT_THAT(takeLogMessages(), IsEmpty());
}

TEST_F(InboxTest, DropPublishesUniqueTimeOrderedNamesWhole)
{
    const MonkeyEvent event
        = MonkeyEvent::now(u"sale"_s, u"New sale!"_s, u"Test Monkey (Banana Co.)"_s, u"$49.00 · test slap"_s);
    ASSERT_TRUE(Inbox::drop(event, dir));
    ASSERT_TRUE(Inbox::drop(event, dir));
    const QStringList names = entries();
    ASSERT_EQ(names.size(), 2) << "no temporary file is left behind";
    EXPECT_EQ(names.filter(QRegularExpression(u"^\\d{16}-[0-9A-F]{8}\\.json$"_s)), names);
    EXPECT_NE(names[0], names[1]);
    QList<Inbox::Batch> batches;
    QObject::connect(&inbox, &Inbox::eventsArrived, [&](const Inbox::Batch& batch, const QStringList& files) {
        batches.append(batch);
        EXPECT_EQ(files, names);
        inbox.release(files);
    });
    inbox.scan();
    EXPECT_EQ(batches, QList<Inbox::Batch>{Inbox::Batch({event, event})});
    // A write cut short (by the file size limit) leaves nothing under a name the inbox reads.
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const rlimit tiny{8, old.rlim_max};
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &tiny);
    const bool written = Inbox::drop(event, dir);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, handler);
    EXPECT_FALSE(written);
    EXPECT_THAT(entries().filter(QRegularExpression(u"^[^.]"_s)), IsEmpty());
}

} // namespace
