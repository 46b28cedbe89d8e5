#pragma once

#include "overlay/ShmBuffer.h"

#include <QObject>
#include <QPointer>
#include <QRegion>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class WaylandConnection;
struct wl_output;
struct wl_surface;
struct wl_buffer;
struct zwlr_layer_surface_v1;
struct wp_viewport;
struct wp_fractional_scale_v1;

// One overlay panel as a layer surface of the compositor: anchored to the top-right corner of an
// output, never given the keyboard, taking the pointer only where told. Shows the panel's
// picture as Qt painted it (or painted again at the output's scale), or a picture held ready
// (a pose). Hidden, the surface is destroyed: a compositor may never show one again that was
// only unmapped.
class LayerSurface : public QObject {
    Q_OBJECT
public:
    struct Placement {
        wl_output* output = nullptr;
        int outputScale = 1;
        // Distance from the output's top and right edges, and the size, in the output's points.
        int top = 0;
        int right = 0;
        QSize size;
        bool operator==(const Placement&) const = default;
    };

    // On the overlay layer when `topmost`, else on the layer beneath it: panels of lower levels
    // stay under the top one.
    LayerSurface(WaylandConnection& wayland, QWidget* panel, bool topmost);
    ~LayerSurface() override;

    // The surface for the panel's widget surface, or null.
    static LayerSurface* of(wl_surface* surface);

    QWidget* panel() const { return m_panel; }
    bool isShown() const { return m_layer != nullptr; }
    void show(const Placement& placement);
    void hide();
    // Where the pointer is taken: everywhere (none), or only inside the region (panel points).
    void setInputRegion(const std::optional<QRegion>& region);
    // Shows the panel's latest picture, unless a held picture shows.
    void present();
    // Device pixels per point of the pictures shown.
    qreal scale() const;
    QSize pixelSize() const;
    // Shows `buffer` (pixelSize, e.g. a pose) instead of the panel's own picture, `area` of it changed (panel
    // points), until released.
    void hold(ShmBuffer* buffer, QRect area);
    void releaseHold();

Q_SIGNALS:
    // The pixels per point changed: pictures made for the old scale need making again.
    void scaleChanged();

private:
    static void configure(void* data, zwlr_layer_surface_v1*, uint32_t serial, uint32_t, uint32_t);
    static void closed(void* data, zwlr_layer_surface_v1*);
    static void preferredScale(void* data, wp_fractional_scale_v1*, uint32_t scale);
    void create();
    void destroy();
    void applyInputRegion();
    void attach(ShmBuffer* buffer, QRect damage);
    ShmBuffer* freeBuffer();
    void paint(QImage& target);

    WaylandConnection& m_wayland;
    QPointer<QWidget> m_panel;
    bool m_topmost;
    Placement m_placement;
    wl_surface* m_surface = nullptr;
    zwlr_layer_surface_v1* m_layer = nullptr;
    wp_viewport* m_viewport = nullptr;
    wp_fractional_scale_v1* m_fractional = nullptr;
    uint32_t m_preferredScale = 0; // 120ths, as wp_fractional_scale_v1 tells it; 0 until it does
    bool m_configured = false;
    // What the surface was last told of its buffers' scale (unchanged, not sent again: a
    // compositor may take a change for a new picture everywhere).
    std::optional<std::pair<int, QSize>> m_sentScale;
    std::optional<QRegion> m_input;
    std::vector<std::unique_ptr<ShmBuffer>> m_buffers;
    ShmBuffer* m_held = nullptr;
};
