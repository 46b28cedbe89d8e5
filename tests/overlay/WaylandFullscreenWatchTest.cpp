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

#include <array>
#include <optional>
#include <string_view>
#include <vector>

// Names the compositor in a test's listing.
void PrintTo(NestedCompositor::Kind kind, std::ostream* out)
{
    *out << std::array{"mutter", "kwin", "sway"}[int(kind)];
}

namespace {

using namespace Qt::StringLiterals;
using Kind = NestedCompositor::Kind;
using TestEnvironment::waitUntil;

// Dispatches a client connection from the event loop, as the overlay's owner does, while `context` lives.
void dispatchFromLoop(wl_display* display, QObject* context)
{
    auto* notifier = new QSocketNotifier(wl_display_get_fd(display), QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, [display] {
        while (wl_display_prepare_read(display) != 0)
            wl_display_dispatch_pending(display);
        wl_display_read_events(display);
        wl_display_dispatch_pending(display);
        wl_display_flush(display); // what the watch asked for in answer
    });
}

// The registry names of the compositor's outputs, in the order it announced them.
std::vector<uint32_t> outputNames(wl_display* display)
{
    static constexpr wl_registry_listener listener{
        .global =
            [](void* names, wl_registry*, uint32_t name, const char* interface, uint32_t) {
                if (interface == std::string_view("wl_output"))
                    static_cast<std::vector<uint32_t>*>(names)->push_back(name);
            },
        .global_remove = [](void*, wl_registry*, uint32_t) {},
    };
    std::vector<uint32_t> names;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, &names);
    wl_display_roundtrip(display); // which dispatches the watch's events too: send what it asked in answer
    wl_registry_destroy(registry);
    wl_display_flush(display);
    return names;
}

// The watch on its own connection to a nested compositor with two outputs, beside a native client that goes
// fullscreen.
class WaylandFullscreenWatchTest : public testing::TestWithParam<Kind> {
protected:
    QTemporaryDir data; // KWin lists its windows only to executables a desktop file names
    std::optional<NestedCompositor> compositor;
    wl_display* display = nullptr;
    std::optional<WaylandFullscreenWatch> watch;
    std::optional<QSignalSpy> changes;
    QProcess client;

    void SetUp() override
    {
        TestEnvironment::writeFile(data.filePath(u"applications/bonkbell-watch-test.desktop"_s),
            "[Desktop Entry]\nType=Application\nName=Watch test\nExec=" + QFile::encodeName(qApp->applicationFilePath())
                + "\nX-KDE-Wayland-Interfaces=org_kde_plasma_window_management\n");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_DATA_DIRS"_s, data.path() + u":/usr/local/share:/usr/share"_s);
        compositor.emplace(GetParam(), env);
        ASSERT_TRUE(compositor->start({800, 600}, 2)) << compositor->output().toStdString();
        display = wl_display_connect(
            QFile::encodeName(compositor->runtimeDir() + u'/' + compositor->waylandDisplay()).constData());
        ASSERT_TRUE(display);
        watch.emplace(display);
        dispatchFromLoop(display, &*watch);
        changes.emplace(&*watch, &WaylandFullscreenWatch::changed);
        client.setProcessEnvironment(compositor->environment());
        client.start(u"weston-terminal"_s, {u"--fullscreen"_s});
    }
    void TearDown() override
    {
        client.kill();
        client.waitForFinished();
        watch.reset();
        if (display)
            wl_display_disconnect(display);
    }
    // Waits for the watch to tell `on`.
    bool turns(bool on)
    {
        return waitUntil([&] { return !changes->isEmpty() && changes->last().first().toBool() == on; }, 10000)
            && watch->isOn() == on;
    }
};

using WindowListTest = WaylandFullscreenWatchTest;
TEST_P(WindowListTest, FullscreenActiveWindowOnTheMonkeysOutputTurnsItOn)
{
    const std::vector<uint32_t> outputs = outputNames(display);
    ASSERT_EQ(outputs.size(), 2u);
    uint32_t filled = 0; // the output the window fills
    ASSERT_TRUE(waitUntil([&] {
        for (uint32_t output : outputs)
            if (watch->setMonkeyOutput(output); watch->isOn())
                filled = output;
        return filled != 0;
    }));
    watch->setMonkeyOutput(filled == outputs[0] ? outputs[1] : outputs[0]);
    EXPECT_FALSE(watch->isOn()) << "a fullscreen window on another output";
    watch->setMonkeyOutput(0); // the first announced
    EXPECT_EQ(watch->isOn(), filled == outputs[0]);
    watch->setMonkeyOutput(filled);
    ASSERT_TRUE(watch->isOn());
    // The focus elsewhere: on the other output under sway, on a new window under KWin.
    const auto otherOutput = [&] {
        return compositor->swaymsg({u"focus"_s, u"output"_s, u"right"_s})
            || compositor->swaymsg({u"focus"_s, u"output"_s, u"left"_s});
    };
    QProcess other;
    other.setProcessEnvironment(compositor->environment());
    GetParam() == Kind::Sway ? void(otherOutput()) : other.start(u"weston-flower"_s);
    EXPECT_TRUE(turns(false));
    GetParam() == Kind::Sway ? void(otherOutput()) : other.kill();
    EXPECT_TRUE(turns(true));
    if (GetParam() == Kind::Sway) {
        compositor->swaymsg({u"fullscreen"_s, u"disable"_s});
        EXPECT_TRUE(turns(false));
        compositor->swaymsg({u"fullscreen"_s, u"enable"_s});
        EXPECT_TRUE(turns(true));
    }
    client.kill();
    EXPECT_TRUE(turns(false));
}

INSTANTIATE_TEST_SUITE_P(
    Compositors, WindowListTest, testing::Values(Kind::KWin, Kind::Sway), testing::PrintToStringParamName());

// GNOME's compositor lists no other client's windows.
using NoWindowListTest = WaylandFullscreenWatchTest;
TEST_P(NoWindowListTest, StaysOff)
{
    QTest::qWait(2000); // the fullscreen window shown
    EXPECT_FALSE(watch->isOn());
    EXPECT_TRUE(changes->isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Compositors, NoWindowListTest, testing::Values(Kind::Mutter), testing::PrintToStringParamName());

} // namespace
