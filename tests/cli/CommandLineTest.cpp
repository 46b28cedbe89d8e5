#include "cli/CLI.h"
#include "cli/StatusLines.h"
#include "events/Inbox.h"
#include "events/InboxFile.h"
#include "support/AppIdentity.h"
#include "watchers/RevenueCatWatcher.h"
#include "watchers/StripeWatcher.h"
#include "watchers/WatcherFixture.h"

#include <QDir>
#include <QJsonDocument>
#include <QTest>

namespace {

using namespace Qt::StringLiterals;

// The command line on swapped streams, with keys in memory, loopback stand-ins for both services
// and no running app; the real executable's runs are the application tests' business.
class CommandLineTest : public WatcherFixture {
protected:
    LoopbackServer& stripe = server;
    LoopbackServer revenueCat;
    int reloads = 0;
    QString inbox = dir.filePath(u"inbox"_s);
    QString errors; // what the last run said on stderr
    void SetUp() override
    {
        WatcherFixture::SetUp();
        stripe.route(u"/v1/charges"_s, 200, R"({"data":[]})");
        stripe.route(u"/v1/invoices"_s, 200, R"({"data":[]})");
        revenueCat.route(u"/v2/projects/proj9/metrics/revenue"_s, 200, R"({"value":12.5,"currency":"USD"})");
        revenueCat.route(u"/v2/projects/proj9/metrics/overview"_s, 200,
            QJsonDocument(LoopbackServer::published(u"revenuecat-v2"_s, u"overview"_s)).toJson());
    }
    // What the run printed and its exit code; `input` is standard input.
    std::pair<QString, int> run(const QStringList& arguments, QString input = {})
    {
        QString out;
        errors.clear();
        QTextStream stream(&out), err(&errors), in(&input, QIODevice::ReadOnly);
        const int code = QCoro::waitFor(CLI::run(arguments,
            {stream, err, in, services(), {settings, secrets, scheduler, revenueCat.base()}, [this] { ++reloads; },
                [] { return std::optional<QStringList>(); }, inbox, scheduler}));
        return {out, code};
    }
};

TEST_F(
    CommandLineTest, HelpAndVersionExitWithZeroUsageErrorsWithTwoAndChangeNothingThenConnectStatusDisconnectRoundTrip)
{
    const QString usage = u"Usage: bonkbell --connect-stripe [LABEL] | --connect-revenuecat [PROJECT] [--label LABEL]"
                          u" | --disconnect stripe[:LABEL]|revenuecat[:LABEL] | --status"
                          u" | --send KIND HEADLINE [WHO [DETAIL]] | --send - | --help | --version\n"_s;
    for (const QString& verb : {u"--help"_s, u"-h"_s})
        EXPECT_EQ(run({verb}), std::pair(usage, 0));
    EXPECT_EQ(run({u"--version"_s}), std::pair(u"bonkbell "_s + QLatin1StringView(AppIdentity::version) + u'\n', 0));
    for (const QString& verb : {u"--STATUS"_s, u"status"_s, u"--Help"_s, u"-H"_s})
        EXPECT_EQ(run({verb}), std::pair(usage, 2));
    for (const QString& which : {u"paypal"_s, u"stripe:"_s})
        EXPECT_EQ(run({u"--disconnect"_s, which}),
            std::pair(u"Say which: --disconnect stripe[:LABEL] | revenuecat[:LABEL]\n"_s, 2));
    for (const QString& input : {QString(), u"\nrk_test_second_line\n"_s})
        EXPECT_EQ(run({u"--connect-stripe"_s}, input), std::pair(u"Pipe the key in on stdin.\n"_s, 2));
    EXPECT_TRUE(stripe.requests.isEmpty());
    EXPECT_EQ(run({u"--status"_s}), std::pair(u"Stripe: not connected\nRevenueCat: not connected\n"_s, 0));
    stripe.route(u"/v1/charges"_s, 401, R"({"error":{"message":"Invalid API Key"}})");
    EXPECT_EQ(run({u"--connect-stripe"_s}, u"rk_live_bad\n"_s).second, 1) << "refused";
    EXPECT_EQ(reloads, 0);
    stripe.route(u"/v1/charges"_s, 200, R"({"data":[]})");
    EXPECT_EQ(run({u"--connect-stripe"_s}, u"  rk_test_51Secret \nsecond line\n"_s),
        std::pair(u"Stripe connected (test mode).\n"_s, 0));
    EXPECT_EQ(secrets.read(u"stripe"_s), u"rk_test_51Secret"_s);
    EXPECT_EQ(run({u"--connect-revenuecat"_s, u"proj9"_s}, u"sk_rcSecret\n"_s),
        std::pair(u"RevenueCat connected (project proj9).\n"_s, 0));
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
    EXPECT_EQ(errors, QString());
}

// Labelled accounts beside the first: each form, the refusals, and --status listing every one.
TEST_F(CommandLineTest, LabelledAccountsConnectListAndDisconnectBesideTheFirst)
{
    const auto usageOf = [this](const QStringList& arguments) { return run(arguments, u"rk_test_x\n"_s).second; };
    EXPECT_EQ(usageOf({u"--connect-stripe"_s, u"Acme"_s, u"Widgets"_s}), 2);
    EXPECT_EQ(usageOf({u"--connect-revenuecat"_s, u"proj9"_s, u"--label"_s}), 2);
    EXPECT_EQ(usageOf({u"--connect-revenuecat"_s, u"proj9"_s, u"proj8"_s}), 2);
    EXPECT_EQ(run({u"--connect-stripe"_s, u"a/b"_s}, u"rk_test_x\n"_s),
        std::pair(u"An account label can't hold ':', '/', '\\' or control characters.\n"_s, 2));
    EXPECT_EQ(run({u"--connect-stripe"_s}, u"rk_live_first\n"_s).second, 0);
    EXPECT_EQ(run({u"--connect-stripe"_s, u"Acme"_s}, u"rk_test_acme\n"_s),
        std::pair(u"Stripe (Acme) connected (test mode).\n"_s, 0));
    EXPECT_EQ(usageOf({u"--connect-stripe"_s, u"acme"_s}), 2);
    EXPECT_EQ(run({u"--connect-revenuecat"_s, u"--label"_s, u"Widgets"_s, u"proj9"_s}, u"sk_rcW\n"_s),
        std::pair(u"RevenueCat (Widgets) connected (project proj9).\n"_s, 0));
    const QString stripes = u"Stripe: connected (live mode)\nStripe (Acme): connected (test mode)\n"_s;
    EXPECT_EQ(run({u"--status"_s}).first,
        stripes + u"RevenueCat: not connected\nRevenueCat (Widgets): connected (project proj9)\n"_s);
    const QString noSuch = u"No Stripe account is labelled “Nope”.\n"_s;
    EXPECT_EQ(run({u"--disconnect"_s, u"stripe:Nope"_s}), std::pair(noSuch, 1));
    EXPECT_EQ(run({u"--disconnect"_s, u"revenuecat:widgets"_s}), std::pair(u"Disconnected.\n"_s, 0));
    EXPECT_EQ(run({u"--status"_s}).first, stripes + u"RevenueCat: not connected\n"_s);
}

// A running app's watcher reports its last problem in the service's own words, in local time (UTC+5:45 here), an
// outage or throttling from its start, until a good poll; a key the service echoes is masked.
TEST_F(CommandLineTest, StatusLineTellsTheLastProblemUntilAGoodPoll)
{
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "Asia/Kathmandu");
    secrets.save(u"rk_live_51StatusKey"_s, u"stripe"_s);
    StripeWatcher watcher(services(), false);
    const auto error = [](int status, const QByteArray& message) {
        return LoopbackServer::Response{status, R"({"error":{"message":")" + message + R"("}})"};
    };
    const LoopbackServer::Response signIn{200, "<html>Sign in</html>"};
    const std::pair<LoopbackServer::Response, QString> polls[] = {
        {signIn, u"can't reach Stripe since 17:45: The answer couldn't be read as JSON."_s},
        {signIn, u"can't reach Stripe since 17:45: The answer couldn't be read as JSON."_s},
        {error(429, "Too many requests"), u"rate limited since 17:47: Too many requests"_s},
        {error(403, "No permission"), u"key lacks a permission at 17:48: No permission"_s},
        {error(500, "Bad header rk_live_51StatusKey"), u"Stripe answered HTTP 500 at 17:49: Bad header …"_s},
        {error(401, "Invalid API Key provided: rk_live_****sKey"),
            u"key refused at 17:50: Invalid API Key provided: rk_live_****sKey"_s},
        {{200, R"({"data":[]})"}, u"checked at 17:51"_s},
    };
    for (const auto& [answer, said] : polls) {
        stripe.route(u"/v1/charges"_s, [&](const LoopbackServer::Request&) { return answer; });
        QCoro::waitFor(watcher.pollNow());
        EXPECT_EQ(StatusLines::line(watcher, u"live mode"_s), u"Stripe: connected (live mode) — "_s + said);
        scheduler.advance(60);
    }
    // The previous key's refusal is not the new key's.
    stripe.route(u"/v1/charges"_s, 401, "{}");
    QCoro::waitFor(watcher.pollNow());
    secrets.save(u"rk_live_51NewKey"_s, u"stripe"_s);
    watcher.reload();
    EXPECT_EQ(StatusLines::line(watcher, u"live mode"_s), u"Stripe: connected (live mode) — checked at 17:51"_s);
    // A figure RevenueCat sent that cannot be read is no outage.
    secrets.save(u"sk_rcSecret"_s, u"revenuecat"_s);
    settings.set(Preferences::rcProject, u"proj9"_s);
    RevenueCatWatcher rc({settings, secrets, scheduler, revenueCat.base()}, false);
    revenueCat.route(u"/v2/projects/proj9/metrics/revenue"_s, 200, R"({"value":"12.5","currency":"USD"})");
    QCoro::waitFor(rc.pollNow());
    EXPECT_EQ(StatusLines::line(rc, u"project proj9"_s),
        u"RevenueCat: connected (project proj9) — unreadable answer at 17:52: "
        u"RevenueCat sent a revenue figure Bonkbell can't read."_s);
    zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone);
}

// What --send leaves is read back by the inbox's own reader (and compared as compact JSON); a
// refusal says why on stderr, exits with 2 and leaves no file at all, not even a hidden one.
TEST_F(CommandLineTest, SendPublishesOneEventTheInboxReadsBackStampedNowUnlessTimedOrRefusesWithTheReason)
{
    Inbox reader(inbox, scheduler);
    QStringList read;
    QObject::connect(&reader, &Inbox::eventsArrived, [&](const Inbox::Batch& batch, const QStringList& files) {
        for (const MonkeyEvent& event : batch)
            read.append(QString::fromUtf8(event.encode()));
        reader.release(files);
    });
    const QString now = u"2026-12-05T12:00:00Z"_s,
                  sayWhat
        = u"Say what happened: --send KIND HEADLINE [WHO [DETAIL]] | --send - (one JSON event on stdin)"_s;
    // Headlines that make the event exactly as large as the inbox reads, and one byte more.
    const qsizetype room = InboxFile::maxBytes - MonkeyEvent{u"sale"_s, {}, {}, {}, {}, now}.encode().size();
    const QString fits(room, u'x'), tooLarge(room + 1, u'x');
    const std::tuple<QStringList, QString, QString, QString> cases[] = {
        {{u"--send"_s, u"sale"_s, u"New sale!"_s}, {},
            uR"({"at":"%1","headline":"New sale!","kind":"sale"})"_s.arg(now), {}},
        {{u"--send"_s, u"sale"_s, u"New sale!"_s, u"Jane (Acme)"_s}, {},
            uR"#({"at":"%1","headline":"New sale!","kind":"sale","who":"Jane (Acme)"})#"_s.arg(now), {}},
        {{u"--send"_s, u"renewal"_s, u""_s, u"Jane"_s, u"$9.00"_s, u"more"_s}, {},
            uR"({"at":"%1","detail":"$9.00","headline":"","kind":"renewal","who":"Jane"})"_s.arg(now), {}},
        {{u"--send"_s, u"-"_s},
            uR"({"kind":"sale","headline":"Hi","who":null,"test":true,"at":"2026-12-01T08:00:00+02:00","x":1})"_s,
            uR"({"at":"2026-12-01T08:00:00+02:00","headline":"Hi","kind":"sale","test":true})"_s, {}},
        {{u"--send"_s, u"-"_s}, uR"({"kind":"onboarding","headline":"Welcome","at":null})"_s,
            uR"({"at":"%1","headline":"Welcome","kind":"onboarding"})"_s.arg(now), {}},
        {{u"--send"_s, u"sale"_s, fits}, {}, uR"({"at":"%1","headline":"%2","kind":"sale"})"_s.arg(now, fits), {}},
        {{u"--send"_s}, {}, {}, sayWhat},
        {{u"--send"_s, u"sale"_s}, {}, {}, sayWhat},
        {{u"--send"_s, u"-"_s}, {}, {}, u"Standard input is not JSON: illegal value at offset 0."_s},
        {{u"--send"_s, u"-"_s}, uR"([{"kind":"sale","headline":"Hi"}])"_s, {},
            u"Standard input is not one JSON object."_s},
        {{u"--send"_s, u"-"_s}, uR"({"kind":"sale","who":"Jane"})"_s, {},
            u"Not an event: \"kind\" and \"headline\" must be strings, \"who\", \"detail\" and \"at\" strings or null, "
            u"\"test\" true, false or null."_s},
        {{u"--send"_s, u"sale"_s, tooLarge}, {}, {}, u"The event is larger than the inbox reads (1 MiB)."_s},
    };
    for (const auto& [arguments, input, published, error] : cases) {
        const std::string what = arguments.join(u' ').left(40).toStdString() + ' ' + input.toStdString();
        EXPECT_EQ(run(arguments, input), std::pair(QString(), error.isEmpty() ? 0 : 2)) << what;
        EXPECT_EQ(errors, error.isEmpty() ? QString() : error + u'\n') << what;
        read.clear();
        reader.scan();
        EXPECT_EQ(read, published.isEmpty() ? QStringList() : QStringList{published}) << what;
        EXPECT_TRUE(QDir(inbox).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) << what;
    }
    EXPECT_EQ(reloads, 0) << "the app reads the inbox by itself";
}

} // namespace
