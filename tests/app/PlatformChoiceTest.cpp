#include "app/PlatformChoice.h"

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

} // namespace
