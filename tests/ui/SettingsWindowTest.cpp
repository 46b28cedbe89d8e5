#include "ui/SettingsRevenueCatSection.h"
#include "ui/SettingsStatusLine.h"
#include "ui/SettingsStripeSection.h"
#include "ui/SettingsStyle.h"
#include "ui/SettingsSymbol.h"
#include "ui/SettingsView.h"
#include "ui/SettingsWindowController.h"

#include "watchers/WatcherFixture.h"

#include "watchers/RevenueCatWatcher.h"
#include "watchers/StripeWatcher.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace {

using namespace Qt::StringLiterals;
using TestEnvironment::takeLogMessages;
using TestEnvironment::waitUntil;
using Kind = SettingsSymbol::Kind;

const QByteArray noCharges = R"({"data":[],"has_more":false})";

// Catches the links the window hands to the desktop instead of starting a browser.
class LinkCatcher : public QObject {
    Q_OBJECT
public:
    LinkCatcher() { QDesktopServices::setUrlHandler(u"https"_s, this, "open"); }
    ~LinkCatcher() override { QDesktopServices::unsetUrlHandler(u"https"_s); }
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl& url) { opened.append(url); }
};

// Red or orange: a warm, saturated hue.
bool isWarm(const QColor& color, int minHue, int maxHue)
{
    const int hue = color.hslHue();
    return color.hslSaturation() > 150 && ((hue >= minHue && hue <= maxHue) || (minHue == 0 && hue >= 350));
}

QColor textColor(const QWidget* widget)
{
    return widget->palette().color(QPalette::WindowText);
}

// The real watchers against a loopback stand-in for both services, and the window over them.
class SettingsWindowTest : public WatcherFixture {
protected:
    std::unique_ptr<StripeWatcher> stripe;
    std::unique_ptr<RevenueCatWatcher> revenueCat;
    std::unique_ptr<SettingsWindowController> controller;
    int testSlaps = 0;

    void SetUp() override
    {
        WatcherFixture::SetUp();
        server.route(u"/v1/charges"_s, 200, noCharges);
        server.route(u"/v1/invoices"_s, 200, R"({"data":[]})");
        server.route(u"/v2/projects"_s, 200, R"({"items":[{"id":"proj1"}]})");
        server.route(u"/v2/projects/proj1/metrics/revenue"_s, 200, R"({"value":10,"currency":"USD"})");
        server.route(u"/v2/projects/proj1/metrics/overview"_s, 200, R"({"metrics":[{"id":"active_subscriptions","value":3}]})");
    }

    void TearDown() override
    {
        controller.reset();
        stripe.reset();
        revenueCat.reset();
    }

    // Watchers as the app builds them (reading stored keys, not polling yet) and the window's controller.
    void build()
    {
        stripe = std::make_unique<StripeWatcher>(services(), false);
        revenueCat = std::make_unique<RevenueCatWatcher>(services(), false);
        const auto onTest = [this] { ++testSlaps; };
        controller = std::make_unique<SettingsWindowController>(*stripe, *revenueCat, onTest, nullptr, scheduler);
    }

    SettingsView& open()
    {
        build();
        controller->show();
        return *controller->view();
    }

    SettingsStripeSection& stripeSection() { return *controller->view()->stripeSection(); }
    SettingsRevenueCatSection& revenueCatSection() { return *controller->view()->revenueCatSection(); }

    static void type(QLineEdit* field, const QString& text)
    {
        field->clear();
        QTest::keyClicks(field, text);
    }

    void slowStripe(int delayMs)
    {
        server.route(u"/v1/charges"_s, [delayMs](const LoopbackServer::Request&) {
            return LoopbackServer::Response{200, noCharges, delayMs};
        });
    }
};

TEST_F(SettingsWindowTest, AStripeKeyIsRefusedThenCheckedAndTheFormFollowsTheWatcher)
{
    open();
    SettingsSection& section = stripeSection();
    EXPECT_FALSE(section.showsConnectedForm());
    EXPECT_EQ(section.keyField()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(section.keyField()->placeholderText(), u"rk_live_…"_s);

    // Nothing typed, or only blanks: no button, and Return does nothing.
    EXPECT_FALSE(section.connectButton()->isEnabled());
    for (const QString& blank : {QString(), u"   "_s}) {
        type(section.keyField(), blank);
        EXPECT_FALSE(section.connectButton()->isEnabled());
        QTest::keyClick(section.keyField(), Qt::Key_Return);
        EXPECT_FALSE(section.isBusy());
    }
    EXPECT_TRUE(server.requests.isEmpty());

    // A refusal is shown word for word in red, and the key stays to be corrected.
    type(section.keyField(), u"sk_live_secret"_s);
    EXPECT_TRUE(section.connectButton()->isEnabled());
    QTest::mouseClick(section.connectButton(), Qt::LeftButton);
    EXPECT_FALSE(section.messageLabel()->isHidden());
    EXPECT_EQ(section.messageLabel()->text(), u"That's a full secret key, which can move money. Bonkbell only needs to read, "
                                              u"so please create a restricted key instead (it starts with rk_)."_s);
    EXPECT_TRUE(isWarm(textColor(section.messageLabel()), 0, 10));
    EXPECT_EQ(section.keyField()->text(), u"sk_live_secret"_s);

    // While the check runs: "Checking…" on the button and in the state line, and no second check.
    slowStripe(300);
    type(section.keyField(), u"rk_test_abc"_s);
    QTest::keyClick(section.keyField(), Qt::Key_Return);
    EXPECT_TRUE(section.isBusy());
    EXPECT_TRUE(section.messageLabel()->isHidden()) << "a new attempt clears the old answer";
    EXPECT_EQ(section.connectButton()->text(), u"Checking…"_s);
    EXPECT_FALSE(section.connectButton()->isEnabled());
    EXPECT_EQ(section.statusLine()->text(), u"Checking…"_s);
    EXPECT_EQ(section.statusLine()->symbol()->kind(), Kind::hourglass);
    QTest::keyClick(section.keyField(), Qt::Key_Return);

    ASSERT_TRUE(waitUntil([&] { return !section.isBusy(); }));
    EXPECT_EQ(server.requestsTo(u"/v1/invoices"_s).size(), 1);
    EXPECT_FALSE(section.message());
    EXPECT_TRUE(section.messageLabel()->isHidden());
    EXPECT_EQ(section.keyField()->text(), QString());
    EXPECT_EQ(section.connectButton()->text(), u"Connect"_s);
    EXPECT_TRUE(section.showsConnectedForm());
    EXPECT_EQ(section.connectedLabel()->text(),
        u"Every successful payment gets a slap: new subscribers, renewals and one-off sales."_s);
    EXPECT_FALSE(stripeSection().testModeMarker()->isHidden());
    EXPECT_EQ(stripeSection().testModeMarker()->text(), u"TEST MODE"_s);
    EXPECT_TRUE(isWarm(textColor(stripeSection().testModeMarker()), 20, 45));
    for (const QString& line : takeLogMessages())
        EXPECT_FALSE(line.contains(u"rk_test_abc"_s)) << line.toStdString();

    // The first poll lands: watching, checked just now.
    ASSERT_TRUE(waitUntil([&] { return section.statusLine()->text() == u"Watching · checked 0 sec ago"_s; }));
    EXPECT_EQ(section.statusLine()->symbol()->kind(), Kind::checkmarkCircleFill);

    QTest::mouseClick(section.disconnectButton(), Qt::LeftButton);
    EXPECT_FALSE(stripe->isConnected());
    EXPECT_TRUE(secrets.items().isEmpty());
    EXPECT_FALSE(section.showsConnectedForm());
    EXPECT_TRUE(stripeSection().testModeMarker()->isHidden());
    EXPECT_EQ(section.statusLine()->text(), u"Not connected"_s);
    EXPECT_EQ(section.statusLine()->symbol()->kind(), Kind::circle);
}

TEST_F(SettingsWindowTest, RevenueCatConnectsWithTheTypedProjectWhichStays)
{
    open();
    SettingsRevenueCatSection& section = revenueCatSection();
    EXPECT_EQ(section.keyField()->placeholderText(), u"sk_…"_s);
    EXPECT_EQ(section.projectField()->placeholderText(), u"Project ID (optional)"_s);
    EXPECT_EQ(section.projectField()->width(), 170);

    type(section.keyField(), u"sk_key"_s);
    type(section.projectField(), u"nope"_s);
    QTest::keyClick(section.projectField(), Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return !section.isBusy(); }));
    EXPECT_EQ(section.messageLabel()->text(), u"RevenueCat can't find that project ID."_s);
    EXPECT_EQ(section.keyField()->text(), u"sk_key"_s);
    EXPECT_EQ(section.statusLine()->text(), u"Not connected"_s);

    type(section.projectField(), u"proj1"_s);
    QTest::keyClick(section.projectField(), Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return !section.isBusy(); }));
    EXPECT_FALSE(section.message());
    EXPECT_EQ(section.keyField()->text(), QString());
    EXPECT_EQ(section.projectField()->text(), u"proj1"_s);
    EXPECT_TRUE(section.showsConnectedForm());
    EXPECT_EQ(section.connectedLabel()->text(), u"Project proj1. Slaps when today's revenue goes up."_s);
    EXPECT_EQ(secrets.items().value(RevenueCatWatcher::keychainAccount()), u"sk_key"_s);
    EXPECT_FALSE(stripeSection().showsConnectedForm()) << "the sections are independent";
}

TEST_F(SettingsWindowTest, TheStateLineFollowsTheWatcherAndItsTimeStaysCurrentOnlyWhileShown)
{
    secrets.save(u"rk_live_abc"_s, StripeWatcher::keychainAccount());
    SettingsView& view = open();
    SettingsSection& section = stripeSection();
    EXPECT_TRUE(section.showsConnectedForm());
    EXPECT_TRUE(stripeSection().testModeMarker()->isHidden()) << "a live key";
    EXPECT_EQ(section.statusLine()->text(), u"Not connected"_s) << "not polled yet";

    run(stripe->pollNow());
    EXPECT_EQ(section.statusLine()->text(), u"Watching · checked 0 sec ago"_s);
    scheduler.advance(65);
    EXPECT_TRUE(view.isTicking());
    EXPECT_TRUE(waitUntil([&] { return section.statusLine()->text() == u"Watching · checked 1 min, 5 sec ago"_s; }, 2500));

    // Hidden: no timer, so nothing wakes up; shown again, the time is current at once.
    view.close();
    EXPECT_FALSE(view.isTicking());
    scheduler.advance(60);
    QTest::qWait(1200);
    EXPECT_EQ(section.statusLine()->text(), u"Watching · checked 1 min, 5 sec ago"_s);
    controller->show();
    EXPECT_TRUE(view.isTicking());
    EXPECT_EQ(section.statusLine()->text(), u"Watching · checked 2 min, 5 sec ago"_s);

    server.route(u"/v1/charges"_s, 401, R"({"error":{"message":"Invalid API Key provided"}})");
    run(stripe->pollNow());
    EXPECT_EQ(section.statusLine()->text(),
        u"Stripe didn't accept this key. It may have been deleted or rolled; create a new restricted key."_s);
    EXPECT_EQ(section.statusLine()->symbol()->kind(), Kind::exclamationTriangleFill);
    EXPECT_TRUE(isWarm(section.statusLine()->symbol()->color(), 20, 45));

    // A disconnect from elsewhere (the command line's reload) shows up without a click here.
    secrets.remove(StripeWatcher::keychainAccount());
    stripe->reload();
    EXPECT_EQ(section.statusLine()->text(), u"Not connected"_s);
    EXPECT_FALSE(section.showsConnectedForm());
}

TEST_F(SettingsWindowTest, TheWindowIsMadeOnceClosesByKeyAndKeepsWhatWasTyped)
{
    build();
    EXPECT_EQ(controller->window(), nullptr) << "nothing is built before the first show";
    controller->show();
    SettingsView& view = *controller->view();
    QPointer<QWidget> window = controller->window();
    EXPECT_EQ(window, &view);
    EXPECT_EQ(window->windowTitle(), u"Bonkbell"_s);
    EXPECT_EQ(window->minimumWidth(), 560);
    EXPECT_EQ(window->maximumSize(), window->minimumSize()) << "no resizing";
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    EXPECT_EQ(QApplication::focusWidget(), stripeSection().keyField()) << "ready for the first key";

    type(revenueCatSection().keyField(), u"sk_draft"_s);
    QTest::keyClick(revenueCatSection().keyField(), Qt::Key_W, Qt::ControlModifier);
    ASSERT_FALSE(window.isNull());
    EXPECT_FALSE(window->isVisible());

    controller->show();
    EXPECT_EQ(controller->window(), window.data());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(revenueCatSection().keyField()->text(), u"sk_draft"_s);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());

    controller->show();
    QTest::mouseClick(view.testButton(), Qt::LeftButton);
    EXPECT_EQ(testSlaps, 1);

    LinkCatcher links;
    for (QLabel* link : {stripeSection().linkLabel(), revenueCatSection().linkLabel()}) {
        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(8, link->height() / 2));
    }
    EXPECT_EQ(links.opened, (QList<QUrl>{StripeWatcher::createKeyURL(), RevenueCatWatcher::dashboardURL()}));
}

TEST_F(SettingsWindowTest, AConnectRunningWhenTheWindowClosesFinishesAndShowsOnReopening)
{
    SettingsView& view = open();
    slowStripe(200);
    type(stripeSection().keyField(), u"rk_live_abc"_s);
    QTest::mouseClick(stripeSection().connectButton(), Qt::LeftButton);
    view.close();
    ASSERT_TRUE(waitUntil([&] { return stripe->isConnected() && !stripeSection().isBusy(); }));
    controller->show();
    EXPECT_TRUE(stripeSection().showsConnectedForm());
    EXPECT_TRUE(stripeSection().keyField()->text().isEmpty());
    EXPECT_TRUE(stripeSection().messageLabel()->isHidden());
}

TEST(SettingsText, ElapsedTimeShowsTheTwoLargestUnits)
{
    const QList<std::pair<qint64, QString>> cases{
        {-3, u"0 sec"_s}, {0, u"0 sec"_s}, {59, u"59 sec"_s}, {60, u"1 min"_s}, {65, u"1 min, 5 sec"_s},
        {3599, u"59 min, 59 sec"_s}, {3605, u"1 hr"_s}, {3785, u"1 hr, 3 min"_s}, {86400, u"1 day"_s},
        {3 * 86400 + 4 * 3600 + 59, u"3 days, 4 hr"_s}};
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(SettingsStatusLine::elapsedText(seconds), text) << seconds;
}

TEST(SettingsText, BoldSpansAreMarkedUpAndEverythingElseEscaped)
{
    EXPECT_EQ(SettingsStyle::withBoldSpans(u"Give it **Charts & metrics → overview: Read**. <Done>"_s),
        u"Give it <b>Charts &amp; metrics → overview: Read</b>. &lt;Done&gt;"_s);
    EXPECT_EQ(SettingsStyle::withBoldSpans(u"**a** and **b**"_s), u"<b>a</b> and <b>b</b>"_s);
    EXPECT_EQ(SettingsStyle::withBoldSpans(u"a ** b"_s), u"a ** b"_s) << "an unpaired marker is text";
}

// Writes the looks of the window for the docs: run with BONKBELL_SETTINGS_SHOTS set to a directory,
// once plainly and once with QT_SCALE_FACTOR=2.
TEST_F(SettingsWindowTest, DISABLED_WriteScreenshots)
{
    const QString dir = qEnvironmentVariable("BONKBELL_SETTINGS_SHOTS");
    ASSERT_FALSE(dir.isEmpty()) << "set BONKBELL_SETTINGS_SHOTS to a directory";
    QDir().mkpath(dir);
    SettingsView& view = open();
    const QString suffix = view.devicePixelRatio() > 1 ? u"@2x"_s : QString();
    const auto shoot = [&](const QString& name) {
        QTest::qWait(50);
        EXPECT_TRUE(view.grab().save(u"%1/%2%3.png"_s.arg(dir, name, suffix)));
    };
    shoot(u"settings-window"_s);

    type(stripeSection().keyField(), u"rk_test_abc"_s);
    stripeSection().startConnect();
    type(revenueCatSection().keyField(), u"sk_abc"_s);
    type(revenueCatSection().projectField(), u"nope"_s);
    revenueCatSection().startConnect();
    ASSERT_TRUE(waitUntil([&] { return !revenueCatSection().isBusy() && stripe->lastChecked(); }));
    stripe->stopLoop();
    scheduler.advance(72);
    QTest::qWait(1100);
    shoot(u"settings-connected"_s);

    type(revenueCatSection().projectField(), u"proj1"_s);
    revenueCatSection().startConnect();
    ASSERT_TRUE(waitUntil([&] { return !revenueCatSection().isBusy() && revenueCat->lastChecked(); }));
    revenueCat->stopLoop();
    server.route(u"/v2/projects/proj1/metrics/revenue"_s, 403, "{}");
    run(revenueCat->pollNow());
    server.route(u"/v1/charges"_s, 401, "{}");
    run(stripe->pollNow());
    shoot(u"settings-problem"_s);
}

} // namespace

#include "SettingsWindowTest.moc"
