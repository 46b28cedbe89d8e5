#include "overlay/WaylandFullscreenWatch.h"
#include "common/NestedCompositor.h"
#include "common/TestEnvironment.h"

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <wayland-client.h>

#include <optional>

namespace {

using namespace Qt::StringLiterals;
using Kind = NestedCompositor::Kind;
using TestEnvironment::waitUntil;

// A client connection to a nested compositor, dispatched from the event loop as the overlay's owner does.
class Connection {
public:
    explicit Connection(const NestedCompositor& compositor)
        : m_display(wl_display_connect(
            QFile::encodeName(compositor.runtimeDir() + u'/' + compositor.waylandDisplay()).constData()))
    {
        if (!m_display)
            return;
        m_notifier.emplace(wl_display_get_fd(m_display), QSocketNotifier::Read);
        QObject::connect(&*m_notifier, &QSocketNotifier::activated, [this] {
            while (wl_display_prepare_read(m_display) != 0)
                wl_display_dispatch_pending(m_display);
            wl_display_read_events(m_display);
            wl_display_dispatch_pending(m_display);
            wl_display_flush(m_display); // what the watch asked for in answer
        });
    }
    ~Connection()
    {
        m_notifier.reset();
        if (m_display)
            wl_display_disconnect(m_display);
    }
    wl_display* display() const { return m_display; }

private:
    wl_display* m_display;
    std::optional<QSocketNotifier> m_notifier;
};

// The watch on its own connection to a nested compositor, beside a native client that goes fullscreen.
class WaylandFullscreenWatchTest : public testing::Test {
protected:
    QTemporaryDir data; // KWin lists its windows only to executables a desktop file names
    std::optional<NestedCompositor> compositor;
    std::optional<Connection> connection;
    std::optional<WaylandFullscreenWatch> watch;
    std::optional<QSignalSpy> changes;
    QProcess client;

    void start(Kind kind)
    {
        TestEnvironment::writeFile(data.filePath(u"applications/bonkbell-watch-test.desktop"_s),
            "[Desktop Entry]\nType=Application\nName=Watch test\nExec=" + QFile::encodeName(qApp->applicationFilePath())
                + "\nX-KDE-Wayland-Interfaces=org_kde_plasma_window_management\n");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_DATA_DIRS"_s, data.path() + u":/usr/local/share:/usr/share"_s);
        compositor.emplace(kind, env);
        ASSERT_TRUE(compositor->start()) << compositor->output().toStdString();
        connection.emplace(*compositor);
        ASSERT_TRUE(connection->display());
        watch.emplace(connection->display());
        changes.emplace(&*watch, &WaylandFullscreenWatch::changed);
        client.setProcessEnvironment(compositor->environment());
        client.setProcessChannelMode(QProcess::ForwardedChannels);
    }
    void TearDown() override
    {
        client.kill();
        client.waitForFinished();
        watch.reset();
    }
    // Waits for the watch to tell `on`, and for nothing else after it.
    bool turns(bool on)
    {
        return waitUntil([&] { return !changes->isEmpty() && changes->last().first().toBool() == on; }, 10000)
            && watch->isOn() == on;
    }
};

TEST_F(WaylandFullscreenWatchTest, SwayWindowTurnsItOnWhileFullscreenAndActive)
{
    start(Kind::Sway);
    client.start(u"weston-flower"_s);
    ASSERT_TRUE(waitUntil([&] { return compositor->swaymsg({u"[app_id=.*]"_s, u"fullscreen"_s, u"enable"_s}); }));
    EXPECT_TRUE(turns(true));
    compositor->swaymsg({u"fullscreen"_s, u"disable"_s});
    EXPECT_TRUE(turns(false));
    compositor->swaymsg({u"fullscreen"_s, u"enable"_s});
    EXPECT_TRUE(turns(true));
    client.kill();
    EXPECT_TRUE(turns(false));
    EXPECT_EQ(changes->size(), 4);
}

TEST_F(WaylandFullscreenWatchTest, KWinFullscreenWindowTurnsItOnUntilItCloses)
{
    start(Kind::KWin);
    client.start(u"weston-terminal"_s, {u"--fullscreen"_s});
    EXPECT_TRUE(turns(true));
    client.kill();
    EXPECT_TRUE(turns(false));
    EXPECT_EQ(changes->size(), 2);
}

TEST_F(WaylandFullscreenWatchTest, MutterOffersNoWindowListAndLeavesItOff)
{
    start(Kind::Mutter);
    client.start(u"weston-terminal"_s, {u"--fullscreen"_s});
    QTest::qWait(2000);
    EXPECT_FALSE(watch->isOn());
    EXPECT_TRUE(changes->isEmpty());
}

} // namespace
