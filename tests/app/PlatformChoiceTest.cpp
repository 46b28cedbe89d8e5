#include "app/PlatformChoice.h"

#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;

TEST(PlatformChoice, AnXDisplayMeansXcbUnlessAPlatformWasAskedForAndNoneMeansAWarning)
{
    const QString warning = u"WARN no X display; the monkey cannot be placed on this desktop"_s;
    // A null variable is unset.
    const struct {
        const char *display, *wayland, *platform;
        QByteArray qpaPlatform;
        QString warning;
    } rows[] = {
        {":0", nullptr, nullptr, "xcb", {}},
        {":0", "wayland-0", nullptr, "xcb", {}}, // where Qt would pick Wayland
        {":0", "wayland-0", "", "xcb", {}},      // empty is unset, to Qt too
        {":0", "wayland-0", "wayland", {}, {}},  // asked for: always wins
        {":0", nullptr, "offscreen", {}, {}},
        {nullptr, "wayland-0", nullptr, {}, warning},
        {"", "wayland-0", nullptr, {}, warning}, // an empty DISPLAY reaches no X server
        {nullptr, nullptr, nullptr, {}, warning},
        {nullptr, "wayland-0", "wayland", {}, {}},
    };
    for (const auto& row : rows) {
        QProcessEnvironment environment;
        for (const auto& [name, value] : {std::pair(u"DISPLAY"_s, row.display),
                 std::pair(u"WAYLAND_DISPLAY"_s, row.wayland), std::pair(u"QT_QPA_PLATFORM"_s, row.platform)})
            if (value)
                environment.insert(name, QString::fromLatin1(value));
        SCOPED_TRACE(environment.toStringList().join(u' ').toStdString());
        const PlatformChoice choice = PlatformChoice::forEnvironment(environment);
        EXPECT_EQ(choice.qpaPlatform, row.qpaPlatform);
        EXPECT_EQ(choice.warning, row.warning);
    }
}

} // namespace
