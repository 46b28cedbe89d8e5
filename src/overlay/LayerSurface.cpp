#include "overlay/LayerSurface.h"

#include "overlay/WaylandConnection.h"
#include "overlay/WaylandProtocols.h"

#include <QBackingStore>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {
// A compositor that draws docks under fullscreen windows keeps the keyboard with the window the
// user works in when a dock is clicked; other namespaces take it there.
constexpr const char* layerNamespace = "dock";
constexpr int keptBuffers = 3;
} // namespace

LayerSurface::LayerSurface(WaylandConnection& wayland, QWidget* panel, bool topmost)
    : m_wayland(wayland)
    , m_panel(panel)
    , m_topmost(topmost)
{
}

LayerSurface::~LayerSurface()
{
    destroy();
}

LayerSurface* LayerSurface::of(wl_surface* surface)
{
    return surface ? static_cast<LayerSurface*>(wl_surface_get_user_data(surface)) : nullptr;
}

void LayerSurface::show(const Placement& placement)
{
    // An output is fixed when the surface is made: on another one it is made again.
    if (m_layer && placement.output != m_placement.output)
        destroy();
    const bool changed = !(placement == m_placement);
    m_placement = placement;
    if (!m_layer) {
        create();
        return;
    }
    if (!changed)
        return;
    zwlr_layer_surface_v1_set_size(m_layer, uint32_t(placement.size.width()), uint32_t(placement.size.height()));
    zwlr_layer_surface_v1_set_margin(m_layer, placement.top, placement.right, 0, 0);
    if (m_configured)
        present(); // a new size answers with a configure; a new place alone shows with this commit
}

void LayerSurface::create()
{
    m_surface = wl_compositor_create_surface(m_wayland.compositor());
    wl_surface_set_user_data(m_surface, this);
    if (m_wayland.viewporter())
        m_viewport = wp_viewporter_get_viewport(m_wayland.viewporter(), m_surface);
    if (m_wayland.fractionalScale() && m_viewport) {
        m_fractional = wp_fractional_scale_manager_v1_get_fractional_scale(m_wayland.fractionalScale(), m_surface);
        static constexpr wp_fractional_scale_v1_listener scaleListener{preferredScale};
        wp_fractional_scale_v1_add_listener(m_fractional, &scaleListener, this);
    }
    m_layer = zwlr_layer_shell_v1_get_layer_surface(m_wayland.layerShell(), m_surface, m_placement.output,
        m_topmost ? ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY : ZWLR_LAYER_SHELL_V1_LAYER_TOP, layerNamespace);
    static constexpr zwlr_layer_surface_v1_listener layerListener{configure, closed};
    zwlr_layer_surface_v1_add_listener(m_layer, &layerListener, this);
    zwlr_layer_surface_v1_set_size(m_layer, uint32_t(m_placement.size.width()), uint32_t(m_placement.size.height()));
    zwlr_layer_surface_v1_set_anchor(m_layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_margin(m_layer, m_placement.top, m_placement.right, 0, 0);
    // Placed where asked, not pushed aside by panels that reserve an edge (the place already
    // keeps clear of them).
    zwlr_layer_surface_v1_set_exclusive_zone(m_layer, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(m_layer, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
    applyInputRegion();
    wl_surface_commit(m_surface); // no picture before the compositor's first configure
}

void LayerSurface::hide()
{
    destroy();
}

void LayerSurface::destroy()
{
    if (m_fractional)
        wp_fractional_scale_v1_destroy(m_fractional);
    if (m_viewport)
        wp_viewport_destroy(m_viewport);
    if (m_layer)
        zwlr_layer_surface_v1_destroy(m_layer);
    if (m_surface)
        wl_surface_destroy(m_surface);
    m_fractional = nullptr;
    m_viewport = nullptr;
    m_layer = nullptr;
    m_surface = nullptr;
    m_configured = false;
    m_preferredScale = 0;
    m_sentScale.reset();
}

void LayerSurface::configure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t, uint32_t)
{
    auto* self = static_cast<LayerSurface*>(data);
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    self->m_configured = true;
    if (self->m_held)
        self->attach(self->m_held, QRect(QPoint(), self->m_placement.size));
    else
        self->present();
}

void LayerSurface::closed(void* data, zwlr_layer_surface_v1*)
{
    // Its output went: made again at the next placement.
    auto* self = static_cast<LayerSurface*>(data);
    self->destroy();
    self->m_placement = {};
}

void LayerSurface::preferredScale(void* data, wp_fractional_scale_v1*, uint32_t scale)
{
    auto* self = static_cast<LayerSurface*>(data);
    if (scale == self->m_preferredScale)
        return;
    self->m_preferredScale = scale;
    Q_EMIT self->scaleChanged();
    if (self->m_configured && !self->m_held)
        self->present();
}

qreal LayerSurface::scale() const
{
    return m_preferredScale ? m_preferredScale / 120.0 : qreal(m_placement.outputScale);
}

QSize LayerSurface::pixelSize() const
{
    const qreal s = scale();
    return QSize(int(std::lround(m_placement.size.width() * s)), int(std::lround(m_placement.size.height() * s)));
}

void LayerSurface::setInputRegion(const std::optional<QRegion>& region)
{
    if (region == m_input)
        return;
    m_input = region;
    if (!m_surface)
        return;
    applyInputRegion();
    if (m_configured)
        wl_surface_commit(m_surface);
}

void LayerSurface::applyInputRegion()
{
    if (!m_input) {
        wl_surface_set_input_region(m_surface, nullptr);
        return;
    }
    wl_region* region = wl_compositor_create_region(m_wayland.compositor());
    for (const QRect& r : *m_input)
        wl_region_add(region, r.x(), r.y(), r.width(), r.height());
    wl_surface_set_input_region(m_surface, region);
    wl_region_destroy(region);
}

void LayerSurface::present()
{
    if (!m_configured || m_held || !m_panel || m_placement.size.isEmpty())
        return;
    ShmBuffer* buffer = freeBuffer();
    if (!buffer)
        return;
    paint(buffer->image());
    attach(buffer, QRect(QPoint(), m_placement.size));
}

void LayerSurface::paint(QImage& target)
{
    // What Qt painted for the panel's own window serves as it is where the scales agree.
    QBackingStore* store = m_panel->backingStore();
    const QPaintDevice* device = store ? store->paintDevice() : nullptr;
    if (device && device->devType() == QInternal::Image) {
        const auto* painted = static_cast<const QImage*>(device);
        if (painted->size() == target.size() && painted->format() == target.format()) {
            for (int y = 0; y < target.height(); ++y)
                std::copy_n(painted->constScanLine(y), target.bytesPerLine(), target.scanLine(y));
            return;
        }
    }
    target.fill(Qt::transparent);
    target.setDevicePixelRatio(scale());
    m_panel->render(&target, QPoint(), QRegion(), QWidget::DrawChildren);
}

ShmBuffer* LayerSurface::freeBuffer()
{
    const QSize size = pixelSize();
    std::erase_if(m_buffers, [&](const auto& b) { return !b->isBusy() && b->size() != size; });
    for (const auto& buffer : m_buffers)
        if (!buffer->isBusy())
            return buffer.get();
    if (int(m_buffers.size()) >= keptBuffers) // the compositor holds them all: the next update shows
        return nullptr;
    auto buffer = std::make_unique<ShmBuffer>(m_wayland.shm(), size);
    if (buffer->isNull())
        return nullptr;
    m_buffers.push_back(std::move(buffer));
    return m_buffers.back().get();
}

void LayerSurface::attach(ShmBuffer* buffer, QRect damage)
{
    if (!m_configured || buffer->size() != pixelSize())
        return;
    const qreal s = scale();
    // Through a viewport the buffer's pixels stretch over the surface's points, at any scale.
    const std::pair<int, QSize> told(m_viewport ? 1 : std::max(1, int(s)), m_viewport ? m_placement.size : QSize());
    if (told != m_sentScale) {
        m_sentScale = told;
        wl_surface_set_buffer_scale(m_surface, told.first);
        if (m_viewport)
            wp_viewport_set_destination(m_viewport, told.second.width(), told.second.height());
    }
    wl_surface_attach(m_surface, buffer->buffer(), 0, 0);
    const QRect pixels(QPoint(int(std::floor(damage.x() * s)), int(std::floor(damage.y() * s))),
        QPoint(int(std::ceil((damage.right() + 1) * s)) - 1, int(std::ceil((damage.bottom() + 1) * s)) - 1));
    wl_surface_damage_buffer(m_surface, pixels.x(), pixels.y(), pixels.width(), pixels.height());
    wl_surface_commit(m_surface);
    buffer->attached();
}

void LayerSurface::hold(ShmBuffer* buffer, QRect area)
{
    m_held = buffer;
    attach(buffer, area);
}

void LayerSurface::releaseHold()
{
    m_held = nullptr;
}
