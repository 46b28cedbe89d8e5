#include "cli/CLI.h"
#include "watchers/WatcherFixture.h"

#include <QJsonDocument>
#include <QTest>

namespace {

using namespace Qt::StringLiterals;

// The command line on swapped streams, with keys in memory and loopback stand-ins for both
// services; the real executable's runs are the application tests' business.
class CommandLineTest : public WatcherFixture {
protected:
    LoopbackServer& stripe = server;
    LoopbackServer revenueCat;
    int reloads = 0;
    void SetUp() override
    {
        WatcherFixture::SetUp();
        stripe.route(u"/v1/charges"_s, 200, R"({"data":[]})");
        stripe.route(u"/v1/invoices"_s, 200, R"({"data":[]})");
        revenueCat.route(u"/v2/projects/proj9/metrics/revenue"_s, 200, R"({"value":12.5,"currency":"USD"})");
        revenueCat.route(u"/v2/projects/proj9/metrics/overview"_s, 200, QJsonDocument(LoopbackServer::published(u"revenuecat-v2"_s, u"overview"_s)).toJson());
    }
    // What the run printed and its exit code; `input` is standard input.
    std::pair<QString, int> run(const QStringList& arguments, QString input = {})
    {
        QString out;
        QTextStream stream(&out), in(&input, QIODevice::ReadOnly);
        const auto readLine = [&in]() -> std::optional<QString> {
            const QString line = in.readLine();
            return line.isNull() ? std::nullopt : std::optional(line);
        };
        const int code = QCoro::waitFor(
            CLI::run(arguments, {stream, readLine, services(), {settings, secrets, scheduler, revenueCat.base()}, [this] { ++reloads; }}));
        return {out, code};
    }
};

TEST_F(CommandLineTest, UsageErrorsExitWithTwoAndChangeNothingThenConnectStatusDisconnectRoundTrip)
{
    const QString usage = u"Usage: Bonkbell --connect-stripe | --connect-revenuecat [project] | --disconnect stripe|revenuecat | --status\n"_s;
    for (const QString& verb : {u"--STATUS"_s, u"status"_s, u"--help"_s})
        EXPECT_EQ(run({verb}), std::pair(usage, 2));
    EXPECT_EQ(run({u"--disconnect"_s, u"paypal"_s}), std::pair(u"Say which: --disconnect stripe | revenuecat\n"_s, 2));
    for (const QString& input : {QString(), u"\nrk_test_second_line\n"_s})
        EXPECT_EQ(run({u"--connect-stripe"_s}, input), std::pair(u"Pipe the key in on stdin.\n"_s, 2));
    EXPECT_TRUE(stripe.requests.isEmpty());
    EXPECT_EQ(reloads, 0);
    EXPECT_EQ(run({u"--status"_s}), std::pair(u"Stripe: not connected\nRevenueCat: not connected\n"_s, 0));
    stripe.route(u"/v1/charges"_s, 401, R"({"error":{"message":"Invalid API Key"}})");
    EXPECT_EQ(run({u"--connect-stripe"_s}, u"rk_live_bad\n"_s).second, 1) << "refused";
    EXPECT_EQ(reloads, 0);
    stripe.route(u"/v1/charges"_s, 200, R"({"data":[]})");
    EXPECT_EQ(run({u"--connect-stripe"_s}, u"  rk_test_51Secret \nsecond line\n"_s), std::pair(u"Stripe connected (test mode).\n"_s, 0));
    EXPECT_EQ(secrets.items().value(u"stripe"_s), u"rk_test_51Secret"_s);
    EXPECT_EQ(run({u"--connect-revenuecat"_s, u"proj9"_s}, u"sk_rcSecret\n"_s), std::pair(u"RevenueCat connected (project proj9).\n"_s, 0));
    EXPECT_EQ(reloads, 2);
    // It checked the keys and stored them; the running app does the polling.
    QTest::qWait(100);
    for (const auto& request : stripe.requests)
        EXPECT_EQ(request.rawQuery, "limit=1") << request.path.toStdString();
    EXPECT_EQ(revenueCat.requests.size(), 2);
    EXPECT_EQ(run({u"--status"_s}).first, u"Stripe: connected (test mode)\nRevenueCat: connected (project proj9)\n"_s);
    EXPECT_EQ(run({u"--disconnect"_s, u"stripe"_s}), std::pair(u"Disconnected.\n"_s, 0));
    EXPECT_EQ(reloads, 3);
    EXPECT_EQ(run({u"--status"_s}).first, u"Stripe: not connected\nRevenueCat: connected (project proj9)\n"_s);
}

} // namespace
