#pragma once

#include "overlay/OverlayPlatform.h"

#include <QHash>

class LayerSurface;
class WaylandConnection;
class WaylandFullscreenWatch;
class WaylandPointer;

// Overlay panels as layer surfaces of a Wayland compositor that offers them, over a connection
// of their own beside Qt's X11 one: each pixel takes the pointer or lets it through exactly as
// the panel's input region says, which XWayland windows cannot do on every compositor. The
// panels' widgets stay unmapped on the X server; what Qt paints for them is shown on the surface.
class LayerShellOverlayPlatform : public OverlayPlatform {
    Q_OBJECT
public:
    explicit LayerShellOverlayPlatform(std::unique_ptr<WaylandConnection> wayland);
    ~LayerShellOverlayPlatform() override;

    QString name() const override;
    bool isComposited() const override { return true; }
    bool cutsToDrawn() const override { return false; }
    void setShape(QWidget*, const QRegion&) override {}
    void setPassThrough(QWidget* window, bool on) override;
    void setInputRegion(QWidget* window, const QRegion& region) override;
    bool keepsPoses() const override { return true; }
    std::unique_ptr<PoseSheet> makePoseSheet(QWidget* window, const QList<Pose>& poses) override;
    void adopt(QWidget* panel, int level) override;
    qreal pixelsPerPoint(const QScreen* screen) const override;

    bool isFullscreenActive() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The registry name of the output the monkey hangs on (the primary screen's), 0 when unknown.
    uint32_t monkeyOutputName() const;
    void place(LayerSurface& surface);
    void placeAll();

    std::unique_ptr<WaylandConnection> m_wayland;
    std::unique_ptr<WaylandPointer> m_pointer;
    std::unique_ptr<WaylandFullscreenWatch> m_fullscreen;
    QHash<QWidget*, LayerSurface*> m_surfaces;
    int m_topLevel = 0;
};
