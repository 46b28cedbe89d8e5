#include "overlay/WaylandPoseSheet.h"

#include "overlay/LayerSurface.h"

#include <QPainter>

WaylandPoseSheet::WaylandPoseSheet(LayerSurface& surface, wl_shm* shm, const QList<OverlayPlatform::Pose>& poses)
    : m_surface(&surface)
    , m_shm(shm)
{
    for (const OverlayPlatform::Pose& pose : poses)
        m_pictures.append(pose.picture);
    m_buffers.resize(size_t(poses.size()));
}

void WaylandPoseSheet::show(int pose, QRect area)
{
    if (!m_surface || pose < 0 || pose >= m_pictures.size())
        return;
    const QSize pixels = m_surface->pixelSize();
    if (pixels != m_pixels) { // another output or scale: every pose is made again
        for (auto& buffer : m_buffers)
            buffer.reset();
        m_pixels = pixels;
        area = QRect(QPoint(), pixels);
    }
    auto& buffer = m_buffers[size_t(pose)];
    if (!buffer) {
        buffer = std::make_unique<ShmBuffer>(m_shm, pixels);
        if (buffer->isNull()) {
            buffer.reset();
            return;
        }
        const QImage& picture = m_pictures[pose];
        QPainter painter(&buffer->image());
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(QRect(QPoint(), pixels),
            picture.size() == pixels ? picture : picture.scaled(pixels, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    }
    m_surface->hold(buffer.get(), area);
}

void WaylandPoseSheet::release()
{
    if (m_surface)
        m_surface->releaseHold();
}
