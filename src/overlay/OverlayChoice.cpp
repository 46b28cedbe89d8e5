#include "overlay/OverlayChoice.h"

#include <algorithm>

using namespace Qt::StringLiterals;

OverlayKind chooseOverlays(const QString& qpaPlatform, const QProcessEnvironment& environment,
    const std::function<QStringList()>& offeredGlobals)
{
    if (qpaPlatform != u"xcb")
        return OverlayKind::Plain;
    if (environment.value(u"WAYLAND_DISPLAY"_s).isEmpty() || environment.value(u"BONKBELL_OVERLAYS"_s) == u"x11")
        return OverlayKind::X11;
    const QStringList offered = offeredGlobals();
    const bool served = std::all_of(
        layerShellNeeds.begin(), layerShellNeeds.end(), [&](const QString& name) { return offered.contains(name); });
    return served ? OverlayKind::LayerShell : OverlayKind::X11;
}
