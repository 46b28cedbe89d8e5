#include "app/PlatformChoice.h"
#include "overlay/OverlayChoice.h"

#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;

TEST(PlatformChoice, AnXDisplayMeansXcbUnlessAPlatformWasAskedForAndNoneMeansAWarning)
{
    const QString noX = u"WARN no X display; the monkey cannot be placed on this desktop"_s;
    // A null variable is unset.
    const std::tuple<const char*, const char*, const char*, QByteArray, QString> rows[] = {
        {":0", nullptr, nullptr, "xcb", {}},
        {":0", "wayland-0", nullptr, "xcb", {}}, // where Qt would pick Wayland
        {":0", "wayland-0", "", "xcb", {}},      // empty is unset, to Qt too
        {":0", "wayland-0", "wayland", {}, {}},  // asked for: always wins
        {":0", nullptr, "offscreen", {}, {}},
        {nullptr, "wayland-0", nullptr, {}, noX},
        {"", "wayland-0", nullptr, {}, noX}, // an empty DISPLAY reaches no X server
        {nullptr, nullptr, nullptr, {}, noX},
        {nullptr, "wayland-0", "wayland", {}, {}},
    };
    for (const auto& [display, wayland, platform, qpaPlatform, warning] : rows) {
        QProcessEnvironment environment;
        for (const auto& [name, value] : {std::pair(u"DISPLAY"_s, display), std::pair(u"WAYLAND_DISPLAY"_s, wayland),
                 std::pair(u"QT_QPA_PLATFORM"_s, platform)})
            if (value)
                environment.insert(name, QString::fromLatin1(value));
        const PlatformChoice choice = PlatformChoice::forEnvironment(environment);
        EXPECT_EQ(std::pair(choice.qpaPlatform, choice.warning), std::pair(qpaPlatform, warning))
            << environment.toStringList().join(u' ').toStdString();
    }
}

TEST(OverlayChoice, LayerSurfacesWhereAWaylandCompositorOnXcbOffersThemUnlessX11IsAskedFor)
{
    using enum OverlayKind;
    const QStringList layerShell = layerShellNeeds + QStringList{u"wl_seat"_s},
                      noShm{u"wl_compositor"_s, u"zwlr_layer_shell_v1"_s};
    // qpa, WAYLAND_DISPLAY, BONKBELL_OVERLAYS, globals offered, whether they are asked for, the choice
    const std::tuple<const char*, const char*, const char*, QStringList, bool, OverlayKind> rows[] = {
        {"xcb", "wl-0", nullptr, layerShell, true, LayerShell},
        {"xcb", "wl-0", nullptr, {u"wl_compositor"_s, u"wl_shm"_s}, true, X11}, // GNOME's
        {"xcb", "wl-0", nullptr, noShm, true, X11},
        {"xcb", "wl-0", nullptr, {}, true, X11}, // no compositor answered
        {"xcb", "wl-0", "x11", layerShell, false, X11},
        {"xcb", "wl-0", "", layerShell, true, LayerShell},
        {"xcb", "", nullptr, layerShell, false, X11},
        {"xcb", nullptr, nullptr, layerShell, false, X11},
        {"offscreen", "wl-0", nullptr, layerShell, false, Plain},
        {"wayland", "wl-0", nullptr, layerShell, false, Plain},
    };
    for (const auto& [qpa, wayland, overlays, offered, asks, kind] : rows) {
        QProcessEnvironment environment;
        if (wayland)
            environment.insert(u"WAYLAND_DISPLAY"_s, QString::fromLatin1(wayland));
        if (overlays)
            environment.insert(u"BONKBELL_OVERLAYS"_s, QString::fromLatin1(overlays));
        bool asked = false;
        const OverlayKind chosen = chooseOverlays(QString::fromLatin1(qpa), environment, [&, &offered = offered] {
            asked = true;
            return offered;
        });
        EXPECT_EQ(std::pair(chosen, asked), std::pair(kind, asks))
            << qpa << " " << environment.toStringList().join(u' ').toStdString();
    }
}

} // namespace
