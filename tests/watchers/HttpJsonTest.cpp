#include "WatcherFixture.h"

namespace {

using namespace Qt::StringLiterals;

RequestResult<QJsonObject> fetch(const QUrl& base, const QString& path, const StringMap& headers = {})
{
    return QCoro::waitFor(getJSON(base, path, {}, headers));
}

TEST(HttpJson, BuildsOneSlashAndASortedEncodedQuery)
{
    const StringMap query{{u"limit"_s, u"100"_s}, {u"created[gte]"_s, u"1733381649"_s}, {u"q"_s, u"a b&c=d"_s}};
    for (const QString& base : {u"http://h/api"_s, u"http://h/api/"_s})
        for (const QString& path : {u"v1/charges"_s, u"/v1/charges"_s})
            EXPECT_EQ(HttpJson::requestUrl(QUrl(base), path, query).toString(QUrl::FullyEncoded),
                u"http://h/api/v1/charges?created%5Bgte%5D=1733381649&limit=100&q=a%20b%26c%3Dd"_s);
    // A path cannot smuggle in a query or a fragment.
    EXPECT_EQ(HttpJson::requestUrl(QUrl(u"http://h"_s), u"v1/invoices/in_1?x=1#y"_s, {}).toString(QUrl::FullyEncoded),
        u"http://h/v1/invoices/in_1%3Fx%3D1%23y"_s);
}

TEST(HttpJson, FailuresAreRefusalsInTheServicesOwnWordsOrTransportErrorsAndForeignRedirectsAreNotFollowed)
{
    LoopbackServer server, elsewhere;
    const std::tuple<int, QByteArray, QString> refusals[] = {
        {402, R"({"error":{"message":"Your card was \u202edeclined."},"message":"outer"})",
            u"Your card was declined."_s},
        {429, R"({"message":"Slow down."})", u"Slow down."_s},
        {500, "<html><body>Oops</body></html>", u"HTTP 500"_s},
        {400, R"({"error":"just a string"})", u"HTTP 400"_s},
    };
    for (const auto& [status, body, message] : refusals) {
        server.route(u"/x"_s, status, body);
        const auto refused = std::get<APIError>(fetch(server.base(), u"x"_s).error());
        EXPECT_EQ(std::pair(refused.status, refused.message), std::pair(status, message));
    }
    // How long a refusal asks to wait: the header's seconds or date, or the body's backoff_ms.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const std::tuple<QByteArray, QByteArray, std::optional<double>> waits[] = {
        {"1", "{}", 1},
        {" 120 ", R"({"backoff_ms":1000})", 120},
        {"", R"({"backoff_ms":1500})", 1.5},
        {QLocale::c().toString(now.addSecs(30), u"ddd, dd MMM yyyy hh:mm:ss 'GMT'"_s).toLatin1(), "{}", 30},
        {"soon", "{}", std::nullopt},
        {"-5", "{}", std::nullopt},
    };
    for (const auto& [header, body, wait] : waits) {
        server.route(u"/x"_s, [&](const auto&) {
            return LoopbackServer::Response{429, body, 0, false, "Retry-After: " + header + "\r\n"};
        });
        const auto refused = std::get<APIError>(fetch(server.base(), u"x"_s).error());
        EXPECT_NEAR(refused.retryAfterSeconds.value_or(-1), wait.value_or(-1), 1) << header.constData();
    }
    EXPECT_EQ(HttpJson::retryAfter(
                  "Wed, 21 Oct 2015 07:28:00 GMT", {}, QDateTime(QDate(2015, 10, 21), QTime(7, 27), Qt::UTC)),
        60);
    // No answer is a transport error in the network's words (the watchers' tests serve the broken answers).
    const auto refused = fetch(QUrl(u"http://127.0.0.1:1"_s), u"x"_s);
    EXPECT_FALSE(std::get<TransportError>(refused.error()).description.isEmpty());
    // The key travels in a header: a redirect to another origin must not take it there.
    server.route(u"/moved"_s, [&](const auto&) {
        return LoopbackServer::Response{
            302, "{}", 0, false, "Location: " + elsewhere.base().toEncoded() + "/stolen\r\n"};
    });
    EXPECT_FALSE(fetch(server.base(), u"moved"_s, {{u"Authorization"_s, u"Bearer rk_live_secret"_s}}).ok());
    EXPECT_TRUE(elsewhere.requests.isEmpty());
}

} // namespace
