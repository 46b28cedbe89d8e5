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

    void SetUp() override
    {
        WatcherFixture::SetUp();
        serveCharges();
        server.route(u"/v1/invoices"_s, 200, R"({"data":[]})");
    }

    void serveCharges()
    {
        server.route(u"/v1/charges"_s, [this](const LoopbackServer::Request& request) {
            const auto after = std::find_if(charges.begin(), charges.end(),
                [&](const QJsonObject& c) { return c.value("id"_L1).toString() == request.query.value(u"starting_after"_s); });
            const qsizetype start = after == charges.end() ? 0 : after - charges.begin() + 1;
            QJsonArray page;
            for (const QJsonObject& c : charges.mid(start, request.query.value(u"limit"_s).toInt()))
                page.append(c);
            const bool more = start + page.size() < charges.size();
            return LoopbackServer::Response{200, QJsonDocument(QJsonObject{{"data"_L1, page}, {"has_more"_L1, more}}).toJson()};
        });
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

TEST_F(StripeWatcherTest, ConnectRefusesMalformedKeysUnaskedThenTrimsStoresAndWatchesFromNow)
{
    settings.set(Preferences::stripeSeen, QStringList{u"ch_old"_s});
    StripeWatcher watcher(services(), false);
    EXPECT_EQ(run(watcher.connect(u"sk_live_123"_s)), u"That's a full secret key, which can move money. Bonkbell only "
                                                       u"needs to read, so please create a restricted key instead (it starts with rk_)."_s);
    for (const QString& key : {u" pk_live_123\n"_s, u"RK_LIVE_123"_s})
        EXPECT_EQ(run(watcher.connect(key)), u"Stripe restricted keys start with rk_live_ or rk_test_."_s);
    EXPECT_THAT(server.requests, IsEmpty());
    EXPECT_EQ(watcher.state(), WatchState::off());

    EXPECT_EQ(run(watcher.connect(u"  rk_test_abc\r\n"_s)), std::nullopt);
    EXPECT_EQ(secrets.read(StripeWatcher::keychainAccount()), u"rk_test_abc"_s);
    EXPECT_TRUE(watcher.isTestMode());
    const QString now = QString::number(scheduler.now().toSecsSinceEpoch());
    EXPECT_EQ(settings.get(Preferences::stripeSince), now.toLongLong());
    EXPECT_THAT(seen(), IsEmpty());
    EXPECT_THAT(takeLogMessages(), ElementsAre("stripe: connected (test mode)"));

    // The probes, then the first poll, each with the key and the API version.
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return watcher.state() == WatchState::watching(); }));
    QStringList requests;
    for (const auto& request : server.requests) {
        requests.append(request.path + u'?' + QString::fromLatin1(request.rawQuery));
        EXPECT_EQ(request.headers.value("authorization"), "Bearer rk_test_abc");
        EXPECT_EQ(request.headers.value("stripe-version"), "2024-06-20");
    }
    EXPECT_THAT(requests, ElementsAre("/v1/charges?limit=1", "/v1/invoices?limit=1", "/v1/charges?created%5Bgte%5D=" + now + "&limit=100"));

    watcher.disconnect();
    EXPECT_FALSE(secrets.read(StripeWatcher::keychainAccount()));
    EXPECT_EQ(watcher.state(), WatchState::off());
    EXPECT_FALSE(watcher.lastChecked());
    EXPECT_EQ(settings.get(Preferences::stripeSince), now.toLongLong()) << "the watermark stays";
}

TEST_F(StripeWatcherTest, MoreThanOnePageOfNewChargesIsPagedBackAndTheSeenListKeepsTheNewest500)
{
    auto watcher = connected();
    for (int i = 250; i >= 1; --i)
        charges.append(charge(u"ch_%1"_s.arg(i)));
    run(watcher->pollNow());
    ASSERT_EQ(delivered.size(), 250);
    EXPECT_EQ(customers().first(), u"Jane ch_1"_s);
    EXPECT_EQ(customers().last(), u"Jane ch_250"_s);
    const auto pages = server.requestsTo(u"/v1/charges"_s);
    ASSERT_EQ(pages.size(), 3);
    EXPECT_EQ(pages[1].query.value(u"starting_after"_s), u"ch_151"_s);

    // Three more: one page, whose oldest charge was already seen, is enough.
    for (int i = 253; i >= 251; --i)
        charges.prepend(charge(u"ch_%1"_s.arg(i)));
    run(watcher->pollNow());
    EXPECT_EQ(delivered.size(), 253);
    EXPECT_EQ(server.requestsTo(u"/v1/charges"_s).size(), 4);

    QStringList stored;
    for (int i = 1; i <= 500; ++i)
        stored.append(u"ch_old%1"_s.arg(i));
    settings.set(Preferences::stripeSeen, stored);
    charges = {charge(u"ch_b"_s), charge(u"ch_a"_s)};
    run(watcher->pollNow());
    EXPECT_EQ(seen(), (stored.mid(2) + QStringList{u"ch_a"_s, u"ch_b"_s}));
}

TEST_F(StripeWatcherTest, NewSucceededPaidChargesAreAnnouncedOnceOldestFirstWithWhatTheirInvoicesTell)
{
    auto watcher = connected();
    QJsonObject bare = charge(u"ch_4"_s, 500);
    bare.remove("billing_details"_L1);
    bare.insert("currency"_L1, u"jpy"_s);
    bare.insert("livemode"_L1, false);
    QJsonObject failing = charge(u"ch_5"_s);
    failing.insert("description"_L1, u"  Sticker pack \t"_s);
    charges = {failing, charge(u"ch_pending"_s, 500, u"pending"_s), bare, charge(u"ch_unpaid"_s, 500, u"succeeded"_s, false),
        charge(u"ch_2"_s), charge(u"ch_1"_s)};
    for (QJsonObject& c : charges)
        c.insert("invoice"_L1, u"in_"_s + c.value("id"_L1).toString().mid(3));
    const QJsonObject lines{{"data"_L1, QJsonArray{QJsonObject{{"description"_L1, u"2 × Pro plan (at $9.00 / month)"_s}}}}};
    const QJsonObject invoices[] = {{{"billing_reason"_L1, u"subscription_create"_s}, {"lines"_L1, lines}},
        {{"billing_reason"_L1, u"subscription_cycle"_s}}, {},
        {{"billing_reason"_L1, u"manual"_s}, {"customer_name"_L1, u" "_s}, {"customer_email"_L1, u"a@b.co"_s}}};
    for (int i : {0, 1, 3})
        server.route(u"/v1/invoices/in_%1"_s.arg(i + 1), 200, QJsonDocument(invoices[i]).toJson());
    run(watcher->pollNow());
    run(watcher->pollNow());
    const QDateTime at = scheduler.now();
    const QString usd = formatMoney(19.99, u"usd"_s);
    EXPECT_THAT(delivered, ElementsAre(MonkeyEvent::now(u"sale"_s, u"New subscriber!"_s, u"Jane ch_1"_s, usd + u" · Pro plan"_s, false, at),
        MonkeyEvent::now(u"renewal"_s, u"Renewal!"_s, u"Jane ch_2"_s, usd, false, at),
        MonkeyEvent::now(u"sale"_s, u"Invoice paid!"_s, u"a@b.co"_s, formatMoney(500, u"jpy"_s), true, at),
        // A failed invoice request only makes it a plain sale.
        MonkeyEvent::now(u"sale"_s, u"New sale!"_s, u"Jane ch_5"_s, usd + u" · Sticker pack"_s, false, at)));
    EXPECT_THAT(seen(), ElementsAre("ch_1", "ch_2", "ch_4", "ch_5"));
    charges[1] = charge(u"ch_pending"_s, 500); // it succeeded meanwhile
    run(watcher->pollNow());
    EXPECT_EQ(customers().mid(4), QStringList{u"Jane ch_pending"_s});
}

// Refusals are explained in connect and in polls; broken answers lose no sale and repeat none.
TEST_F(StripeWatcherTest, FailedRequestsKeepThePreviousKeyAndLoseNoSale)
{
    ShortTransferTimeout timeout;
    const auto cannotRead = [](const QString& label) { return StripeCharge::explain(APIError{403, {}}, label); };
    auto watcher = connected(u"rk_live_old"_s);
    server.route(u"/v1/invoices"_s, 403, "{}");
    EXPECT_EQ(run(watcher->connect(u"rk_live_new"_s)), cannotRead(u"Invoices"_s));
    EXPECT_EQ(watcher->state(), WatchState::watching());
    server.route(u"/v1/charges"_s, 403, R"({"error":{"message":"restricted"}})");
    EXPECT_EQ(run(watcher->connect(u"rk_live_new"_s)), cannotRead(u"Charges"_s));
    run(watcher->pollNow());
    EXPECT_EQ(watcher->state(), WatchState::problem(cannotRead(u"Charges"_s)));

    const QList<BrokenAnswer> broken = brokenAnswers();
    for (const BrokenAnswer& answer : broken) {
        SCOPED_TRACE(answer.name);
        charges.prepend(charge(u"ch_%1"_s.arg(charges.size() + 1))); // sales go on during the outage
        server.route(u"/v1/charges"_s, [&](const auto&) { return answer.response; });
        EXPECT_EQ(run(watcher->connect(u"rk_live_new"_s))->left(23), u"Couldn't reach Stripe: "_s);
        run(watcher->pollNow());
    }
    EXPECT_THAT(delivered, IsEmpty());
    EXPECT_EQ(watcher->state(), WatchState::problem(u"Can't reach Stripe right now. Retrying."_s));
    EXPECT_EQ(secrets.read(StripeWatcher::keychainAccount()), u"rk_live_old"_s);

    // Back to normal, except that every invoice answer is broken: each sale is still told once.
    serveCharges();
    for (qsizetype i = 0; i < charges.size(); ++i) {
        charges[i].insert("invoice"_L1, u"in_%1"_s.arg(i));
        server.route(u"/v1/invoices/in_%1"_s.arg(i), [response = broken[i].response](const auto&) { return response; });
    }
    run(watcher->pollNow());
    run(watcher->pollNow());
    EXPECT_EQ(watcher->state(), WatchState::watching());
    EXPECT_EQ(headlines(), QStringList(broken.size(), u"New sale!"_s));
    EXPECT_THAT(customers(), ElementsAre("Jane ch_1", "Jane ch_2", "Jane ch_3", "Jane ch_4", "Jane ch_5", "Jane ch_6"));

    // Without a previous key a refused connect leaves the watcher off.
    secrets.remove(StripeWatcher::keychainAccount());
    StripeWatcher fresh(services(), false);
    EXPECT_EQ(run(fresh.connect(u"rk_test_new"_s)), cannotRead(u"Invoices"_s));
    EXPECT_EQ(fresh.state(), WatchState::off());
    EXPECT_FALSE(secrets.read(StripeWatcher::keychainAccount()));
}

TEST(StripeCharge, RefusalsAmountsProductNamesAndCustomers)
{
    EXPECT_EQ(StripeCharge::explain(APIError{403, u"restricted"_s}, u"Invoices"_s),
        u"This key can't read Invoices. In Stripe, edit the key and set Invoices to Read."_s);
    EXPECT_EQ(StripeCharge::explain(APIError{401, u"Invalid API Key"_s}, u"Charges"_s),
        u"Stripe didn't accept this key. It may have been deleted or rolled; create a new restricted key."_s);
    EXPECT_EQ(StripeCharge::explain(APIError{402, u"Your account is past due."_s}, u"Charges"_s), u"Stripe said: Your account is past due."_s);

    for (const auto& [amount, currency, value] : {std::tuple(1999, "usd", 19.99), {500, "jpy", 500}, {1500, "kwd", 1.5}}) {
        QJsonObject c = charge(u"ch"_s, amount);
        c.insert("currency"_L1, QString::fromLatin1(currency));
        EXPECT_EQ(StripeCharge::describe(c, std::nullopt, {}).detail, formatMoney(value, QString::fromLatin1(currency)));
    }
    for (const auto& [line, product] : {std::pair(u"2 × Pro plan (at $9.00 / month)"_s, u"Pro plan"_s), {u"Pro plan"_s, u"Pro plan"_s},
             {u"2 x Pro (annual)"_s, u"2 x Pro (annual)"_s}})
        EXPECT_EQ(StripeCharge::productName(line), product);

    QJsonObject c = charge(u"ch"_s);
    c.insert("billing_details"_L1, QJsonObject{{"name"_L1, u"  "_s}, {"email"_L1, QJsonValue()}});
    EXPECT_EQ(StripeCharge::describe(c, std::nullopt, {}).who, u"A customer"_s);
    c.insert("receipt_email"_L1, u"r@x.io"_s);
    EXPECT_EQ(StripeCharge::describe(c, std::nullopt, {}).who, u"r@x.io"_s);
    c.remove("livemode"_L1);
    EXPECT_FALSE(StripeCharge::describe(c, std::nullopt, {}).isTest());
}

} // namespace
