#include "watchers/RevenueCatWatcher.h"
#include "WatcherFixture.h"
#include "money/Money.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

using namespace Qt::StringLiterals;
using testing::ElementsAre;

const QString today = u"2026-12-05"_s;

// A fake metrics service: revenue per day and the active subscriptions, as the test sets them.
class RevenueCatWatcherTest : public WatcherFixture {
protected:
    QMap<QString, double> revenueByDay;
    std::optional<QString> currency = u"EUR"_s;
    double activeSubscriptions = 0;
    void SetUp() override
    {
        WatcherFixture::SetUp();
        serveMetrics();
        serveProjects();
    }
    void serveProjects()
    {
        QJsonObject projects = published(u"projects"_s), item = projects.value("items"_L1).toArray().first().toObject();
        item.insert("id"_L1, u"proj1"_s);
        projects.insert(
            "items"_L1, QJsonArray{item, QJsonObject{{"object"_L1, u"project"_s}, {"name"_L1, u"no id"_s}}});
        server.route(u"/v2/projects"_s, 200, QJsonDocument(projects).toJson());
    }
    static QJsonObject published(const QString& name) { return LoopbackServer::published(u"revenuecat-v2"_s, name); }
    // The published answers, with the test's numbers.
    QJsonObject revenueAnswer(const QString& day) const
    {
        QJsonObject answer = published(u"revenue"_s);
        answer.insert("value"_L1, revenueByDay.value(day));
        answer.insert("currency"_L1, currency ? QJsonValue(*currency) : QJsonValue(QJsonValue::Undefined)); // none
        return answer;
    }
    // `subscriptions` undefined: without the metric at all.
    QJsonObject overviewAnswer(std::optional<QJsonValue> subscriptions = std::nullopt) const
    {
        QJsonObject answer = published(u"overview"_s);
        QJsonArray metrics;
        for (const QJsonValue& metric : answer.value("metrics"_L1).toArray()) {
            QJsonObject m = metric.toObject();
            if (m.value("id"_L1) == u"active_subscriptions"_s)
                m.insert("value"_L1, subscriptions.value_or(activeSubscriptions));
            if (!m.value("value"_L1).isUndefined())
                metrics.append(m);
        }
        answer.insert("metrics"_L1, metrics);
        return answer;
    }
    void serveMetrics()
    {
        server.route(u"/v2/projects/proj1/metrics/revenue"_s, [this](const LoopbackServer::Request& request) {
            return LoopbackServer::Response{
                200, QJsonDocument(revenueAnswer(request.query.value(u"start_date"_s))).toJson()};
        });
        server.route(u"/v2/projects/proj1/metrics/overview"_s, [this](const LoopbackServer::Request&) {
            return LoopbackServer::Response{200, QJsonDocument(overviewAnswer()).toJson()};
        });
    }
    std::unique_ptr<RevenueCatWatcher> connected(const QString& day, double revenue, double subscriptions)
    {
        secrets.save(u"sk_abc"_s, RevenueCatWatcher::keychainAccount());
        settings.set(Preferences::rcProject, u"proj1"_s);
        settings.set(Preferences::rcDay, day);
        settings.set(Preferences::rcRevenue, revenue);
        settings.set(Preferences::rcSubs, subscriptions);
        auto watcher = std::make_unique<RevenueCatWatcher>(services(), false);
        collect(*watcher);
        return watcher;
    }
    void poll(RevenueCatWatcher& watcher, double revenue, double subscriptions)
    {
        revenueByDay[today] = revenue;
        activeSubscriptions = subscriptions;
        run(watcher.pollNow());
    }
    MonkeyEvent sale(const QString& headline, double growth, double total, const QString& currency = u"EUR"_s,
        const QString& day = u"today"_s) const
    {
        MonkeyEvent event = MonkeyEvent::now(u"sale"_s, headline, u"+"_s + formatMoney(growth, currency),
            u"RevenueCat · "_s + formatMoney(total, currency) + u' ' + day, false, scheduler.now());
        event.amount = growth;
        event.currency = currency;
        return event;
    }
};

TEST_F(RevenueCatWatcherTest, ConnectRefusesWhatItCannotUseThenFindsTheOnlyProjectAndGrowthFromItsBaselineIsAnnounced)
{
    RevenueCatWatcher watcher(services(), false);
    collect(watcher);
    EXPECT_EQ(run(watcher.connect(u"rk_live_x"_s, {})), u"Use a RevenueCat secret API key (V2). It starts with sk_."_s);
    EXPECT_THAT(server.requests, testing::IsEmpty());
    server.route(u"/v2/projects"_s, 200, R"({"items":[{"id":"a"},{"id":"b"}]})");
    EXPECT_EQ(run(watcher.connect(u"sk_x"_s, {})),
        u"Enter your project ID. It's in the RevenueCat dashboard address: "
        u"app.revenuecat.com/projects/<this part>/…"_s);
    for (const QString& project : {u"nope"_s, u"../v1/x"_s})
        EXPECT_EQ(run(watcher.connect(u"sk_x"_s, project)), u"RevenueCat can't find that project ID."_s);
    EXPECT_EQ(watcher.state(), WatchState::off());
    EXPECT_FALSE(secrets.read(RevenueCatWatcher::keychainAccount()));
    EXPECT_EQ(watcher.project(), QString());
    serveProjects();
    revenueByDay[today] = 100;
    activeSubscriptions = 2;
    EXPECT_EQ(run(watcher.connect(u"sk_key\n"_s, u"  "_s)), std::nullopt);
    EXPECT_EQ(watcher.project(), u"proj1"_s);
    EXPECT_EQ(watcher.state(), WatchState::watching());
    EXPECT_EQ(secrets.read(RevenueCatWatcher::keychainAccount()), u"sk_key"_s);
    EXPECT_EQ(settings.get(Preferences::rcDay), today);
    EXPECT_EQ(settings.get(Preferences::rcRevenue), 100);
    EXPECT_EQ(settings.get(Preferences::rcSubs), 2);
    EXPECT_THAT(TestEnvironment::takeLogMessages(), ElementsAre("revenuecat: connected (project proj1)"));
    const auto revenue = server.requestsTo(u"/v2/projects/proj1/metrics/revenue"_s).first();
    EXPECT_EQ(revenue.rawQuery, "end_date=2026-12-05&revenue_type=revenue&start_date=2026-12-05");
    EXPECT_EQ(revenue.headers.value("authorization"), "Bearer sk_key");
    EXPECT_FALSE(revenue.headers.contains("stripe-version"));
    poll(watcher, 129.99, 3);
    EXPECT_THAT(delivered, ElementsAre(sale(u"New subscriber!"_s, 29.99, 129.99)));
    EXPECT_EQ(settings.get(Preferences::rcRevenue), 129.99);
    EXPECT_EQ(settings.get(Preferences::rcSubs), 3);
    poll(watcher, 140, 5);
    poll(watcher, 150, 5);
    poll(watcher, 150.01, 4);
    poll(watcher, 150.019, 4); // under a hundredth: no show, but the baseline moves
    poll(watcher, 120, 4);     // a refund lowers it silently
    EXPECT_THAT(headlines(), ElementsAre("New subscriber!", "2 new subscribers!", "New revenue!", "New revenue!"));
    EXPECT_EQ(settings.get(Preferences::rcRevenue), 120);
    EXPECT_EQ(RevenueCatMetrics::headline(1e20), u"100000000000000000000 new subscribers!"_s) << "no integer overflow";
    // The first poll of a new day closes yesterday (told as yesterday's), then compares today with
    // zero; an older or missing baseline is retaken silently.
    delivered.clear();
    auto turned = connected(u"2026-12-04"_s, 80, 1);
    revenueByDay[u"2026-12-04"_s] = 95;
    currency.reset();
    poll(*turned, 12, 1);
    EXPECT_THAT(delivered,
        ElementsAre(
            sale(u"New revenue!"_s, 15, 95, u"USD"_s, u"yesterday"_s), sale(u"New revenue!"_s, 12, 12, u"USD"_s)));
    EXPECT_EQ(settings.get(Preferences::rcDay), today);
    for (const QString& day : {u"2026-12-01"_s, QString()}) {
        delivered.clear();
        auto retaken = connected(day, 1, 1);
        if (day.isEmpty())
            settings.remove(Preferences::rcDay);
        poll(*retaken, 500, 9);
        EXPECT_THAT(delivered, testing::IsEmpty());
        EXPECT_EQ(settings.get(Preferences::rcDay), today);
        EXPECT_EQ(settings.get(Preferences::rcRevenue), 500);
        EXPECT_EQ(settings.get(Preferences::rcSubs), 9);
        EXPECT_EQ(retaken->state(), WatchState::watching());
    }
}

// Refusals are explained in connect and in polls; broken answers lose no revenue and repeat none.
TEST_F(RevenueCatWatcherTest, FailedRequestsKeepThePreviousKeyAndTheBaseline)
{
    ShortTransferTimeout timeout;
    const QString rejected
        = u"RevenueCat didn't accept this key. Check it's a V2 secret key that hasn't been deleted."_s;
    const QString notFound = u"RevenueCat can't find that project ID."_s;
    const QString slowDown = u"RevenueCat is rate-limiting this key. Bonkbell will slow down and retry."_s;
    // What connect says without a project id, and with one (as polls do).
    const QString forbidden = u"This key needs the \"Charts & metrics → overview: Read\" permission."_s;
    const auto answer = [](const char* name) { return QJsonDocument(published(QString::fromLatin1(name))).toJson(); };
    const std::tuple<int, QByteArray, QString, QString> refusals[] = {
        {401, R"({"object":"error","type":"authentication_error","message":"Invalid API key"})", rejected, rejected},
        {403, answer("error403"),
            u"This key can't list projects. Enter your project ID instead (from the dashboard address)."_s, forbidden},
        {404, "{}", notFound, notFound},
        {429, answer("error429"), slowDown, slowDown},
        {500, R"({"message":"Internal"})", u"RevenueCat said: Internal"_s, u"RevenueCat said: Internal"_s},
        {502, "<html><body>Bad Gateway</body></html>", u"RevenueCat said: HTTP 502"_s, u"RevenueCat said: HTTP 502"_s},
    };
    auto watcher = connected(today, 100, 2);
    revenueByDay[today] = 100;
    activeSubscriptions = 2;
    for (const auto& [status, body, forProjectList, forMetrics] : refusals) {
        SCOPED_TRACE(status);
        server.route(u"/v2/projects"_s, status, body);
        EXPECT_EQ(run(watcher->connect(u"sk_new"_s, u" \u00a0"_s)), forProjectList);
        server.route(u"/v2/projects/proj1/metrics/overview"_s, [&](const auto&) {
            return LoopbackServer::Response{status, body, 0, false, "Retry-After: 120\r\n"};
        });
        EXPECT_EQ(run(watcher->connect(u"sk_new"_s, u"proj1"_s)), forMetrics);
        serveProjects();
        EXPECT_EQ(run(watcher->connect(u"sk_new"_s, {})), forMetrics) << "the project list was read";
        EXPECT_EQ(watcher->state(), WatchState::watching()) << "the previous key goes on";
        run(watcher->pollNow());
        // Asked to slow down, it waits what was asked and stays watching; other refusals show.
        const bool throttled = status == 429;
        EXPECT_EQ(watcher->state(), throttled ? WatchState::watching() : WatchState::problem(forMetrics));
        EXPECT_EQ(watcher->interval(), throttled ? 120 : 300);
        serveMetrics();
    }
    // An answer without a number where one belongs is told as what it is, at once and logged once, never
    // as an outage nor as zero; no usable answer is an outage. Nothing is announced, nothing lowered.
    const QString unreadRevenue = u"RevenueCat sent a revenue figure Bonkbell can't read."_s;
    const QString unreadCount = u"RevenueCat sent a subscription count Bonkbell can't read."_s;
    const auto answer200 = [](const QJsonObject& body) {
        return LoopbackServer::Response{200, QJsonDocument(body).toJson()};
    };
    QJsonObject noValue = revenueAnswer(today), textValue = noValue;
    noValue.remove("value"_L1);
    textValue.insert("value"_L1, u"129.99"_s);
    QList<std::tuple<QString, BrokenAnswer, bool>> outages{
        {u"revenue"_s, {"no value", answer200(noValue), unreadRevenue}, true},
        {u"revenue"_s, {"value as text", answer200(textValue), unreadRevenue}, true},
        {u"overview"_s, {"no active subscriptions", answer200(overviewAnswer(QJsonValue::Undefined)), unreadCount},
            true},
        {u"overview"_s, {"null active subscriptions", answer200(overviewAnswer(QJsonValue::Null)), unreadCount}, true}};
    for (const BrokenAnswer& broken : brokenAnswers())
        outages << std::tuple(u"revenue"_s, broken, false) << std::tuple(u"overview"_s, broken, false);
    TestEnvironment::takeLogMessages();
    for (const auto& [metric, broken, unread] : std::as_const(outages)) {
        SCOPED_TRACE(broken.name);
        revenueByDay[today] += 10; // sales go on during the outage
        activeSubscriptions += 1;
        serveMetrics();
        server.route(u"/v2/projects/proj1/metrics/"_s + metric, [&](const auto&) { return broken.response; });
        const QString message = run(watcher->connect(u"sk_new"_s, u"proj1"_s)).value_or(QString());
        EXPECT_TRUE(unread
                ? message == broken.description
                : message.startsWith(u"Couldn't reach RevenueCat: "_s) && message.endsWith(broken.description))
            << message.toStdString();
        run(watcher->pollNow());
        EXPECT_TRUE(!unread || watcher->state() == WatchState::problem(broken.description));
    }
    EXPECT_EQ(TestEnvironment::takeLogMessages().mid(0, 2),
        QStringList({u"RevenueCat: "_s + unreadRevenue, u"RevenueCat: "_s + unreadCount}));
    EXPECT_EQ(watcher->state(), WatchState::problem(u"Can't reach RevenueCat right now. Retrying."_s));
    serveMetrics();
    run(watcher->pollNow());
    run(watcher->pollNow());
    const double growth = 10.0 * outages.size();
    EXPECT_THAT(delivered, ElementsAre(sale(u"%1 new subscribers!"_s.arg(outages.size()), growth, 100 + growth)))
        << "no failed poll announced anything or moved the baseline";
    EXPECT_EQ(watcher->state(), WatchState::watching());
    EXPECT_EQ(secrets.read(RevenueCatWatcher::keychainAccount()), u"sk_abc"_s);
}

} // namespace
