#pragma once

#include <QProcessEnvironment>
#include <QStringList>

#include <functional>

// Which overlay platform the app uses, decided once at start: layer surfaces on a Wayland
// compositor that offers them, else windows on the X server (XWayland included), else plain Qt
// windows. BONKBELL_OVERLAYS=x11 keeps the X11 windows where layer surfaces would serve.
enum class OverlayKind { Plain, X11, LayerShell };

// `qpaPlatform` is the Qt platform the app runs on; `offeredGlobals` names the interfaces the
// Wayland compositor offers, asked only when they matter (it connects).
OverlayKind chooseOverlays(const QString& qpaPlatform, const QProcessEnvironment& environment,
    const std::function<QStringList()>& offeredGlobals);

// The globals layer surfaces need.
inline const QStringList layerShellNeeds
    = {QStringLiteral("wl_compositor"), QStringLiteral("wl_shm"), QStringLiteral("zwlr_layer_shell_v1")};
