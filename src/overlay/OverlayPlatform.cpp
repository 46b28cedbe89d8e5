#include "overlay/OverlayPlatform.h"

#include "overlay/OverlayChoice.h"
#include "overlay/WaylandConnection.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace {

// Windowing systems that always blend windows, or that draw nothing anyone sees (offscreen).
class ComposedPlatform : public OverlayPlatform {
public:
    bool isComposited() const override { return true; }
};

} // namespace

OverlayPlatform& OverlayPlatform::shared()
{
    static OverlayPlatform* platform = [] {
        std::unique_ptr<WaylandConnection> wayland;
        const OverlayKind kind
            = chooseOverlays(QGuiApplication::platformName(), QProcessEnvironment::systemEnvironment(), [&wayland] {
                  wayland = WaylandConnection::connect();
                  return wayland ? wayland->offered() : QStringList();
              });
        std::unique_ptr<OverlayPlatform> found;
        if (kind == OverlayKind::LayerShell)
            found = makeLayerShellOverlayPlatform(std::move(wayland));
        else if (kind == OverlayKind::X11)
            found = makeX11OverlayPlatform();
        if (!found)
            found = std::make_unique<ComposedPlatform>();
        return found.release();
    }();
    return *platform;
}

qreal OverlayPlatform::pixelsPerPoint(const QScreen* screen) const
{
    return screen->devicePixelRatio();
}

void OverlayPlatform::setShape(QWidget* window, const QRegion& shape)
{
    if (shape.isEmpty())
        window->clearMask();
    else
        window->setMask(shape);
}

void OverlayPlatform::setPassThrough(QWidget* window, bool on)
{
    // On the native window: changing the widget's flags would hide and re-show it.
    if (QWindow* native = window->windowHandle())
        native->setFlag(Qt::WindowTransparentForInput, on);
}

void OverlayPlatform::setInputRegion(QWidget* window, const QRegion& region)
{
    setPassThrough(window, region.isEmpty());
}

std::unique_ptr<OverlayPlatform::PoseSheet> OverlayPlatform::makePoseSheet(QWidget*, const QList<Pose>&)
{
    return nullptr;
}
