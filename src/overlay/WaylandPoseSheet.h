#pragma once

#include "overlay/OverlayPlatform.h"
#include "overlay/ShmBuffer.h"

#include <QPointer>

#include <memory>
#include <vector>

class LayerSurface;
struct wl_shm;

// A panel's poses as buffers shared with the compositor, each made once at the surface's scale
// (sprites stay sharp: scaled nearest-neighbour) when first shown, and shown by attaching it:
// nothing painted or copied per step.
class WaylandPoseSheet : public OverlayPlatform::PoseSheet {
public:
    WaylandPoseSheet(LayerSurface& surface, wl_shm* shm, const QList<OverlayPlatform::Pose>& poses);
    void show(int pose, QRect area) override;
    void release() override;

private:
    QPointer<LayerSurface> m_surface;
    wl_shm* m_shm;
    QList<QImage> m_pictures;
    std::vector<std::unique_ptr<ShmBuffer>> m_buffers; // one per pose once shown, at m_pixels
    QSize m_pixels;
};
