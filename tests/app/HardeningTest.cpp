#include "AppProcessTest.h"
#include "common/LoopbackServer.h"
#include "common/TestEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace Qt::StringLiterals;
using TestEnvironment::readFile;
using TestEnvironment::waitUntil;

// The real executable in a private HOME, XDG tree and inbox, with both services on loopback.
class HardeningTest : public AppProcessTest {
protected:
    LoopbackServer stripe;
    LoopbackServer revenueCat;

    void SetUp() override
    {
        stripe.route(u"/v1/charges"_s, 200, R"({"data":[]})");
        stripe.route(u"/v1/invoices"_s, 200, R"({"data":[]})");
        revenueCat.route(u"/v2/projects/proj7/metrics/revenue"_s, 200, R"({"value":3.5,"currency":"USD"})");
        revenueCat.route(u"/v2/projects/proj7/metrics/overview"_s, 200, R"({"metrics":[]})");
        configure(stripe.base(), revenueCat.base());
    }
};

int bearerRequests(const LoopbackServer& server, const QString& path, const QByteArray& key)
{
    int count = 0;
    for (const LoopbackServer::Request& request : server.requestsTo(path))
        count += request.headers.value("authorization") == "Bearer " + key;
    return count;
}

TEST_F(HardeningTest, KeysLeaveNoTraceOutsideTheKeyring)
{
    // Distinctive texts that cannot turn up by chance.
    const QByteArray stripeKey = "rk_test_Zq8vHardenStripeXw3";
    const QByteArray rcKey = "sk_Zq8vHardenRevenueXw3";
    startApp();
    ASSERT_EQ(runCommandLine({u"--connect-stripe"_s}, stripeKey + '\n').exitCode, 0);
    ASSERT_EQ(runCommandLine({u"--connect-revenuecat"_s, u"proj7"_s}, rcKey + '\n').exitCode, 0);

    // The command line probed each service once; wait for the app's own polls with the keys.
    const int stripeSeen = bearerRequests(stripe, u"/v1/charges"_s, stripeKey);
    const int rcSeen = bearerRequests(revenueCat, u"/v2/projects/proj7/metrics/revenue"_s, rcKey);
    ASSERT_TRUE(waitUntil([&] {
        return bearerRequests(stripe, u"/v1/charges"_s, stripeKey) > stripeSeen + 1
            && bearerRequests(revenueCat, u"/v2/projects/proj7/metrics/revenue"_s, rcKey) > rcSeen + 1;
    }, 10000)) << logMessages().join(u'\n').toStdString();

    // Text a key might leak into: every file the app could write, its standard error, and what
    // other local users can read about the process.
    QList<QPair<QString, QByteArray>> places;
    QDirIterator it(root.path(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        places.append({path, readFile(path)});
    }
    const QString proc = u"/proc/%1/"_s.arg(app.processId());
    places.append({proc + u"cmdline"_s, readFile(proc + u"cmdline"_s)});
    places.append({proc + u"environ"_s, readFile(proc + u"environ"_s)});
    places.append({u"standard error"_s, app.readAllStandardError()});
    // A search that finds nothing to read proves nothing.
    EXPECT_FALSE(readFile(proc + u"environ"_s).isEmpty());
    EXPECT_FALSE(readFile(logPath).isEmpty());
    for (const auto& [where, bytes] : places) {
        for (const QByteArray& key : {stripeKey, rcKey}) {
            // A key kept as a QString would show up in UTF-16.
            const QString text = QString::fromLatin1(key);
            const QByteArray wide(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
            EXPECT_FALSE(bytes.contains(key) || bytes.contains(wide)) << where.toStdString();
        }
    }

    EXPECT_EQ(runCommandLine({u"--disconnect"_s, u"stripe"_s}).exitCode, 0);
    EXPECT_EQ(runCommandLine({u"--disconnect"_s, u"revenuecat"_s}).exitCode, 0);
}

TEST_F(HardeningTest, InboxUnderLoadLosesNothing)
{
    // 4 writers x 2,500 files; the app drains them in well under the bound on 2 cores. Every
    // event is stale, so each batch the app takes in is counted in one roll-up line.
    constexpr int writers = 4;
    constexpr int perWriter = 2500;
    QDir().mkpath(inbox);
    startApp();

    QElapsedTimer clock;
    clock.start();
    std::atomic<int> failures = 0;
    std::vector<std::thread> threads;
    const std::string dir = QFile::encodeName(inbox).toStdString() + '/';
    for (int w = 0; w < writers; ++w) {
        threads.emplace_back([&, w] {
            for (int i = 0; i < perWriter; ++i) {
                const std::string name = std::to_string(w) + '-' + std::to_string(100000 + i) + ".json";
                std::ofstream(dir + '.' + name + ".tmp")
                    << R"({"kind":"sale","at":"2020-01-01T00:00:00Z","headline":"Load )" << w << ' ' << i << R"("})";
                failures += std::rename((dir + '.' + name + ".tmp").c_str(), (dir + name).c_str()) != 0;
            }
        });
    }
    const auto eventFiles = [&] { return QDir(inbox).entryList({u"*.json"_s}, QDir::Files | QDir::Hidden); };
    for (std::thread& thread : threads)
        thread.join();
    const qint64 written = clock.elapsed();
    ASSERT_EQ(failures, 0);
    ASSERT_TRUE(waitUntil([&] { return eventFiles().isEmpty(); }, 45000)) << eventFiles().size() << " left";
    const qint64 drained = clock.elapsed();
    std::printf("%d files written in %lld ms, all read by the app after %lld ms (%.0f files/s)\n",
                writers * perWriter, static_cast<long long>(written), static_cast<long long>(drained),
                writers * perWriter * 1000.0 / std::max<qint64>(drained, 1));

    EXPECT_EQ(QDir(inbox + u"/rejected"_s).entryList(QDir::Files | QDir::Hidden), QStringList());
    EXPECT_EQ(QDir(inbox).entryList(QDir::Files | QDir::Hidden), QStringList()) << "no temporary file left";
    EXPECT_EQ(logMessages().filter(u"rejected/"_s), QStringList());
    const QRegularExpression rolledUp(u"^(\\d+) event\\(s\\) older than 6h rolled into one summary note$"_s);
    const auto received = [&] {
        int count = 0;
        for (const QString& line : logMessages())
            count += rolledUp.match(line).captured(1).toInt();
        return count;
    };
    // The last batch is logged just after its files are gone.
    waitUntil([&] { return received() >= writers * perWriter; }, 2000);
    EXPECT_EQ(received(), writers * perWriter) << "each event taken in exactly once";

    // Still answering on the session bus after the flood.
    QProcess second;
    second.setProcessEnvironment(app.processEnvironment());
    second.start(app.program(), {});
    const QString answered = u"already running (pid %1); exiting"_s.arg(app.processId());
    EXPECT_TRUE(waitUntil([&] { return logMessages().contains(answered); }, 2000))
        << logMessages().mid(logMessages().size() - 5).join(u'\n').toStdString();
    EXPECT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(app.state(), QProcess::Running);
}

} // namespace
