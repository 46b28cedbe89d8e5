#include "AppProcessTest.h"
#include "common/LoopbackServer.h"

#include <QDir>
#include <QDirIterator>
#include <QJsonDocument>

#include <thread>
#include <vector>

namespace {

using namespace Qt::StringLiterals;
using TestEnvironment::readFile;
using TestEnvironment::waitUntil;

class HardeningTest : public AppProcessTest {
protected:
    LoopbackServer stripe, revenueCat;
    QByteArray charges = R"({"data":[]})";
    void SetUp() override
    {
        stripe.route(u"/v1/charges"_s, [this](const LoopbackServer::Request&) {
            return LoopbackServer::Response{200, charges};
        });
        stripe.route(u"/v1/invoices"_s, 200, R"({"data":[]})");
        revenueCat.route(u"/v2/projects/proj7/metrics/revenue"_s, 200, R"({"value":3.5,"currency":"USD"})");
        revenueCat.route(u"/v2/projects/proj7/metrics/overview"_s, 200,
            QJsonDocument(LoopbackServer::published(u"revenuecat-v2"_s, u"overview"_s)).toJson());
        configure(stripe.base(), revenueCat.base());
    }
};

TEST_F(HardeningTest, KeysFromTheCommandLineLeaveNoTraceAndAFloodedInboxLosesNothing)
{
    const QByteArray stripeKey = "rk_test_Zq8vHardenStripeXw3",
                     rcKey = "sk_Zq8vHardenRevenueXw3"; // cannot turn up by chance
    startApp();
    ASSERT_EQ(runCommandLine({u"--connect-stripe"_s}, stripeKey + '\n'), 0);
    ASSERT_EQ(runCommandLine({u"--connect-revenuecat"_s, u"proj7"_s}, rcKey + '\n'), 0);
    ASSERT_TRUE(waitUntil([&] { return logMessages().contains(u"keys changed from the command line; reloading"_s); }));
    // The app's own polls carry the keys (the command line probed each once): a charge slaps, RevenueCat is re-asked.
    charges = R"({"data":[{"id":"ch_e2e","status":"succeeded","paid":true,"amount":1999,"currency":"usd",)"
              R"("livemode":false,"billing_details":{"name":"Jane"}}],"has_more":false})";
    const auto asked = [&] { return revenueCat.requestsTo(u"/v2/projects/proj7/metrics/revenue"_s); };
    const qsizetype rcAsked = asked().size();
    const QString slap = u"^"_s + QRegularExpression::escape(u"slap: sale [TEST] New sale! | Jane | "_s);
    ASSERT_TRUE(waitUntil([&] { return !logLines(slap).isEmpty() && asked().size() > rcAsked; }, 10000)) << logText();
    EXPECT_EQ(stripe.requestsTo(u"/v1/charges"_s).last().headers.value("authorization"), "Bearer " + stripeKey);
    EXPECT_EQ(asked().last().headers.value("authorization"), "Bearer " + rcKey);
    // Where a key might leak: every file the app could write, its standard error, what other users can read of it.
    const QString proc = u"/proc/%1/"_s.arg(app.processId());
    QList<QPair<QString, QByteArray>> places{{u"standard error"_s, app.readAllStandardError()}};
    QStringList files{proc + u"cmdline"_s, proc + u"environ"_s};
    for (QDirIterator it(root.path(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
         it.hasNext();)
        files.append(it.next());
    for (const QString& file : files)
        places.append({file, readFile(file)});
    // A search that finds nothing to read proves nothing.
    EXPECT_FALSE(readFile(proc + u"environ"_s).isEmpty() || readFile(logPath).isEmpty());
    for (const auto& [where, bytes] : places)
        for (const QString& key : {QString::fromLatin1(stripeKey), QString::fromLatin1(rcKey)}) {
            // A key kept as a QString would show up in UTF-16.
            const QByteArray wide(reinterpret_cast<const char*>(key.utf16()), key.size() * 2);
            EXPECT_FALSE(bytes.contains(key.toLatin1()) || bytes.contains(wide)) << where.toStdString();
        }
    EXPECT_EQ(runCommandLine({u"--disconnect"_s, u"stripe"_s}), 0);
    EXPECT_EQ(runCommandLine({u"--disconnect"_s, u"revenuecat"_s}), 0);
    // The inbox under load loses nothing: 4 writers x 2,500 files, drained in well under the bound on 2 cores. Every
    // event is stale, so each batch the app takes in is counted in one roll-up line.
    constexpr int writers = 4, perWriter = 2500;
    {
        std::vector<std::jthread> threads; // joined at the end of the block
        for (int w = 0; w < writers; ++w)
            threads.emplace_back([&, w] {
                const QString event = uR"({"kind":"sale","at":"2020-01-01T00:00:00Z","headline":"Load %1 %2"})"_s;
                for (int i = 0; i < perWriter; ++i)
                    publish(event.arg(w).arg(i).toUtf8(), u"%1-%2"_s.arg(w).arg(100000 + i));
            });
    }
    const auto eventFiles = [&] { return QDir(inbox).entryList({u"*.json"_s}, QDir::Files | QDir::Hidden); };
    ASSERT_TRUE(waitUntil([&] { return eventFiles().isEmpty(); }, 45000)) << eventFiles().size() << " left";
    EXPECT_EQ(QDir(inbox + u"/rejected"_s).entryList(QDir::Files | QDir::Hidden), QStringList());
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
    EXPECT_EQ(app.state(), QProcess::Running) << "nothing in the flood took the app down";
}

} // namespace
