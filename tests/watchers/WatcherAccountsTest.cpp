#include "watchers/WatcherAccounts.h"
#include "WatcherFixture.h"
#include "common/StripeStandIn.h"
#include "support/AccountLabel.h"
#include "watchers/RevenueCatWatcher.h"

#include <QDir>
#include <QSignalSpy>

namespace {

using namespace Qt::StringLiterals;
using testing::ElementsAre;
using Service = WatcherAccounts::Service;

class WatcherAccountsTest : public WatcherFixture {
protected:
    StripeStandIn stripe{server};
    QString inbox = dir.filePath(u"inbox"_s);
    qint64 clock = scheduler.now().toSecsSinceEpoch();
    std::unique_ptr<WatcherAccounts> accounts()
    {
        return std::make_unique<WatcherAccounts>(
            WatcherServices{settings, secrets, scheduler, server.base(), inbox, dir.path()},
            WatcherServices{settings, secrets, scheduler, server.base()}, false);
    }
    StripeWatcher* connect(WatcherAccounts& all, const QString& label, const QString& key)
    {
        auto* watcher = static_cast<StripeWatcher*>(std::get<Watcher*>(all.open(Service::stripe, label)));
        EXPECT_EQ(run(watcher->connect(key)), std::nullopt);
        all.keep(*watcher);
        return watcher;
    }
    // Whose each note says it is, after the last " · ".
    static QStringList shownLabels(const QList<MonkeyEvent>& events)
    {
        QStringList labels;
        for (const MonkeyEvent& event : events)
            labels.append(event.detail.value_or(QString()).section(u" · "_s, -1));
        return labels;
    }
};

TEST_F(WatcherAccountsTest, LabelsAreShortPrintableAndFreeOfSeparators)
{
    for (const QString& bad : {u""_s, u" Acme"_s, u"Acme "_s, u"a:b"_s, u"a/b"_s, u"a\\b"_s, u"-x"_s, u".x"_s,
             u"tab\there"_s, QString(AccountLabel::maxLength + 1, u'x')})
        EXPECT_TRUE(AccountLabel::problem(bad)) << bad.toStdString();
    for (const QString& good : {u"Acme"_s, u"Widgets Ltd."_s, u"Café 2"_s, QString(AccountLabel::maxLength, u'x')})
        EXPECT_EQ(AccountLabel::problem(good), std::nullopt) << good.toStdString();
}

// Two accounts on one stand-in, the same charge id in both: each announces only its own sales,
// under its own label and inbox file, and a fault of one leaves the other polling as before.
TEST_F(WatcherAccountsTest, TwoAccountsSideBySideKeepTheirSalesAndFaultsApart)
{
    secrets.save(u"rk_live_first"_s, u"stripe"_s);
    settings.set(Preferences::stripeSince, clock);
    const auto all = accounts();
    QList<MonkeyEvent> firstSales, acmeSales;
    StripeWatcher& first = all->stripe();
    QObject::connect(&first, &Watcher::delivered, [&](const MonkeyEvent& e) { firstSales << e; });
    stripe.charges.prepend(StripeAnswers::charge(u"ch_0"_s, ++clock));
    run(first.pollNow());
    EXPECT_THAT(shownLabels(firstSales), ElementsAre(testing::Ne(u"Stripe"_s))) << "alone, a note names nobody";
    StripeWatcher* acme = connect(*all, u"Acme"_s, u"rk_live_acme"_s);
    const auto pollBoth = [&] { run(first.pollNow()), run(acme->pollNow()); };
    QObject::connect(acme, &Watcher::delivered, [&](const MonkeyEvent& e) { acmeSales << e; });
    QList<QJsonObject>& acmeCharges = stripe.accounts[QByteArray("rk_live_acme")];
    stripe.charges.prepend(StripeAnswers::charge(u"ch_1"_s, ++clock));
    acmeCharges.prepend(StripeAnswers::charge(u"ch_1"_s, clock));
    acmeCharges.prepend(StripeAnswers::charge(u"ch_2"_s, ++clock));
    pollBoth();
    EXPECT_THAT(shownLabels(firstSales.mid(1)), ElementsAre(u"Stripe"_s));
    EXPECT_THAT(shownLabels(acmeSales), ElementsAre(u"Acme"_s, u"Acme"_s));
    EXPECT_EQ(QDir(inbox).entryList({u"*.json"_s}).size(), 4);

    stripe.faults[QByteArray("rk_live_acme")] = {401, R"({"error":{"message":"Invalid API Key"}})"};
    stripe.charges.prepend(StripeAnswers::charge(u"ch_3"_s, ++clock));
    pollBoth();
    EXPECT_EQ(first.interval(), StripeWatcher::normalSeconds);
    EXPECT_EQ(acme->state().kind, WatchState::Kind::problem);
    EXPECT_EQ(firstSales.size(), 3);

    stripe.faults.clear();
    stripe.faults[QByteArray("rk_live_first")] = {200, {}, 0, true};
    acmeCharges.prepend(StripeAnswers::charge(u"ch_4"_s, ++clock));
    pollBoth();
    EXPECT_EQ(first.failures(), 1);
    EXPECT_EQ(acme->state(), WatchState::watching());
    EXPECT_THAT(shownLabels(acmeSales), ElementsAre(u"Acme"_s, u"Acme"_s, u"Acme"_s));
    EXPECT_EQ(firstSales.size(), 3);
}

// A file from the single-account days stays as it was, byte for byte, while a labelled account comes
// and goes beside it; the running app follows what another process listed.
TEST_F(WatcherAccountsTest, UpgradeFromOneAccountKeepsItsKeysAndFilesAsTheyWere)
{
    secrets.save(u"rk_live_first"_s, u"stripe"_s);
    settings.set(Preferences::stripeSince, clock - 100);
    settings.set(Preferences::stripeListedUntil, clock - 50);
    settings.set(Preferences::rcProject, u"proj9"_s);
    const QByteArray before = TestEnvironment::readFile(settings.fileName());
    const auto app = accounts();
    EXPECT_TRUE(app->stripe().isConnected() && app->stripes().size() == 1);
    EXPECT_EQ(app->revenueCat().project(), u"proj9"_s);

    const auto commandLine = accounts();
    StripeWatcher* acme = connect(*commandLine, u"Acme"_s, u"rk_test_acme"_s);
    EXPECT_EQ(secrets.read(u"stripe:Acme"_s), u"rk_test_acme"_s);
    EXPECT_EQ(settings.get(Preferences::stripeAccounts), QStringList{u"Acme"_s});
    EXPECT_EQ(Settings(settings.fileName(), u"Acme"_s).get(Preferences::stripeSince), clock);
    stripe.accounts[QByteArray("rk_test_acme")] = {StripeAnswers::charge(u"ch_9"_s, clock + 1)};
    run(acme->pollNow());
    const QString seen = StripeWatcher::seenFile(dir.path(), u"Acme"_s);
    EXPECT_TRUE(QFile::exists(seen));

    QSignalSpy changed(app.get(), &WatcherAccounts::changed);
    app->reload();
    EXPECT_EQ(changed.size(), 1);
    ASSERT_EQ(app->stripes().size(), 2);
    EXPECT_TRUE(app->stripes()[1]->isConnected());

    // Labels that share a beginning with it.
    Settings neighbours[] = {{settings.fileName(), u"Acme.2"_s}, {settings.fileName(), u"Ac"_s}};
    for (Settings& neighbour : neighbours)
        neighbour.set(Preferences::stripeSince, qint64(7));
    EXPECT_FALSE(commandLine->disconnect(Service::stripe, u"Widgets"_s));
    EXPECT_TRUE(commandLine->disconnect(Service::stripe, u"acme"_s));
    EXPECT_EQ(secrets.read(u"stripe:Acme"_s), std::nullopt);
    for (Settings& neighbour : neighbours) {
        EXPECT_EQ(neighbour.get(Preferences::stripeSince), 7) << "another account's keys stay";
        neighbour.forgetAccount();
    }
    EXPECT_EQ(TestEnvironment::readFile(settings.fileName()), before);
    EXPECT_FALSE(QFile::exists(seen));
    app->reload();
    EXPECT_EQ(app->stripes().size(), 1);
    EXPECT_EQ(changed.size(), 2);
}

} // namespace
