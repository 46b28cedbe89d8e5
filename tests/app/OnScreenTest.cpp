#include "app/AppProcessTest.h"
#include "common/LoopbackServer.h"
#include "common/NestedCompositor.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <numeric>

namespace {

using namespace Qt::StringLiterals;
using TestEnvironment::waitUntil;

const QRgb outline = qRgb(58, 32, 14), face = qRgb(236, 190, 140), backdrop = qRgb(48, 96, 160),
           paper = qRgb(255, 228, 92);
const QRect corner(1920 - 413, 0, 413, 480), noteArea(1920 - 700, 0, 700, 480); // the monkey's place, and its note's

// A plain window covering the screen, beneath the overlay, that counts the clicks it gets.
struct Backdrop : QWidget {
    int clicks = 0;
    Backdrop()
    {
        setAutoFillBackground(true);
        setPalette(QPalette(QColor(backdrop), QColor(backdrop)));
        setGeometry(QGuiApplication::primaryScreen()->geometry());
    }
    void mousePressEvent(QMouseEvent*) override { ++clicks; }
};

QList<QPoint> find(const std::function<bool(QRgb)>& test, QRect region = corner)
{
    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    QList<QPoint> found;
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x <= region.right(); ++x)
            if (test(shot.pixel(x, y)))
                found.append(QPoint(x, y));
    return found;
}

QList<QPoint> find(QRgb rgb, QRect region = corner)
{
    return find([=](QRgb p) { return (p | 0xff000000) == rgb; }, region);
}

// What a desktop tool prints.
QString output(const QString& program, const QStringList& arguments)
{
    QProcess run;
    run.start(program, arguments);
    run.waitForFinished();
    return QString::fromUtf8(run.readAllStandardOutput());
}
QString xdotool(const QStringList& arguments)
{
    return output(u"xdotool"_s, arguments);
}
QString xprop(const QString& property)
{
    return output(u"xprop"_s, {u"-root"_s, property});
}

// The real app on the session's X display with no compositor: the overlay must then be cut to
// the monkey's pixels, so everything around it shows what lies beneath.
class OnScreenTest : public AppProcessTest {
protected:
    Backdrop beneath;
    LoopbackServer stripe;
    void SetUp() override
    {
        beneath.show();
        ASSERT_TRUE(waitUntil([&] { return find(backdrop, QRect(5, 5, 1, 1)).size() == 1; }));
        configure(stripe.base(), stripe.base());
        startApp();
    }
};

TEST_F(OnScreenTest, ABadKeyIsRefusedTheMonkeyHangsInTheCornerClicksAroundItPassAndEventsBringNotes)
{
    // The first run opens the settings window; a key the service refuses shows its message in red.
    stripe.route(u"/v1/charges"_s, 401, R"({"error":{"message":"Invalid API Key provided"}})");
    QString window;
    ASSERT_TRUE(waitUntil([&] {
        for (const QString& id : xdotool({u"search"_s, u"--name"_s, u"^Bonkbell$"_s}).split(u'\n', Qt::SkipEmptyParts))
            if (!xdotool({u"getwindowgeometry"_s, id}).contains(u"x1\n"_s)) // not the 1×1 helper windows
                window = id;
        return !window.isEmpty();
    })) << "the settings window did not open on the first run";
    xdotool({u"windowfocus"_s, u"--sync"_s, window});
    xdotool({u"type"_s, u"--window"_s, window, u"rk_live_bad"_s});
    xdotool({u"key"_s, u"--window"_s, window, u"Return"_s});
    ASSERT_TRUE(waitUntil([&] { return !stripe.requestsTo(u"/v1/charges"_s).isEmpty(); })) << "no key was checked";
    EXPECT_EQ(stripe.requestsTo(u"/v1/charges"_s).first().headers.value("authorization"), "Bearer rk_live_bad");
    const auto red = [](QRgb p) { return qRed(p) > 150 && qGreen(p) < 90 && qBlue(p) < 90; }; // the refusal
    EXPECT_TRUE(waitUntil([&] { return find(red, QRect(0, 0, 1920 - 420, 1080)).size() > 50; }));
    EXPECT_FALSE(TestEnvironment::readFile(logPath).contains("rk_live_bad")) << "keys never reach the log";
    QList<QPoint> edges;
    ASSERT_TRUE(waitUntil([&] { return (edges = find(outline)).size() > 200 && find(face).size() > 100; }));
    for (const QPoint& p : edges) // 22 sprite pixels of 4 points, 28 points from the right edge, swaying a few points
        EXPECT_TRUE(p.x() >= 1920 - 28 - 88 - 12 && p.x() < 1920 - 28 + 12 && p.y() < 160) << p.x() << "," << p.y();
    EXPECT_EQ(find(backdrop, QRect(1920 - 400, 400, 1, 1)).size(), 1) << "no black box around the monkey";
    EXPECT_EQ(find(backdrop, QRect(1920 - 10, 5, 1, 1)).size(), 1);
    // The X server itself sends a click to the overlay or past it, by the overlay's input shape.
    xdotool({u"mousemove"_s, u"1620"_s, u"300"_s, u"click"_s, u"1"_s});
    ASSERT_TRUE(waitUntil([&] { return beneath.clicks == 1; })) << "a clear pixel of the overlay kept the click";
    const QList<QPoint> belly = find(face);
    const QPoint middle = (std::accumulate(belly.begin(), belly.end(), QPointF()) / belly.size()).toPoint();
    xdotool(u"mousemove %1 %2 click 1"_s.arg(middle.x()).arg(middle.y()).split(u' '));
    ASSERT_TRUE(waitUntil([&] { return logMessages().contains(u"monkey hidden (click on monkey)"_s); }));
    EXPECT_EQ(beneath.clicks, 1);
    // Hidden, the monkey still drops in to slap; 0.47 s in, the note shows at its hand for 8 s.
    publish(R"({"kind":"sale","headline":"New sale!","who":"Jane"})");
    QList<QPoint> note;
    ASSERT_TRUE(waitUntil([&] { return (note = find(paper, noteArea)).size() > 5000; })) << logText();
    // Its tape, half see-through where it sticks out, has no compositor to blend it: white, not grey.
    EXPECT_TRUE(waitUntil([&] { return find(qRgb(255, 255, 255), noteArea).size() > 300; }, 2000));
    // The note's right edge sits 12 points right of the hand, which slaps 175 points left of rest.
    const int right = std::max_element(note.begin(), note.end(), [](QPoint a, QPoint b) { return a.x() < b.x(); })->x();
    EXPECT_TRUE(right > 1920 - 28 - 88 - 175 - 40 && right < 1920 - 28 - 88 - 175 + 60) << right;
}

// The app under a window manager, started for the case on the session's display; a managed
// window of this process opens over the corner later and takes the focus.
class DesktopTest : public AppProcessTest, public testing::WithParamInterface<QString> {
protected:
    QProcess manager;
    Backdrop editor;
    void SetUp() override
    {
        output(u"dbus-update-activation-environment"_s, {u"DISPLAY"_s}); // for the services KWin starts
        manager.start(GetParam(), {u"--replace"_s});
        ASSERT_TRUE(waitUntil([&] { return xprop(u"_NET_SUPPORTING_WM_CHECK"_s).contains(u"window id"_s); }, 20000));
        QTest::qWait(1000); // openbox names itself before it manages windows
        TestEnvironment::writeFile(preferences, "[General]\nshownSetup=true\nsound=false\nnoteSeconds=3\n");
        startApp();
    }
    void TearDown() override
    {
        AppProcessTest::TearDown();
        manager.kill();
        manager.waitForFinished();
    }
    bool monkeyShows() { return find(outline).size() > 200; }
};

// Unmanaged overlays: nothing lists them or hides them with their application, they take no
// focus, a window raised over them does not cover them, and they show on every workspace. An
// active window fullscreen on the monkey's screen holds the shows and has the monkey climb out of
// its way; another window taking the focus, the window leaving fullscreen, or its closing, ends the hold.
TEST_P(DesktopTest, TheMonkeyAndItsNoteShowOnTopOnEveryWorkspaceAndAnActiveFullscreenWindowHoldsTheShows)
{
    ASSERT_TRUE(waitUntil([&] { return monkeyShows(); }));
    // A window opened over the corner goes on top of the stack, and takes the focus.
    editor.setGeometry(QRect(1000, 0, 920, 700));
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
    xdotool({u"windowactivate"_s, u"--sync"_s, QString::number(editor.winId())});
    ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
    QTest::qWait(300);
    EXPECT_TRUE(monkeyShows()) << "a window opened over the corner covers the monkey";
    const QString id = u"0x%1"_s.arg(editor.winId(), 0, 16);
    EXPECT_EQ(xprop(u"_NET_CLIENT_LIST"_s).trimmed(), u"_NET_CLIENT_LIST(WINDOW): window id # "_s + id)
        << "listed for a taskbar";
    output(u"wmctrl"_s, {u"-n"_s, u"2"_s});
    output(u"wmctrl"_s, {u"-s"_s, u"1"_s});
    ASSERT_TRUE(waitUntil([&] { return editor.isHidden() || find(backdrop).isEmpty(); }))
        << "still on the first workspace";
    EXPECT_TRUE(monkeyShows()) << "not on the second workspace";
    publish(R"({"kind":"sale","headline":"New sale!","who":"Jane"})");
    EXPECT_TRUE(waitUntil([&] { return find(paper, noteArea).size() > 5000; })) << "no note";
    output(u"wmctrl"_s, {u"-s"_s, u"0"_s});
    EXPECT_TRUE(waitUntil([&] { return xprop(u"_NET_ACTIVE_WINDOW"_s).contains(id); })) << "the focus moved";
    QWidget other;
    other.setGeometry(0, 0, 200, 200);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    const auto holds
        = [&](int count, const QString& what) { return waitUntil([&] { return logLines(what).size() == count; }); };
    output(u"wmctrl"_s, {u"-i"_s, u"-r"_s, id, u"-b"_s, u"add,fullscreen"_s});
    output(u"wmctrl"_s,
        {u"-i"_s, u"-r"_s, QString::number(other.winId()), u"-b"_s, u"add,above"_s}); // a state, not fullscreen
    const std::tuple<QString, int, QString> steps[] = {{id, 1, u"^holding shows"_s},
        {QString::number(other.winId()), 1, u"^resuming shows"_s}, {id, 2, u"^holding shows"_s}};
    for (const auto& [window, count, line] : steps) {
        xdotool({u"windowactivate"_s, u"--sync"_s, window});
        ASSERT_TRUE(holds(count, line)) << logText();
    }
    EXPECT_TRUE(waitUntil([&] { return find(outline).isEmpty(); })) << "the monkey stays over the fullscreen window";
    output(u"wmctrl"_s, {u"-i"_s, u"-r"_s, id, u"-b"_s, u"remove,fullscreen"_s});
    ASSERT_TRUE(holds(2, u"^resuming shows"_s)) << logText();
    EXPECT_TRUE(waitUntil([&] { return monkeyShows(); })) << "the monkey does not come back";
    // The last window, another client's, gone with its connection as a closed terminal's is:
    // openbox's root still names it as active, yet the hold ends.
    editor.hide();
    other.hide();
    QProcess last;
    last.start(u"xev"_s);
    const QRegularExpression outer(u"Outer window is (0x[0-9a-f]+)"_s);
    QString printed;
    ASSERT_TRUE(
        waitUntil([&] { return (printed += QString::fromUtf8(last.readAllStandardOutput())).contains(outer); }));
    const QString lastId = outer.match(printed).captured(1);
    ASSERT_TRUE(waitUntil([&] { return xprop(u"_NET_CLIENT_LIST"_s).contains(lastId); })) << "not managed";
    xdotool({u"windowactivate"_s, u"--sync"_s, lastId});
    output(u"wmctrl"_s, {u"-i"_s, u"-r"_s, lastId, u"-b"_s, u"add,fullscreen"_s});
    ASSERT_TRUE(holds(3, u"^holding shows"_s)) << logText();
    // The first note gone, so nothing but the hold keeps the next show back.
    ASSERT_TRUE(waitUntil([&] { return logMessages().contains(u"note closed (timeout)"_s); })) << logText();
    publish(R"({"kind":"sale","headline":"Held"})", u"held"_s);
    QTest::qWait(1500); // read, and held past the pause after the last show
    last.kill();
    ASSERT_TRUE(holds(2, u"^slap: "_s)) << logText();
    EXPECT_EQ(logLines(u" shows|^slap: "_s),
        QStringList({u"slap: sale New sale! | Jane |  (sound: off)"_s, u"holding shows (fullscreen)"_s,
            u"resuming shows"_s, u"holding shows (fullscreen)"_s, u"resuming shows"_s, u"holding shows (fullscreen)"_s,
            u"resuming shows"_s, u"slap: sale Held |  |  (sound: off)"_s}));
}

// A Wayland session: the app on the XWayland server of a nested compositor (top left of the test
// display), over a native Wayland window filling that screen that logs its clicks and its keyboard
// focus. KDE's compositor and sway offer layer surfaces, which then show the overlays; GNOME's does
// not, and ignores input shapes over its own clients: the XWayland windows are cut to what they draw.
class WaylandSessionTest : public AppProcessTest, public testing::WithParamInterface<NestedCompositor::Kind> {
protected:
    QTemporaryDir entries; // KWin lists its windows only to an executable a desktop entry names
    NestedCompositor compositor{GetParam(), withEntry(app.processEnvironment())};
    QProcess native;
    QString clicksLog;
    const QRect nested{0, 0, 800, 600};
    void SetUp() override
    {
        ASSERT_TRUE(compositor.start()) << compositor.output().toStdString();
        native.setProcessEnvironment(compositor.environment());
        native.start(u"stdbuf"_s,
            {u"-oL"_s, u"weston-eventdemo"_s, u"--log-button"_s, u"--log-focus"_s, u"-w800"_s,
                u"-h600"_s}); // a line per click
        ASSERT_TRUE(waitUntil([&] { return find(qRgb(255, 0, 0), QRect(400, 300, 1, 1)).size() == 1; }, 10000))
            << "no native window";
        app.setProcessEnvironment(compositor.environment());
        TestEnvironment::writeFile(preferences, "[General]\nshownSetup=true\nsound=false\n");
        startApp();
    }
    void TearDown() override
    {
        AppProcessTest::TearDown();
        native.kill();
        native.waitForFinished();
    }
    // Clicks at `p` until `done`, or gives up. The nested compositor may drop a click that follows the pointer onto
    // another window, more so under load, so each retry comes from elsewhere, as a person's would.
    bool clicksUntil(QPoint p, const std::function<bool()>& done)
    {
        for (int attempt = 0; attempt < 8 && !done(); ++attempt) {
            if (attempt > 0)
                xdotool({u"mousemove"_s, u"200"_s, u"560"_s});
            xdotool(u"mousemove %1 %2 sleep 0.3 mousedown 1 sleep 0.15 mouseup 1"_s.arg(p.x()).arg(p.y()).split(u' '));
            waitUntil(done, 2000);
        }
        return done();
    }
    // Whether a click at `p` reaches the native window; one that cannot pass never arrives.
    bool reachesNative(QPoint p)
    {
        const auto clicks
            = [&] { return (clicksLog += QString::fromUtf8(native.readAll())).count(u"state: pressed"_s); };
        const qsizetype before = clicks();
        return clicksUntil(p, [&] { return clicks() > before; });
    }
    bool clicksUntilLogged(QPoint p, const QString& message)
    {
        return clicksUntil(p, [&] { return logMessages().contains(message); });
    }
    bool hidesOnClick(QPoint p) { return clicksUntilLogged(p, u"monkey hidden (click on monkey)"_s); }
    QProcessEnvironment withEntry(QProcessEnvironment env)
    {
        TestEnvironment::writeFile(entries.filePath(u"applications/com.bonkbell.mac.desktop"_s),
            "[Desktop Entry]\nType=Application\nName=Bonkbell\nExec=" BONKBELL_EXECUTABLE
            "\nX-KDE-Wayland-Interfaces=org_kde_plasma_window_management\n");
        env.insert(u"XDG_DATA_DIRS"_s, entries.path() + u":/usr/share"_s);
        return env;
    }
};

TEST_P(WaylandSessionTest, ClearPixelsOfTheOverlaysLeaveNativeWindowsTheirClicksAndTheKeyboard)
{
    const bool gnome = GetParam() == NestedCompositor::Kind::Mutter;
    EXPECT_TRUE(logMessages().contains(gnome ? u"overlays: x11"_s : u"overlays: wayland layer-shell"_s)) << logText();
    QList<QPoint> belly;
    ASSERT_TRUE(waitUntil([&] { return (belly = find(face, nested)).size() > 100; }));
    ASSERT_TRUE(reachesNative(QPoint(200, 500))) << "the native window takes no clicks";
    // A native window gone fullscreen holds the shows until it closes (GNOME tells no other program of its
    // native windows).
    if (!gnome) {
        QProcess fullscreen;
        fullscreen.setProcessEnvironment(compositor.environment());
        fullscreen.start(u"weston-terminal"_s, {u"--fullscreen"_s});
        const auto logged
            = [&](const QString& line) { return waitUntil([&] { return logMessages().contains(line); }); };
        EXPECT_TRUE(logged(u"holding shows (fullscreen)"_s)) << logText();
        fullscreen.kill();
        fullscreen.waitForFinished();
        EXPECT_TRUE(logged(u"resuming shows"_s)) << logText();
        ASSERT_TRUE(waitUntil([&] { return find(face, nested).size() > 100; })) << "the monkey stays away";
        ASSERT_TRUE(reachesNative(QPoint(200, 500))); // the native window's focus again, heard
    }
    const QString focus = clicksLog;
    QProcess windows; // the monkey's panel, a window on the XWayland server even where unmapped
    windows.setProcessEnvironment(app.processEnvironment());
    windows.start(u"xwininfo"_s, {u"-root"_s, u"-children"_s});
    windows.waitForFinished();
    const auto size = QRegularExpression(uR"("Bonkbell": \("bonkbell" "Bonkbell"\)\s+(\d+)x(\d+)\+(\d+)\+(\d+))"_s)
                          .match(QString::fromUtf8(windows.readAll()));
    const QPoint clear(size.captured(3).toInt() + 2,
        size.captured(4).toInt() + size.captured(2).toInt() - 3); // its bottom left corner
    ASSERT_TRUE(find([](QRgb p) { return qRed(p) > 40; }, QRect(clear - QPoint(2, 2), QSize(5, 5))).isEmpty());
    EXPECT_TRUE(reachesNative(clear) && !logMessages().contains(u"monkey hidden (click on monkey)"_s))
        << "a clear pixel of the monkey's panel kept the click";
    EXPECT_TRUE(hidesOnClick((std::accumulate(belly.begin(), belly.end(), QPointF()) / belly.size()).toPoint()));
    // A note's margin, room for its landing and fall, passes its clicks too; its paper closes it.
    publish(R"({"kind":"sale","headline":"New sale!"})");
    ASSERT_TRUE(waitUntil([&] { return find(paper, nested).size() > 5000; }));
    QTest::qWait(1000); // landed
    const QList<QPoint> note = find(paper, nested);
    const QPoint margin
        = *std::min_element(note.begin(), note.end(), [](QPoint a, QPoint b) { return a.x() < b.x(); }) - QPoint(14, 0);
    const QString closed = u"note closed (click)"_s;
    EXPECT_TRUE(reachesNative(margin) && !logMessages().contains(closed))
        << "a click in the note's margin at " << margin.x() << "," << margin.y();
    publish(R"({"kind":"sale","headline":"Another!"})", u"f"_s); // the first may be gone by now
    QList<QPoint> again;
    ASSERT_TRUE(waitUntil([&] { return (again = find(paper, nested)).size() > 5000; }));
    EXPECT_TRUE(clicksUntilLogged(again[again.size() / 2], closed));
    QTest::qWait(500); // gone
    // The keyboard stayed with the native window all along: it heard no focus change since.
    EXPECT_EQ((clicksLog += QString::fromUtf8(native.readAll())).mid(focus.size()).count(u"focus"_s), 0)
        << clicksLog.mid(focus.size()).toStdString();
}

std::string compositorName(const testing::TestParamInfo<NestedCompositor::Kind>& info)
{
    const char* names[] = {"mutter", "kwin_wayland", "sway"};
    return names[int(info.param)];
}
INSTANTIATE_TEST_SUITE_P(Compositors, WaylandSessionTest,
    testing::Values(NestedCompositor::Kind::Mutter, NestedCompositor::Kind::KWin, NestedCompositor::Kind::Sway),
    compositorName);

INSTANTIATE_TEST_SUITE_P(WindowManagers, DesktopTest, testing::Values(u"openbox"_s, u"xfwm4"_s, u"kwin_x11"_s),
    [](const testing::TestParamInfo<QString>& info) { return info.param.toStdString(); });

} // namespace
