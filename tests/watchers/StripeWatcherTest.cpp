#include "watchers/StripeCharge.h"
#include "watchers/StripeWatcher.h"

#include "WatcherFixture.h"

#include "money/Money.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

using namespace Qt::StringLiterals;
using TestEnvironment::takeLogMessages;
using testing::ElementsAre;
using testing::IsEmpty;

QJsonObject charge(const QString& id, qint64 amount = 1999, const QString& status = u"succeeded"_s, bool paid = true)
{
    return QJsonObject{{"id"_L1, id}, {"status"_L1, status}, {"paid"_L1, paid}, {"amount"_L1, amount},
        {"currency"_L1, u"usd"_s}, {"livemode"_L1, true}, {"billing_details"_L1, QJsonObject{{"name"_L1, u"Jane "_s + id}}}};
}

// A fake charges endpoint: `charges` newest first, served in pages of `limit` after `starting_after`.
class StripeWatcherTest : public WatcherFixture {
protected:
    QList<QJsonObject> charges;
    QMap<QString, QJsonObject> invoices;

    void SetUp() override
    {
        WatcherFixture::SetUp();
        serveCharges();
        server.route(u"/v1/invoices"_s, 200, R"({"data":[]})");
    }

    void serveCharges()
    {
        server.route(u"/v1/charges"_s, [this](const LoopbackServer::Request& request) {
            const int limit = request.query.value(u"limit"_s).toInt();
            qsizetype start = 0;
            if (request.query.contains(u"starting_after"_s)) {
                while (start < charges.size() && charges[start].value("id"_L1).toString() != request.query.value(u"starting_after"_s))
                    ++start;
                ++start;
            }
            QJsonArray page;
            for (qsizetype i = start; i < charges.size() && page.size() < limit; ++i)
                page.append(charges[i]);
            const bool more = start + page.size() < charges.size();
            return LoopbackServer::Response{200, QJsonDocument(QJsonObject{{"data"_L1, page}, {"has_more"_L1, more}}).toJson()};
        });
    }

    void routeInvoice(const QString& id, const QJsonObject& invoice)
    {
        server.route(u"/v1/invoices/"_s + id, 200, QJsonDocument(invoice).toJson());
    }

    // A watcher that is connected as if `connect` had run at the scheduler's current time.
    std::unique_ptr<StripeWatcher> connected(const QString& key = u"rk_live_abc"_s)
    {
        secrets.save(key, StripeWatcher::keychainAccount());
        settings.set(Preferences::stripeSince, scheduler.now().toSecsSinceEpoch());
        auto watcher = std::make_unique<StripeWatcher>(services(), false);
        collect(*watcher);
        return watcher;
    }

    QStringList seen() const { return settings.get(Preferences::stripeSeen).value_or(QStringList()); }
};

TEST_F(StripeWatcherTest, MalformedKeysAreRefusedBeforeAnyRequest)
{
    StripeWatcher watcher(services(), false);
    EXPECT_EQ(run(watcher.connect(u"sk_live_123"_s)), u"That's a full secret key, which can move money. Bonkbell only "
                                                       u"needs to read, so please create a restricted key instead (it starts with rk_)."_s);
    EXPECT_EQ(run(watcher.connect(u" pk_live_123\n"_s)), u"Stripe restricted keys start with rk_live_ or rk_test_."_s);
    EXPECT_EQ(run(watcher.connect(u"RK_LIVE_123"_s)), u"Stripe restricted keys start with rk_live_ or rk_test_."_s);
    EXPECT_THAT(server.requests, IsEmpty());
    EXPECT_EQ(watcher.state(), WatchState::off());
}

TEST_F(StripeWatcherTest, AKeyThatCannotReadInvoicesIsRefusedAndThePreviousStateReturns)
{
    server.route(u"/v1/invoices"_s, 403, R"({"error":{"message":"restricted"}})");
    StripeWatcher watcher(services(), false);
    EXPECT_EQ(run(watcher.connect(u"rk_test_new"_s)),
        u"This key can't read Invoices. In Stripe, edit the key and set Invoices to Read."_s);
    EXPECT_EQ(watcher.state(), WatchState::off());
    EXPECT_FALSE(secrets.read(StripeWatcher::keychainAccount()));

    auto previous = connected(u"rk_live_old"_s);
    EXPECT_TRUE(run(previous->connect(u"rk_test_new"_s)).has_value());
    EXPECT_EQ(previous->state(), WatchState::watching());
    EXPECT_EQ(secrets.read(StripeWatcher::keychainAccount()), u"rk_live_old"_s);

    server.route(u"/v1/charges"_s, 401, R"({"error":{"message":"Invalid API Key provided"}})");
    EXPECT_EQ(run(watcher.connect(u"rk_live_x"_s)),
        u"Stripe didn't accept this key. It may have been deleted or rolled; create a new restricted key."_s);
    EXPECT_EQ(run(StripeWatcher(WatcherServices{settings, secrets, scheduler, QUrl(u"http://127.0.0.1:1"_s)}, false)
                      .connect(u"rk_live_x"_s))
                  ->left(24), u"Couldn't reach Stripe: C"_s);
}

TEST_F(StripeWatcherTest, ConnectTrimsStoresAndWatchesFromNow)
{
    settings.set(Preferences::stripeSeen, QStringList{u"ch_old"_s});
    StripeWatcher watcher(services(), false);
    EXPECT_EQ(run(watcher.connect(u"  rk_test_abc\r\n"_s)), std::nullopt);
    EXPECT_EQ(secrets.read(StripeWatcher::keychainAccount()), u"rk_test_abc"_s);
    EXPECT_EQ(watcher.key(), u"rk_test_abc"_s);
    EXPECT_TRUE(watcher.isTestMode());
    EXPECT_EQ(settings.get(Preferences::stripeSince), scheduler.now().toSecsSinceEpoch());
    EXPECT_THAT(seen(), IsEmpty());
    EXPECT_THAT(takeLogMessages(), ElementsAre("stripe: connected (test mode)"));

    // The probes, then the first poll, each with the key and the API version.
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return watcher.state() == WatchState::watching(); }));
    QStringList paths;
    for (const auto& request : server.requests) {
        paths.append(request.path);
        EXPECT_EQ(request.headers.value("authorization"), "Bearer rk_test_abc");
        EXPECT_EQ(request.headers.value("stripe-version"), "2024-06-20");
    }
    EXPECT_THAT(paths, ElementsAre("/v1/charges", "/v1/invoices", "/v1/charges"));
    EXPECT_EQ(server.requests[0].query.value(u"limit"_s), u"1"_s);
    EXPECT_EQ(server.requests[2].query, (QMap<QString, QString>{{u"created[gte]"_s, QString::number(scheduler.now().toSecsSinceEpoch())},
                                            {u"limit"_s, u"100"_s}}));

    watcher.disconnect();
    EXPECT_FALSE(secrets.read(StripeWatcher::keychainAccount()));
    EXPECT_EQ(watcher.state(), WatchState::off());
    EXPECT_FALSE(watcher.lastChecked());
    EXPECT_EQ(settings.get(Preferences::stripeSince), scheduler.now().toSecsSinceEpoch()) << "the watermark stays";
}

TEST_F(StripeWatcherTest, NewSucceededPaidChargesAreAnnouncedOnceOldestFirst)
{
    auto watcher = connected();
    charges = {charge(u"ch_3"_s), charge(u"ch_pending"_s, 500, u"pending"_s), charge(u"ch_2"_s),
        charge(u"ch_unpaid"_s, 500, u"succeeded"_s, false), charge(u"ch_1"_s)};
    run(watcher->pollNow());
    EXPECT_THAT(headlines(), ElementsAre("New sale!", "New sale!", "New sale!"));
    EXPECT_EQ(delivered[0].who, u"Jane ch_1"_s);
    EXPECT_EQ(delivered[2].who, u"Jane ch_3"_s);
    EXPECT_EQ(delivered[0].detail, formatMoney(19.99, u"usd"_s));
    EXPECT_THAT(seen(), ElementsAre("ch_1", "ch_2", "ch_3"));
    EXPECT_EQ(watcher->state(), WatchState::watching());

    run(watcher->pollNow());
    EXPECT_EQ(delivered.size(), 3);

    charges[1] = charge(u"ch_pending"_s, 500);   // it succeeded meanwhile
    run(watcher->pollNow());
    ASSERT_EQ(delivered.size(), 4);
    EXPECT_EQ(delivered[3].who, u"Jane ch_pending"_s);
}

TEST_F(StripeWatcherTest, MoreThanOnePageOfNewChargesIsPagedBackAndNoneIsLost)
{
    auto watcher = connected();
    for (int i = 250; i >= 1; --i)
        charges.append(charge(u"ch_%1"_s.arg(i)));
    run(watcher->pollNow());
    ASSERT_EQ(delivered.size(), 250);
    EXPECT_EQ(delivered.first().who, u"Jane ch_1"_s);
    EXPECT_EQ(delivered.last().who, u"Jane ch_250"_s);
    EXPECT_EQ(server.requestsTo(u"/v1/charges"_s).size(), 3);
    EXPECT_EQ(server.requestsTo(u"/v1/charges"_s)[1].query.value(u"starting_after"_s), u"ch_151"_s);

    // Three more: one page, whose oldest charge was already seen, is enough.
    for (int i = 253; i >= 251; --i)
        charges.prepend(charge(u"ch_%1"_s.arg(i)));
    run(watcher->pollNow());
    EXPECT_EQ(delivered.size(), 253);
    EXPECT_EQ(server.requestsTo(u"/v1/charges"_s).size(), 4);
}

TEST_F(StripeWatcherTest, TheSeenListKeepsTheNewestFiveHundred)
{
    auto watcher = connected();
    QStringList stored;
    for (int i = 1; i <= 500; ++i)
        stored.append(u"ch_old%1"_s.arg(i));
    settings.set(Preferences::stripeSeen, stored);
    charges = {charge(u"ch_b"_s), charge(u"ch_a"_s)};
    run(watcher->pollNow());
    const QStringList now = seen();
    ASSERT_EQ(now.size(), 500);
    EXPECT_EQ(now.first(), u"ch_old3"_s);
    EXPECT_EQ(now.mid(498), (QStringList{u"ch_a"_s, u"ch_b"_s}));
}

TEST_F(StripeWatcherTest, InvoicesNameTheReasonTheProductAndTheCustomer)
{
    auto watcher = connected();
    QJsonObject bare = charge(u"ch_4"_s, 500);
    bare.remove("billing_details"_L1);
    bare.insert("currency"_L1, u"jpy"_s);
    bare.insert("invoice"_L1, u"in_4"_s);
    bare.insert("livemode"_L1, false);
    QJsonObject failing = charge(u"ch_5"_s);
    failing.insert("invoice"_L1, u"in_missing"_s);
    failing.insert("description"_L1, u"  Sticker pack \t"_s);
    charges = {failing, bare, charge(u"ch_2"_s), charge(u"ch_1"_s)};
    for (QJsonObject* c : {&charges[2], &charges[3]})
        c->insert("invoice"_L1, u"in_"_s + c->value("id"_L1).toString().mid(3));
    const QJsonObject lines{{"data"_L1, QJsonArray{QJsonObject{{"description"_L1, u"2 × Pro plan (at $9.00 / month)"_s}}}}};
    routeInvoice(u"in_1"_s, {{"billing_reason"_L1, u"subscription_create"_s}, {"lines"_L1, lines}});
    routeInvoice(u"in_2"_s, {{"billing_reason"_L1, u"subscription_cycle"_s}});
    routeInvoice(u"in_4"_s, {{"billing_reason"_L1, u"manual"_s}, {"customer_name"_L1, u" "_s}, {"customer_email"_L1, u"a@b.co"_s}});

    run(watcher->pollNow());
    ASSERT_EQ(delivered.size(), 4);
    EXPECT_EQ(delivered[0].headline, u"New subscriber!"_s);
    EXPECT_EQ(delivered[0].kind, u"sale"_s);
    EXPECT_EQ(delivered[0].detail, formatMoney(19.99, u"usd"_s) + u" · Pro plan"_s);
    EXPECT_EQ(delivered[1].headline, u"Renewal!"_s);
    EXPECT_EQ(delivered[1].kind, u"renewal"_s);
    EXPECT_EQ(delivered[2].headline, u"Invoice paid!"_s);
    EXPECT_EQ(delivered[2].who, u"a@b.co"_s);
    EXPECT_EQ(delivered[2].detail, formatMoney(500, u"jpy"_s));
    EXPECT_TRUE(delivered[2].isTest());
    EXPECT_EQ(delivered[3].headline, u"New sale!"_s) << "a failed invoice request only makes it a plain sale";
    EXPECT_EQ(delivered[3].detail, formatMoney(19.99, u"usd"_s) + u" · Sticker pack"_s);
    EXPECT_FALSE(delivered[3].isTest());
    EXPECT_EQ(watcher->state(), WatchState::watching());
}

TEST_F(StripeWatcherTest, AFailedChargesListAnnouncesNothingAndIsExplained)
{
    auto watcher = connected();
    charges = {charge(u"ch_1"_s)};
    server.route(u"/v1/charges"_s, 403, R"({"error":{"message":"nope"}})");
    run(watcher->pollNow());
    EXPECT_EQ(watcher->state(), WatchState::problem(u"This key can't read Charges. In Stripe, edit the key and set Charges to Read."_s));
    EXPECT_EQ(watcher->interval(), 300);
    EXPECT_THAT(delivered, IsEmpty());
    EXPECT_THAT(seen(), IsEmpty());
    server.route(u"/v1/charges"_s, 400, R"({"error":{"message":"Invalid created[gte]"}})");
    run(watcher->pollNow());
    EXPECT_EQ(watcher->state(), WatchState::problem(u"Stripe said: Invalid created[gte]"_s));
}

TEST_F(StripeWatcherTest, EveryRefusalIsExplainedInConnectAndInPolls)
{
    const auto cannotRead = [](const QString& label) {
        return u"This key can't read "_s + label + u". In Stripe, edit the key and set "_s + label + u" to Read."_s;
    };
    const auto always = [](const QString& text) { return [text](const QString&) { return text; }; };
    const struct {
        int status;
        QByteArray body;
        std::function<QString(const QString& label)> message;
    } refusals[] = {
        {403, R"({"error":{"message":"restricted"}})", cannotRead},
        {401, R"({"error":{"message":"Invalid API Key"}})",
            always(u"Stripe didn't accept this key. It may have been deleted or rolled; create a new restricted key."_s)},
        {402, R"({"error":{"message":"Your account is past due."}})", always(u"Stripe said: Your account is past due."_s)},
        {500, "<html><body>Internal Server Error</body></html>", always(u"Stripe said: HTTP 500"_s)},
        {503, "[]", always(u"Stripe said: HTTP 503"_s)},
    };
    auto watcher = connected(u"rk_live_old"_s);
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(refusal.status);
        server.route(u"/v1/charges"_s, refusal.status, refusal.body);
        EXPECT_EQ(run(watcher->connect(u"rk_live_new"_s)), refusal.message(u"Charges"_s));
        run(watcher->pollNow());
        EXPECT_EQ(watcher->state(), WatchState::problem(refusal.message(u"Charges"_s)));

        serveCharges();
        server.route(u"/v1/invoices"_s, refusal.status, refusal.body);
        EXPECT_EQ(run(watcher->connect(u"rk_live_new"_s)), refusal.message(u"Invoices"_s));
        EXPECT_EQ(watcher->state(), WatchState::watching()) << "the previous key goes on";
        server.route(u"/v1/invoices"_s, 200, R"({"data":[]})");
    }
    EXPECT_EQ(secrets.read(StripeWatcher::keychainAccount()), u"rk_live_old"_s);
}

TEST_F(StripeWatcherTest, BrokenAnswersLoseNoSaleAndRepeatNone)
{
    ShortTransferTimeout timeout;
    auto watcher = connected(u"rk_live_old"_s);
    for (const BrokenAnswer& broken : brokenAnswers()) {
        SCOPED_TRACE(broken.name);
        charges.prepend(charge(u"ch_%1"_s.arg(charges.size() + 1))); // sales go on during the outage
        server.route(u"/v1/charges"_s, [&](const auto&) { return broken.response; });
        const std::optional<QString> message = run(watcher->connect(u"rk_live_new"_s));
        EXPECT_TRUE(message->startsWith(u"Couldn't reach Stripe: "_s) && message->endsWith(broken.description)) << message->toStdString();
        run(watcher->pollNow());
        EXPECT_THAT(delivered, IsEmpty());
    }
    EXPECT_EQ(watcher->state(), WatchState::problem(u"Can't reach Stripe right now. Retrying."_s));
    EXPECT_EQ(secrets.read(StripeWatcher::keychainAccount()), u"rk_live_old"_s);

    // Back to normal, except that every invoice answer is broken: each sale is still told once.
    serveCharges();
    const QList<BrokenAnswer> broken = brokenAnswers();
    for (qsizetype i = 0; i < charges.size(); ++i) {
        charges[i].insert("invoice"_L1, u"in_%1"_s.arg(i));
        server.route(u"/v1/invoices/in_%1"_s.arg(i), [response = broken[i].response](const auto&) { return response; });
    }
    run(watcher->pollNow());
    run(watcher->pollNow());
    EXPECT_EQ(watcher->state(), WatchState::watching());
    ASSERT_EQ(delivered.size(), broken.size());
    for (qsizetype i = 0; i < delivered.size(); ++i) {
        EXPECT_EQ(delivered[i].who, u"Jane ch_%1"_s.arg(i + 1)) << "oldest first";
        EXPECT_EQ(delivered[i].headline, u"New sale!"_s);
    }
}

TEST(StripeCharge, AmountsUseTheCurrencysMinorUnit)
{
    const auto detail = [](qint64 amount, const char* currency) {
        QJsonObject c = charge(u"ch"_s, amount);
        c.insert("currency"_L1, QString::fromLatin1(currency));
        return StripeCharge::describe(c, std::nullopt, QDateTime::currentDateTimeUtc()).detail;
    };
    EXPECT_EQ(detail(1999, "usd"), formatMoney(19.99, u"usd"_s));
    EXPECT_EQ(detail(500, "jpy"), formatMoney(500, u"jpy"_s));
    EXPECT_EQ(detail(1500, "kwd"), formatMoney(1.5, u"kwd"_s));
}

TEST(StripeCharge, ProductNamesLoseQuantityAndPriceNotes)
{
    EXPECT_EQ(StripeCharge::productName(u"2 × Pro plan (at $9.00 / month)"_s), u"Pro plan"_s);
    EXPECT_EQ(StripeCharge::productName(u"Pro plan"_s), u"Pro plan"_s);
    EXPECT_EQ(StripeCharge::productName(u"2 x Pro (annual)"_s), u"2 x Pro (annual)"_s);
}

TEST(StripeCharge, WhoFallsBackToACustomer)
{
    QJsonObject c = charge(u"ch"_s);
    c.insert("billing_details"_L1, QJsonObject{{"name"_L1, u"  "_s}, {"email"_L1, QJsonValue()}});
    EXPECT_EQ(StripeCharge::describe(c, std::nullopt, {}).who, u"A customer"_s);
    c.insert("receipt_email"_L1, u"r@x.io"_s);
    EXPECT_EQ(StripeCharge::describe(c, std::nullopt, {}).who, u"r@x.io"_s);
    c.remove("livemode"_L1);
    EXPECT_FALSE(StripeCharge::describe(c, std::nullopt, {}).isTest());
}

} // namespace
