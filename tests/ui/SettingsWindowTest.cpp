#include "common/StripeStandIn.h"
#include "common/Windows.h"
#include "support/Autostart.h"
#include "ui/StatusMenu.h"
#include "ui/settings/SettingsStatusLine.h"
#include "ui/settings/SettingsStyle.h"
#include "ui/settings/SettingsSymbol.h"
#include "ui/settings/SettingsWindowController.h"
#include "watchers/RevenueCatWatcher.h"
#include "watchers/StripeWatcher.h"
#include "watchers/WatcherAccounts.h"
#include "watchers/WatcherFixture.h"

#include <QApplication>
#include <QDesktopServices>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>

#include <stdexcept>

namespace {

using namespace Qt::StringLiterals;
using TestEnvironment::waitUntil;

// Catches the links the window hands to the desktop instead of starting a browser.
class LinkCatcher : public QObject {
    Q_OBJECT
public:
    LinkCatcher() { QDesktopServices::setUrlHandler(u"https"_s, this, "open"); }
    ~LinkCatcher() override { QDesktopServices::unsetUrlHandler(u"https"_s); }
    QList<QUrl> opened;
    Q_INVOKABLE void open(const QUrl& url) { opened.append(url); }
};

bool isOrange(const QColor& c)
{
    return c.hslSaturation() > 150 && c.hslHue() >= 20 && c.hslHue() <= 45;
}

template <typename T = QWidget> T* find(const QObject* parent, const QString& name)
{
    T* found = parent->findChild<T*>(name);
    return found ? found : throw std::runtime_error("no widget named " + name.toStdString());
}

// One service's section, read through its widgets' names.
struct Section {
    QWidget* box;
    QLineEdit* key() const { return find<QLineEdit>(box, u"keyField"_s); }
    QPushButton* button(const QString& name = u"connectButton"_s) const { return find<QPushButton>(box, name); }
    QLabel* label(const QString& name) const { return find<QLabel>(box, name); }
    bool shows(const QString& name) const { return find(box, name)->isVisibleTo(box); }
    bool connected() const { return shows(u"disconnectButton"_s); }
    bool busy() const { return button()->text() == u"Checking…"_s; }
    const SettingsSymbol* symbol() const { return find<SettingsSymbol>(box, u"symbol"_s); }
    // The status line: its symbol, then its words, joined by single spaces.
    QString state() const
    {
        QStringList parts{QStringList{u"○"_s, u"⌛"_s, u"✓"_s, u"⚠"_s}.at(int(symbol()->kind()))};
        for (const QLabel* part : find(box, u"statusLine"_s)->findChildren<QLabel*>())
            if (!part->isHidden())
                parts.append(part->text());
        return parts.join(u' ');
    }
    void type(const QString& text) const
    {
        key()->clear();
        QTest::keyClicks(key(), text);
    }
};

// The real watchers against a loopback stand-in for both services, and the window over them.
class SettingsWindowTest : public WatcherFixture {
protected:
    std::unique_ptr<StripeWatcher> stripe;
    std::unique_ptr<RevenueCatWatcher> revenueCat;
    std::unique_ptr<SettingsWindowController> controller;
    void SetUp() override
    {
        WatcherFixture::SetUp();
        server.route(u"/v1/charges"_s, 200, R"({"data":[]})");
        server.route(u"/v1/invoices"_s, 200, R"({"data":[]})");
        server.route(u"/v2/projects/proj1/metrics/revenue"_s, 200, R"({"value":10,"currency":"USD"})");
        server.route(u"/v2/projects/proj1/metrics/overview"_s, 200,
            QJsonDocument(LoopbackServer::published(u"revenuecat-v2"_s, u"overview"_s)).toJson());
        // Watchers as the app builds them (reading stored keys, not polling yet) and the window's controller.
        stripe = std::make_unique<StripeWatcher>(services(), false);
        revenueCat = std::make_unique<RevenueCatWatcher>(services(), false);
        controller = std::make_unique<SettingsWindowController>(*stripe, *revenueCat, nullptr, scheduler);
    }
    static QWidget* window() { return topLevelWindow(u"settingsWindow"_s, false); }
    static Section section(const QString& name) { return {find(window(), name)}; }
};

TEST_F(SettingsWindowTest, TheWindowIsMadeOnceAndAKeyIsCheckedOnceWithTheFormFollowingTheWatcher)
{
    EXPECT_EQ(window(), nullptr) << "nothing is built before the first show";
    controller->show();
    const QPointer<QWidget> shown = window();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->maximumSize(), shown->minimumSize()) << "no resizing";
    ASSERT_TRUE(QTest::qWaitForWindowActive(shown));
    EXPECT_EQ(QApplication::focusWidget(), section(u"stripeSection"_s).key()) << "ready for the first key";
    const Section rc = section(u"revenueCatSection"_s);
    rc.type(u"sk_draft"_s);
    QTest::keyClick(rc.key(), Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(shown->isVisible());
    controller->show();
    EXPECT_EQ(window(), shown.data());
    EXPECT_EQ(rc.key()->text(), u"sk_draft"_s);
    ASSERT_TRUE(QTest::qWaitForWindowActive(shown));
    QTest::keyClick(shown, Qt::Key_Escape);
    EXPECT_FALSE(shown->isVisible());
    controller->show();
    QSignalSpy testEvents(controller.get(), &SettingsWindowController::testEventRequested);
    QTest::mouseClick(find<QPushButton>(shown, u"testButton"_s), Qt::LeftButton);
    EXPECT_EQ(testEvents, QList<QVariantList>{{u"sale"_s}});
    LinkCatcher links;
    for (const QString& name : {u"stripeSection"_s, u"revenueCatSection"_s}) {
        QLabel* link = section(name).label(u"link"_s);
        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(8, link->height() / 2));
    }
    EXPECT_EQ(links.opened, (QList<QUrl>{StripeWatcher::createKeyURL(), RevenueCatWatcher::dashboardURL()}));
    // A key is checked once. Nothing typed, or only blanks: no button, and Return does nothing.
    const Section stripeSection = section(u"stripeSection"_s);
    EXPECT_EQ(stripeSection.key()->echoMode(), QLineEdit::Password);
    for (const QString& blank : {QString(), u"   "_s}) {
        stripeSection.type(blank);
        EXPECT_FALSE(stripeSection.button()->isEnabled());
        QTest::keyClick(stripeSection.key(), Qt::Key_Return);
        EXPECT_FALSE(stripeSection.shows(u"message"_s)) << "no check, so no answer";
    }
    EXPECT_TRUE(server.requests.isEmpty());
    // A refused key stays to be corrected, with the watcher's answer under it.
    stripeSection.type(u"sk_live_secret"_s);
    QTest::mouseClick(stripeSection.button(), Qt::LeftButton);
    EXPECT_TRUE(stripeSection.shows(u"message"_s));
    EXPECT_EQ(stripeSection.key()->text(), u"sk_live_secret"_s);
    // While the check runs: "Checking…" on the button and in the state line, and no second check.
    server.route(u"/v1/charges"_s, [](const LoopbackServer::Request&) {
        return LoopbackServer::Response{200, R"({"data":[]})", 300};
    });
    stripeSection.type(u"rk_test_abc"_s);
    QTest::keyClick(stripeSection.key(), Qt::Key_Return);
    EXPECT_FALSE(stripeSection.shows(u"message"_s)) << "a new attempt clears the old answer";
    EXPECT_TRUE(stripeSection.busy());
    EXPECT_FALSE(stripeSection.button()->isEnabled());
    EXPECT_EQ(stripeSection.state(), u"⌛ Checking…"_s);
    QTest::keyClick(stripeSection.key(), Qt::Key_Return);
    // Closing the window lets the check finish; reopened, it shows the result.
    window()->close();
    ASSERT_TRUE(waitUntil([&] { return !stripeSection.busy(); }));
    controller->show();
    EXPECT_EQ(server.requestsTo(u"/v1/invoices"_s).size(), 1);
    EXPECT_EQ(stripeSection.key()->text(), QString());
    EXPECT_TRUE(stripeSection.connected());
    EXPECT_TRUE(stripeSection.shows(u"testMode"_s));
    EXPECT_TRUE(isOrange(stripeSection.label(u"testMode"_s)->palette().color(QPalette::WindowText)));
    QTest::mouseClick(stripeSection.button(u"disconnectButton"_s), Qt::LeftButton);
    EXPECT_FALSE(stripe->isConnected());
    EXPECT_FALSE(stripeSection.connected());
    EXPECT_FALSE(stripeSection.shows(u"testMode"_s));
    // RevenueCat connects with the typed project, which stays.
    QLineEdit* project = find<QLineEdit>(rc.box, u"projectField"_s);
    rc.type(u"sk_key"_s);
    QTest::keyClicks(project, u"proj1"_s);
    QTest::keyClick(project, Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return !rc.busy(); }));
    EXPECT_EQ(rc.key()->text(), QString());
    EXPECT_EQ(project->text(), u"proj1"_s);
    EXPECT_TRUE(rc.connected());
    EXPECT_EQ(rc.label(u"connectedText"_s)->text(), u"Project proj1. Slaps when today's revenue goes up."_s);
}

TEST_F(SettingsWindowTest, TheStateLineFollowsTheWatcherAndItsTimeStaysCurrentOnlyWhileShown)
{
    secrets.save(u"rk_live_abc"_s, StripeWatcher::keychainAccount());
    stripe->reload(); // a stored key, and no poll till the test says
    controller->show();
    const Section stripeSection = section(u"stripeSection"_s);
    EXPECT_TRUE(stripeSection.connected());
    EXPECT_FALSE(stripeSection.shows(u"testMode"_s)) << "a live key";
    EXPECT_EQ(stripeSection.state(), u"○ Not connected"_s) << "not polled yet";
    run(stripe->pollNow());
    EXPECT_EQ(stripeSection.state(), u"✓ Watching · checked 0 sec ago"_s);
    scheduler.advance(65);
    const QString later = u"✓ Watching · checked 1 min, 5 sec ago"_s;
    EXPECT_TRUE(waitUntil([&] { return stripeSection.state() == later; }, 2500));
    // Hidden: nothing keeps the time current; shown again, it is current at once.
    window()->close();
    scheduler.advance(60);
    QTest::qWait(1200);
    EXPECT_EQ(stripeSection.state(), u"✓ Watching · checked 1 min, 5 sec ago"_s);
    controller->show();
    EXPECT_EQ(stripeSection.state(), u"✓ Watching · checked 2 min, 5 sec ago"_s);
    server.route(u"/v1/charges"_s, 401, R"({"error":{"message":"Invalid API Key provided"}})");
    run(stripe->pollNow());
    EXPECT_EQ(stripeSection.state(),
        u"⚠ Stripe didn't accept this key. It may have been deleted or rolled; create a new restricted key."_s);
    EXPECT_TRUE(isOrange(stripeSection.symbol()->color()));
    // A disconnect from elsewhere (the command line's reload) shows up without a click here.
    secrets.remove(StripeWatcher::keychainAccount());
    stripe->reload();
    EXPECT_EQ(stripeSection.state(), u"○ Not connected"_s);
    EXPECT_FALSE(stripeSection.connected());
}

// Elapsed time shows the two largest units; bold spans are marked up and everything else escaped.
TEST(SettingsText, ElapsedTimeAndBoldSpans)
{
    const QList<std::pair<qint64, QString>> cases{{-3, u"0 sec"_s}, {0, u"0 sec"_s}, {59, u"59 sec"_s},
        {60, u"1 min"_s}, {65, u"1 min, 5 sec"_s}, {3599, u"59 min, 59 sec"_s}, {3605, u"1 hr"_s},
        {3785, u"1 hr, 3 min"_s}, {86400, u"1 day"_s}, {3 * 86400 + 4 * 3600 + 59, u"3 days, 4 hr"_s}};
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(SettingsStatusLine::elapsedText(seconds), text) << seconds;
    EXPECT_EQ(SettingsStyle::withBoldSpans(u"Give it **Charts & metrics → overview: Read**. <Done>"_s),
        u"Give it <b>Charts &amp; metrics → overview: Read</b>. &lt;Done&gt;"_s);
    EXPECT_EQ(SettingsStyle::withBoldSpans(u"**a** and **b**"_s), u"<b>a</b> and <b>b</b>"_s);
    EXPECT_EQ(SettingsStyle::withBoldSpans(u"a ** b"_s), u"a ** b"_s) << "an unpaired marker is text";
}

// The settings window's list of labelled accounts, and the tray menu's line for each.
class SettingsAccountsTest : public WatcherFixture {
protected:
    StripeStandIn stripe{server};
    WatcherAccounts accounts{services(), services(), false};
    Autostart autostart{dir.filePath(u"autostart.desktop"_s)};
    QWidget* window = nullptr;
    void add(const QString& label, const QString& key)
    {
        find<QLineEdit>(window, u"accountLabel"_s)->setText(label);
        find<QLineEdit>(window, u"accountKey"_s)->setText(key);
        find<QPushButton>(window, u"addAccountButton"_s)->click();
    }
    QString message() const
    {
        const QLabel* label = find<QLabel>(window, u"accountMessage"_s);
        return label->isVisibleTo(window) ? label->text() : QString();
    }
    // The lines below the version: the watchers', then the hold line (empty).
    QStringList menuTitles(StatusMenu& menu) const
    {
        QMenu* shown = menu.findChild<QSystemTrayIcon*>()->contextMenu();
        Q_EMIT shown->aboutToShow();
        QStringList titles;
        std::ranges::transform(shown->actions().mid(1, 3), std::back_inserter(titles), &QAction::text);
        return titles;
    }
};

TEST_F(SettingsAccountsTest, TheWindowAddsARefusesBadOnesAndRemovesAndTheMenuShowsEach)
{
    SettingsWindowController controller(accounts.stripe(), accounts.revenueCat(), nullptr, scheduler);
    controller.listAccounts(accounts);
    controller.show();
    for (QWidget* widget : QApplication::topLevelWidgets())
        window = widget->objectName() == u"settingsWindow"_s ? widget : window;
    ASSERT_TRUE(window);
    StatusMenu menu({settings, accounts.stripe(), accounts.revenueCat(), autostart, &accounts});

    add(u"Acme"_s, u"pk_test_acme"_s);
    EXPECT_TRUE(waitUntil([&] { return message() == u"Stripe restricted keys start with rk_live_ or rk_test_."_s; }));
    EXPECT_EQ(accounts.stripes().size(), 1) << "a refused account is not kept";

    add(u"Acme"_s, u"rk_test_acme"_s);
    ASSERT_TRUE(waitUntil([&] { return accounts.stripes().size() == 2 && accounts.stripes()[1]->isConnected(); }));
    EXPECT_TRUE(waitUntil([&] { return message().isEmpty(); }));
    const QString acmeState = statusText(accounts.stripes()[1]->state());
    EXPECT_EQ(menuTitles(menu),
        QStringList({u"Stripe: not connected"_s, u"RevenueCat: not connected"_s,
            u"Stripe (Acme): "_s + acmeState + u" (test mode)"_s}));

    find<QPushButton>(window, u"remove:Stripe (Acme)"_s)->click();
    ASSERT_TRUE(waitUntil([&] { return accounts.stripes().size() == 1; }));
    EXPECT_EQ(menuTitles(menu).last(), QString()) << "the line went with the account";
}

} // namespace

#include "SettingsWindowTest.moc"
