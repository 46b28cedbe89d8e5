#include "common/LoopbackServer.h"
#include "common/TestEnvironment.h"
#include "support/AppIdentity.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;
using TestEnvironment::waitUntil;

const QRgb outline = qRgb(58, 32, 14);
const QRgb face = qRgb(236, 190, 140);
const QRgb backdrop = qRgb(48, 96, 160);

// A plain window covering the screen, beneath the overlay, that counts the clicks it gets.
class Backdrop : public QWidget {
public:
    int clicks = 0;
    Backdrop()
    {
        setAutoFillBackground(true);
        QPalette colors = palette();
        colors.setColor(QPalette::Window, QColor(backdrop));
        setPalette(colors);
        setGeometry(QGuiApplication::primaryScreen()->geometry());
    }

protected:
    void mousePressEvent(QMouseEvent*) override { ++clicks; }
};

// The real app on the session's X display with no compositor: the overlay must then be cut to
// the monkey's pixels, so everything around it shows what lies beneath.
class OnScreenTest : public testing::Test {
protected:
    QTemporaryDir root;
    QProcess app;
    Backdrop backdropWindow;
    LoopbackServer stripe;

    void SetUp() override
    {
        backdropWindow.show();
        ASSERT_TRUE(waitUntil([&] { return backdropWindow.isVisible() && sample(5, 5) == backdrop; }));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        for (const char* dir : {"HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_DATA_HOME"})
            env.insert(QString::fromLatin1(dir), root.filePath(QString::fromLatin1(dir)));
        env.insert(u"BONKBELL_INBOX"_s, root.filePath(u"inbox"_s));
        env.insert(u"BONKBELL_STRIPE_BASE"_s, stripe.base().toString());
        app.setProcessEnvironment(env);
        app.start(QStringLiteral(BONKBELL_EXECUTABLE), {});
        ASSERT_TRUE(waitUntil([&] { return log().contains(QByteArray("started v") + AppIdentity::version); }));
    }

    void TearDown() override
    {
        app.kill();
        app.waitForFinished();
    }

    QByteArray log() const { return TestEnvironment::readFile(root.filePath(u"XDG_STATE_HOME/Bonkbell/Bonkbell.log"_s)); }

    // Where a colour shows in a region of the screen.
    static QList<QPoint> find(const QImage& shot, QRgb colour, const QRect& region)
    {
        QList<QPoint> found;
        for (int y = region.top(); y <= region.bottom(); ++y)
            for (int x = region.left(); x <= region.right(); ++x)
                if ((shot.pixel(x, y) | 0xff000000) == colour)
                    found.append(QPoint(x, y));
        return found;
    }

    static QImage screen() { return QGuiApplication::primaryScreen()->grabWindow(0).toImage(); }
    static QRgb sample(int x, int y) { return screen().pixel(x, y) | 0xff000000; }

    // Where a colour shows in the top-right corner, the monkey's place.
    static QList<QPoint> find(const QImage& shot, QRgb colour) { return find(shot, colour, QRect(shot.width() - 413, 0, 413, 480)); }

    static void click(QPoint at)
    {
        QProcess::execute(u"xdotool"_s, {u"mousemove"_s, QString::number(at.x()), QString::number(at.y())});
        QTest::qWait(150);   // the overlay checks the pointer every 50 ms
        QProcess::execute(u"xdotool"_s, {u"click"_s, u"1"_s});
    }
};

TEST_F(OnScreenTest, TheMonkeyHangsInTheCornerWithNothingAroundIt)
{
    QList<QPoint> edges;
    ASSERT_TRUE(waitUntil([&] { return (edges = find(screen(), outline)).size() > 200; })) << "the outline never showed";
    for (const QPoint& p : edges) {
        // 22 sprite pixels of 4 points, 28 points from the right edge, swaying a few points.
        EXPECT_GE(p.x(), 1920 - 28 - 88 - 12);
        EXPECT_LT(p.x(), 1920 - 28 + 12);
        EXPECT_LT(p.y(), 160);
    }
    const QImage shot = screen();
    EXPECT_EQ(shot.pixel(1920 - 400, 400) | 0xff000000, backdrop) << "no black box around the monkey";
    EXPECT_EQ(shot.pixel(1920 - 10, 5) | 0xff000000, backdrop);
}

TEST_F(OnScreenTest, ClicksPassThroughClearPixelsButNotTheMonkey)
{
    ASSERT_TRUE(waitUntil([&] { return find(screen(), face).size() > 100; }));
    click(QPoint(1920 - 300, 300));
    ASSERT_TRUE(waitUntil([&] { return backdropWindow.clicks == 1; })) << "a clear pixel of the overlay kept the click";

    const QList<QPoint> belly = find(screen(), face);
    QPointF middle;
    for (const QPoint& p : belly)
        middle += QPointF(p) / belly.size();
    click(middle.toPoint());
    ASSERT_TRUE(waitUntil([&] { return log().contains("monkey hidden (click on monkey)"); })) << log().constData();
    EXPECT_EQ(backdropWindow.clicks, 1);
}

TEST_F(OnScreenTest, ADroppedEventShowsItsNoteAtTheMonkeysHand)
{
    const QRgb salePaper = qRgb(255, 228, 92);
    QDir().mkpath(root.filePath(u"inbox"_s));
    TestEnvironment::writeFile(root.filePath(u"inbox/.e.tmp"_s), R"({"kind":"sale","headline":"New sale!","who":"Jane"})");
    QFile::rename(root.filePath(u"inbox/.e.tmp"_s), root.filePath(u"inbox/e.json"_s));
    // The slap lands 0.47 s in; the note then stays for 8 s.
    QList<QPoint> paper;
    const QRect leftOfTheMonkey(1920 - 700, 0, 700, 480);
    ASSERT_TRUE(waitUntil([&] { return (paper = find(screen(), salePaper, leftOfTheMonkey)).size() > 5000; }, 5000))
        << "no note: " << log().constData();
    int right = 0;
    for (const QPoint& p : paper)
        right = std::max(right, p.x());
    // The note's right edge sits 12 points right of the hand, which slaps 175 points left of rest.
    EXPECT_GT(right, 1920 - 28 - 88 - 175 - 40);
    EXPECT_LT(right, 1920 - 28 - 88 - 175 + 60);
}

// The first run opens the settings window; a key the service refuses shows its message in red.
TEST_F(OnScreenTest, ABadKeyTypedIntoTheSettingsWindowIsRefusedOnScreen)
{
    stripe.route(u"/v1/charges"_s, 401, R"({"error":{"message":"Invalid API Key provided"}})");
    QString window;
    ASSERT_TRUE(waitUntil([&] {
        QProcess search;
        search.start(u"xdotool"_s, {u"search"_s, u"--name"_s, u"^Bonkbell$"_s});
        search.waitForFinished();
        for (const QString& id : QString::fromUtf8(search.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts)) {
            QProcess geometry;
            geometry.start(u"xdotool"_s, {u"getwindowgeometry"_s, id});
            geometry.waitForFinished();
            if (!geometry.readAllStandardOutput().contains("x1\n"))   // not the 1×1 helper windows
                window = id;
        }
        return !window.isEmpty();
    })) << "the settings window did not open on the first run";
    QProcess::execute(u"xdotool"_s, {u"windowfocus"_s, u"--sync"_s, window});
    QProcess::execute(u"xdotool"_s, {u"type"_s, u"--window"_s, window, u"rk_live_bad"_s});
    QProcess::execute(u"xdotool"_s, {u"key"_s, u"--window"_s, window, u"Return"_s});

    ASSERT_TRUE(waitUntil([&] { return !stripe.requestsTo(u"/v1/charges"_s).isEmpty(); }, 5000)) << "no key was checked";
    EXPECT_EQ(stripe.requestsTo(u"/v1/charges"_s).first().headers.value("authorization"), "Bearer rk_live_bad");
    // The refusal in red: many strongly red pixels inside the window.
    const auto redPixels = [] {
        const QImage shot = screen();
        int count = 0;
        for (int y = 0; y < shot.height(); y += 1)
            for (int x = 0; x < shot.width() - 420; ++x) {
                const QRgb p = shot.pixel(x, y);
                count += qRed(p) > 150 && qGreen(p) < 90 && qBlue(p) < 90;
            }
        return count;
    };
    EXPECT_TRUE(waitUntil([&] { return redPixels() > 50; }, 5000));
    EXPECT_FALSE(log().contains("rk_live_bad")) << "keys never reach the log";
}

} // namespace
