#include "watchers/StripeWatcher.h"
#include "WatcherFixture.h"
#include "common/StripeStandIn.h"
#include "money/Money.h"
#include "watchers/StripeCharge.h"
#include "watchers/UnsettledCharges.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QTest>

namespace {

using namespace Qt::StringLiterals;
using testing::ElementsAre;
using testing::IsEmpty;
using namespace StripeAnswers;

class StripeWatcherTest : public WatcherFixture {
protected:
    StripeStandIn stripe{server};
    QList<QJsonObject>& charges = stripe.charges;
    qint64 clock = scheduler.now().toSecsSinceEpoch();
    // A new charge, created a second after the one before.
    void add(const QString& id, const QJsonObject& changes = {}) { charges.prepend(charge(id, ++clock, changes)); }
    QJsonObject& find(const QString& id)
    {
        return *std::ranges::find_if(charges, [&](const QJsonObject& c) { return c.value("id"_L1) == id; });
    }
    // A watcher that is connected as if `connect` had run at the scheduler's current time.
    std::unique_ptr<StripeWatcher> connected(const QString& key = u"rk_live_abc"_s, bool autostart = false)
    {
        secrets.save(key, StripeWatcher::keychainAccount());
        settings.set(Preferences::stripeSince, scheduler.now().toSecsSinceEpoch());
        auto watcher = std::make_unique<StripeWatcher>(services(), autostart);
        collect(*watcher);
        return watcher;
    }
    // The ids written down as announced, in the order they were.
    QStringList seen() const
    {
        QStringList ids;
        for (const QString& line : QString::fromUtf8(TestEnvironment::readFile(StripeWatcher::seenFile(dir.path())))
                                       .split(u'\n', Qt::SkipEmptyParts))
            ids.append(line.section(u' ', 1));
        return ids;
    }
};

TEST_F(StripeWatcherTest, ConnectRefusesMalformedKeysUnaskedThenTrimsStoresAndWatchesFromNow)
{
    settings.set(Preferences::stripeSeen, QStringList{u"ch_old"_s});
    settings.set(Preferences::stripeListedUntil, qint64(1));
    settings.set(Preferences::stripeUnsettled, QStringList{u"ch_old 1 1"_s});
    StripeWatcher watcher(services());
    EXPECT_EQ(run(watcher.connect(u"sk_live_123"_s)),
        u"That's a full secret key, which can move money. Bonkbell only "
        u"needs to read, so please create a restricted key instead (it starts with rk_)."_s);
    for (const QString& key : {u" pk_live_123\n"_s, u"RK_LIVE_123"_s})
        EXPECT_EQ(run(watcher.connect(key)), u"Stripe restricted keys start with rk_live_ or rk_test_."_s);
    EXPECT_THAT(server.requests, IsEmpty());
    EXPECT_EQ(watcher.state(), WatchState::off());
    // A good key the secret store refuses: the store's reason, and still off.
    secrets.refusal = u"the keyring is locked"_s;
    EXPECT_EQ(
        run(watcher.connect(u"rk_test_abc"_s)), u"Couldn't save the key to your keyring: the keyring is locked."_s);
    EXPECT_EQ(watcher.state(), WatchState::off());
    EXPECT_FALSE(watcher.isConnected());
    secrets.refusal.reset();
    server.requests.clear();
    EXPECT_EQ(run(watcher.connect(u"  rk_test_abc\r\n"_s)), std::nullopt);
    EXPECT_EQ(secrets.read(StripeWatcher::keychainAccount()), u"rk_test_abc"_s);
    EXPECT_TRUE(watcher.isTestMode());
    const QString now = QString::number(scheduler.now().toSecsSinceEpoch());
    EXPECT_EQ(settings.get(Preferences::stripeSince), now.toLongLong());
    EXPECT_THAT(seen(), IsEmpty());
    EXPECT_EQ(settings.get(Preferences::stripeListedUntil), 0);
    EXPECT_THAT(settings.get(Preferences::stripeUnsettled).value(), IsEmpty());
    EXPECT_THAT(TestEnvironment::takeLogMessages(), ElementsAre("stripe: connected (test mode)"));
    // The probes, then the first poll, each with the key and the API version.
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return watcher.state() == WatchState::watching(); }));
    QStringList requests;
    for (const auto& request : server.requests) {
        requests.append(request.path + u'?' + QString::fromLatin1(request.rawQuery));
        EXPECT_EQ(request.headers.value("authorization"), "Bearer rk_test_abc");
        EXPECT_EQ(request.headers.value("stripe-version"), "2024-06-20");
    }
    EXPECT_THAT(requests,
        ElementsAre(
            "/v1/charges?limit=1", "/v1/invoices?limit=1", "/v1/charges?created%5Bgte%5D=" + now + "&limit=100"));
    watcher.disconnect();
    EXPECT_FALSE(secrets.read(StripeWatcher::keychainAccount()));
    EXPECT_EQ(watcher.state(), WatchState::off());
    EXPECT_FALSE(watcher.lastChecked());
    EXPECT_EQ(settings.get(Preferences::stripeSince), now.toLongLong()) << "the watermark stays";
}

// Watching starts at the service's now, whatever this computer's clock says; ids an earlier
// version kept in the preferences move to the state folder and are still never announced again.
TEST_F(StripeWatcherTest, WatchingStartsByTheServicesClockAndEarlierSeenIdsCarryOver)
{
    for (const qint64 off : {3600, -3600}) {
        server.now = [this, off] { return scheduler.now().addSecs(off); };
        StripeWatcher watcher(services(), false);
        EXPECT_EQ(run(watcher.connect(u"rk_live_abc"_s)), std::nullopt);
        EXPECT_EQ(settings.get(Preferences::stripeSince), scheduler.now().toSecsSinceEpoch() + off);
    }
    settings.set(Preferences::stripeSeen, QStringList{u"ch_1"_s, u"ch_2"_s});
    settings.set(Preferences::stripeListedUntil, clock + 2);
    for (const char* id : {"ch_1", "ch_2", "ch_3"})
        add(QString::fromLatin1(id));
    auto watcher = connected();
    run(watcher->pollNow());
    EXPECT_THAT(customers(), ElementsAre("Jane ch_3"));
    EXPECT_FALSE(settings.get(Preferences::stripeSeen));
    EXPECT_THAT(seen(), ElementsAre("ch_1", "ch_2", "ch_3"));
}

// Ten thousand sales in one second: more than a page, more than any list of the last few
// hundred holds. Each is announced once, however often the overlap lists them again, also after a
// restart; ids are kept only while a listing can show them again.
TEST_F(StripeWatcherTest, EveryChargeTheOverlapCanListAgainIsRememberedSoNoneIsAnnouncedTwice)
{
    auto watcher = connected();
    ++clock;
    for (int i = 1; i <= 10000; ++i)
        charges.prepend(charge(u"ch_%1"_s.arg(i), clock,
            i % 100 == 1 ? QJsonObject{{"status"_L1, u"failed"_s}, {"paid"_L1, false}} : QJsonObject()));
    charges.prepend(charge(u"ch_future"_s, clock + 10 * 365 * 86400)); // a clock gone wrong must not hide what comes
    run(watcher->pollNow());
    ASSERT_EQ(delivered.size(), 9901);
    EXPECT_EQ(customers().first(), u"Jane ch_2"_s);
    EXPECT_EQ(customers().last(), u"Jane ch_future"_s);
    auto pages = server.requestsTo(u"/v1/charges"_s);
    ASSERT_EQ(pages.size(), 101);
    EXPECT_EQ(pages[1].query.value(u"starting_after"_s), u"ch_9902"_s);
    StripeWatcher restarted(services(), false);
    collect(restarted);
    run(restarted.pollNow());
    EXPECT_EQ(delivered.size(), 9901);
    EXPECT_EQ(server.requestsTo(u"/v1/charges"_s).size(), 202) << "listed again, all of them";
    EXPECT_EQ(seen().size(), 9901);
    // Once newer charges move the listing past them, they are forgotten, the file too.
    clock += StripeWatcher::listingOverlapSeconds + 1;
    charges.clear();
    add(u"ch_a"_s);
    run(restarted.pollNow());
    add(u"ch_b"_s);
    run(restarted.pollNow());
    EXPECT_THAT(customers().mid(9901), ElementsAre("Jane ch_a", "Jane ch_b"));
    EXPECT_THAT(seen(), testing::UnorderedElementsAre("ch_future", "ch_a", "ch_b"));
}

// Announced is what the merchant keeps; the headline and product come from the invoice.
TEST_F(StripeWatcherTest, CapturedMoneyIsAnnouncedOnceOldestFirstWithWhatItsInvoiceTells)
{
    auto watcher = connected();
    const QJsonObject lines{{"data"_L1,
        QJsonArray{QJsonObject{{"amount"_L1, 900}, {"description"_L1, u"2 × Pro plan (at $9.00 / month)"_s}}}}};
    const QJsonObject planChange{{"data"_L1,
        QJsonArray{
            QJsonObject{{"amount"_L1, -500}, {"description"_L1, u"Unused time on Solo plan after 06 Dec 2026"_s}},
            QJsonObject{
                {"amount"_L1, 1500}, {"description"_L1, u"Remaining time on 1 × Team plan after 06 Dec 2026"_s}}}}};
    const struct {
        const char* id;
        QJsonObject charge, invoice;
    } table[] = {
        {"ch_1", {}, {{"billing_reason"_L1, u"subscription_create"_s}, {"lines"_L1, lines}}},
        {"ch_authorised", {{"captured"_L1, false}, {"amount_captured"_L1, 0}}, {}},
        {"ch_2", {{"amount"_L1, 5000}, {"amount_captured"_L1, 2000}, {"amount_refunded"_L1, 3000}},
            {{"billing_reason"_L1, u"subscription_cycle"_s}}},
        {"ch_refunded", {{"refunded"_L1, true}, {"amount_refunded"_L1, 1999}}, {}},
        {"ch_3",
            {{"currency"_L1, u"jpy"_s}, {"amount"_L1, 500}, {"amount_captured"_L1, 500}, {"livemode"_L1, false},
                {"billing_details"_L1, QJsonObject()}},
            {{"billing_reason"_L1, u"manual"_s}, {"customer_name"_L1, u" "_s}, {"customer_email"_L1, u"a@b.co"_s}}},
        {"ch_pending", {{"status"_L1, u"pending"_s}, {"paid"_L1, false}}, {}},
        {"ch_4", {}, {{"billing_reason"_L1, u"subscription_update"_s}, {"lines"_L1, planChange}}},
        // A failed invoice request only makes it a plain sale.
        {"ch_5", {{"description"_L1, u"  Sticker pack \t"_s}}, {}},
    };
    for (const auto& row : table) {
        const QString id = QString::fromLatin1(row.id);
        add(id, with(row.charge, {{"invoice"_L1, u"in_"_s + id}}));
        if (!row.invoice.isEmpty())
            server.route(u"/v1/invoices/in_"_s + id, 200,
                json(with(LoopbackServer::published(u"stripe-2024-06-20"_s, u"invoice"_s), row.invoice)));
    }
    run(watcher->pollNow());
    run(watcher->pollNow());
    const QString item = u" · My First Invoice Item (created for API docs)"_s;
    // Each stamped when it was made, with the money it brought.
    const auto sale = [&](const char* id, const QString& kind, const QString& headline, const QString& who,
                          const QString& what, bool test, double money, const QString& currency = u"usd"_s) {
        MonkeyEvent event = MonkeyEvent::now(kind, headline, who, formatMoney(money, currency) + what, test,
            QDateTime::fromSecsSinceEpoch(find(QString::fromLatin1(id)).value("created"_L1).toInteger(), Qt::UTC));
        event.amount = money;
        event.currency = currency;
        return event;
    };
    EXPECT_THAT(delivered,
        ElementsAre(sale("ch_1", u"sale"_s, u"New subscriber!"_s, u"Jane ch_1"_s, u" · Pro plan"_s, false, 19.99),
            sale("ch_2", u"renewal"_s, u"Renewal!"_s, u"Jane ch_2"_s, item, false, 20),
            sale("ch_3", u"sale"_s, u"Invoice paid!"_s, u"a@b.co"_s, item, true, 500, u"jpy"_s),
            sale("ch_4", u"sale"_s, u"Invoice paid!"_s, u"Jane ch_4"_s, u" · Team plan"_s, false, 19.99),
            sale("ch_5", u"sale"_s, u"New sale!"_s, u"Jane ch_5"_s, u" · Sticker pack"_s, false, 19.99)));
    EXPECT_THAT(seen(), ElementsAre("ch_1", "ch_2", "ch_3", "ch_4", "ch_5"));
}

// A card payment captured later and a bank debit that succeeds days later, both long pushed out of
// the listing by newer sales, are each announced once when they settle.
TEST_F(StripeWatcherTest, ChargesThatSettleLaterAreLookedUpAgainAndAnnouncedOnce)
{
    auto watcher = connected();
    settings.set(Preferences::stripeUnsettled, QStringList{u"ch_ancient 1 1"_s}); // long expired: never asked about
    add(u"ch_card"_s, {{"captured"_L1, false}, {"amount"_L1, 5000}, {"amount_captured"_L1, 0}});
    add(u"ch_debit"_s, {{"status"_L1, u"pending"_s}, {"paid"_L1, false}});
    add(u"ch_expired"_s, {{"captured"_L1, false}, {"amount_captured"_L1, 0}});
    for (const char* id : {"ch_returned", "ch_gone", "ch_x", "ch_y"})
        add(QString::fromLatin1(id), {{"status"_L1, u"pending"_s}, {"paid"_L1, false}});
    run(watcher->pollNow());
    EXPECT_THAT(delivered, IsEmpty());
    EXPECT_EQ(settings.get(Preferences::stripeUnsettled)->size(), 7);
    clock += 3 * 86400;
    scheduler.advance(3 * 86400);
    for (int i = 1; i <= 150; ++i)
        add(u"ch_new%1"_s.arg(i));
    run(watcher->pollNow());
    ASSERT_EQ(delivered.size(), 150);
    for (const auto& [id, changes] :
        {std::pair(u"ch_card"_s,
             QJsonObject{{"captured"_L1, true}, {"amount_captured"_L1, 2000}, {"amount_refunded"_L1, 3000}}),
            {u"ch_debit"_s, {{"status"_L1, u"succeeded"_s}, {"paid"_L1, true}}},
            {u"ch_expired"_s, {{"refunded"_L1, true}}}, {u"ch_returned"_s, {{"status"_L1, u"failed"_s}}}})
        find(id) = with(find(id), changes);
    charges.removeIf([](const QJsonObject& c) { return c.value("id"_L1) == u"ch_gone"_s; });
    const auto looks = [&] { return server.requests.size() - server.requestsTo(u"/v1/charges"_s).size(); };
    for (int poll = 0; poll < 4; ++poll) {
        scheduler.advance(UnsettledCharges::lookAgainSeconds);
        run(watcher->pollNow());
        EXPECT_LE(looks(), (poll + 1) * UnsettledCharges::maxLooksPerPoll);
        EXPECT_TRUE(poll || delivered.size() == 152) << "due after exactly the pause";
    }
    ASSERT_EQ(delivered.size(), 152);
    EXPECT_THAT(customers().mid(150), ElementsAre("Jane ch_card", "Jane ch_debit"));
    EXPECT_EQ(delivered[150].detail, formatMoney(20, u"usd"_s));
    EXPECT_LE(delivered[150].date()->secsTo(scheduler.now()), 4 * UnsettledCharges::lookAgainSeconds)
        << "stamped when it settled, not when it was made";
    QStringList unsettled = settings.get(Preferences::stripeUnsettled).value();
    unsettled.replaceInStrings(QRegularExpression(u" .*"_s), {});
    EXPECT_THAT(unsettled, ElementsAre("ch_x", "ch_y"));
    const qsizetype looked = looks();
    run(watcher->pollNow());
    EXPECT_EQ(looks(), looked) << "looked at again only after a pause";
    EXPECT_EQ(delivered.size(), 152);
    EXPECT_TRUE(server.requestsTo(u"/v1/charges/ch_ancient"_s).isEmpty());

    // At most a hundred are kept, the newest; ids that are not the service's plain ones never.
    UnsettledCharges many({});
    for (int i = 0; i <= UnsettledCharges::limit + 1; ++i)
        many.update(charge(i ? u"ch_%1"_s.arg(i) : u"../v1/x"_s, 1000 - i, {{"status"_L1, u"pending"_s}}), 1000);
    EXPECT_EQ(many.stored().size(), UnsettledCharges::limit);
    EXPECT_EQ(many.stored().first(), u"ch_100 900 1000"_s);
    // Thirty days after it was made a charge is given up, however recently it was looked at.
    const qint64 made = 1000 - UnsettledCharges::limit;
    for (qint64 now = 1000 + 86400; now < made + UnsettledCharges::maxAgeSeconds; now += 86400)
        ASSERT_FALSE(many.takeDue({}, now).isEmpty()) << now;
    EXPECT_THAT(many.takeDue({}, 1000 + UnsettledCharges::maxAgeSeconds), IsEmpty());
    EXPECT_THAT(many.stored(), IsEmpty());
}

// A reload (a key changed from the command line) while a poll waits on an invoice starts a poll
// that must know what the first one announced.
TEST_F(StripeWatcherTest, AReloadWhileAPollWaitsOnAnInvoiceAnnouncesEachSaleOnce)
{
    add(u"ch_1"_s);
    add(u"ch_2"_s, {{"invoice"_L1, u"in_2"_s}});
    server.route(u"/v1/invoices/in_2"_s, [](const auto&) { return LoopbackServer::Response{200, "{}", 200}; });
    auto watcher = connected(u"rk_live_abc"_s, true); // polls at once
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !server.requestsTo(u"/v1/invoices/in_2"_s).isEmpty(); }));
    watcher->reload();
    ASSERT_TRUE(TestEnvironment::waitUntil(
        [&] { return server.requestsTo(u"/v1/invoices/in_2"_s).size() == 2 && delivered.size() == 2; }));
    QTest::qWait(300);
    EXPECT_THAT(customers(), ElementsAre("Jane ch_1", "Jane ch_2"));
    EXPECT_THAT(seen(), testing::UnorderedElementsAre("ch_1", "ch_2"));
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
        add(u"ch_%1"_s.arg(charges.size() + 1)); // sales go on during the outage
        server.route(u"/v1/charges"_s, [&](const auto&) { return answer.response; });
        EXPECT_EQ(run(watcher->connect(u"rk_live_new"_s))->left(23), u"Couldn't reach Stripe: "_s);
        run(watcher->pollNow());
    }
    EXPECT_THAT(delivered, IsEmpty());
    EXPECT_EQ(watcher->state(), WatchState::problem(u"Can't reach Stripe right now. Retrying."_s));
    EXPECT_EQ(secrets.read(StripeWatcher::keychainAccount()), u"rk_live_old"_s);
    // Back to normal, except that every invoice answer is broken: each sale is still told once.
    stripe.serve();
    for (qsizetype i = 0; i < charges.size(); ++i) {
        charges[i].insert("invoice"_L1, u"in_%1"_s.arg(i));
        server.route(u"/v1/invoices/in_%1"_s.arg(i), [response = broken[i].response](const auto&) { return response; });
    }
    run(watcher->pollNow());
    run(watcher->pollNow());
    EXPECT_EQ(watcher->state(), WatchState::watching());
    EXPECT_EQ(headlines(), QStringList(broken.size(), u"New sale!"_s));
    EXPECT_THAT(customers(), ElementsAre("Jane ch_1", "Jane ch_2", "Jane ch_3", "Jane ch_4", "Jane ch_5", "Jane ch_6"));
    // Asked to slow down: it waits what was asked, at least its normal interval, and stays watching.
    server.route(u"/v1/charges"_s, [](const auto&) {
        return LoopbackServer::Response{429,
            R"({"error":{"code":"rate_limit","message":"Request rate limit exceeded.",)"
            R"("type":"invalid_request_error"}})",
            0, false, "Retry-After: 1\r\n"};
    });
    run(watcher->pollNow());
    EXPECT_EQ(watcher->state(), WatchState::watching());
    EXPECT_EQ(watcher->interval(), StripeWatcher::normalSeconds);
}

TEST(StripeCharge, RefusalsAmountsProductNamesAndCustomers)
{
    EXPECT_EQ(StripeCharge::explain(APIError{403, u"restricted"_s}, u"Invoices"_s),
        u"This key can't read Invoices. In Stripe, edit the key and set Invoices to Read."_s);
    // Kept is what was authorised less every refund: a partial capture's uncaptured rest is refunded
    // at once, so the service counts it in `amount_refunded` (captured: -1, as in older answers).
    for (const auto& [amount, captured, refunded, currency, value] :
        {std::tuple(1999, -1, 0, "usd", 19.99), {500, 500, 0, "jpy", 500}, {1500, 1500, 0, "kwd", 1.5},
            {5000, 5000, 2000, "usd", 30.0}, {5000, 2000, 3000, "usd", 20.0}, {1000, 750, 250, "usd", 7.5}}) {
        QJsonObject c = charge(u"ch"_s, 0,
            {{"amount"_L1, amount}, {"amount_captured"_L1, captured}, {"amount_refunded"_L1, refunded},
                {"currency"_L1, QString::fromLatin1(currency)}});
        if (captured < 0)
            c.remove("amount_captured"_L1);
        EXPECT_EQ(
            StripeCharge::describe(c, std::nullopt, {}).detail, formatMoney(value, QString::fromLatin1(currency)));
    }
    for (const auto& [line, product] :
        {std::pair(u"2 × Pro plan (at $9.00 / month)"_s, u"Pro plan"_s), {u"Pro plan"_s, u"Pro plan"_s},
            {u"2 x Pro (annual)"_s, u"2 x Pro (annual)"_s}, {u"Unused time on 3 × Pro after 1 Jan 2027"_s, u"Pro"_s},
            {u"Remaining time on Pro after lunch"_s, u"Remaining time on Pro after lunch"_s}})
        EXPECT_EQ(StripeCharge::productName(line), product);
    // A name of white space, of any kind, is no name; direction controls go (they could turn the amount beside
    // it round), letters of any script and emoji stay.
    QJsonObject c = charge(u"ch"_s, 0);
    const auto customer = [&c](const QString& name) {
        c.insert("billing_details"_L1, QJsonObject{{"name"_L1, name}, {"email"_L1, QJsonValue()}});
        return StripeCharge::describe(c, std::nullopt, {}).who.value_or(QString());
    };
    for (const auto& [name, shown] :
        {std::pair(u" \t"_s, u"A customer"_s), {u"\u00a0\u2003\u3000\n"_s, u"A customer"_s},
            {u"\u00a0Jane Doe\u202f"_s, u"Jane Doe"_s}, {u"\u202e\u2066\u200f\u061c\u00a0\u2069"_s, u"A customer"_s},
            {u"\u202eeoD\u202c \u200eJane"_s, u"eoD Jane"_s},
            {u"\u2067דנה כהן 👩‍💻\u2069"_s, u"דנה כהן 👩‍💻"_s}})
        EXPECT_EQ(customer(name), shown);
    c.insert("receipt_email"_L1, u"r@x.io"_s);
    EXPECT_EQ(customer(u"\u00a0"_s), u"r@x.io"_s);
    c.remove("livemode"_L1);
    EXPECT_FALSE(StripeCharge::describe(c, std::nullopt, {}).isTest());
    c.insert("invoice"_L1, u"../../v1/account"_s);
    EXPECT_FALSE(StripeCharge::invoiceId(c)) << "an id is never a path";
    EXPECT_FALSE(StripeCharge::isAnnounceable(charge(u"../../x\n1 ch_2"_s, 0), {})) << "nor a file name or a line";
}

} // namespace
