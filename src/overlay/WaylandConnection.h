#pragma once

#include <QList>
#include <QObject>
#include <QRect>
#include <QStringList>

#include <memory>

struct wl_compositor;
struct wl_display;
struct wl_output;
struct wl_registry;
struct wl_seat;
struct wl_shm;
struct zwlr_layer_shell_v1;
struct wp_fractional_scale_manager_v1;
struct wp_viewporter;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;
class QSocketNotifier;

// A connection of our own to the Wayland compositor beside Qt's X11 one: the globals the
// overlays use and the outputs with their place and scale. Served from Qt's event loop: read
// when the socket has something, flushed before the loop sleeps.
class WaylandConnection : public QObject {
    Q_OBJECT
public:
    struct Output {
        WaylandConnection* connection = nullptr;
        uint32_t globalName = 0;
        wl_output* output = nullptr;
        zxdg_output_v1* xdgOutput = nullptr;
        QRect logical;   // in the compositor's layout, as xdg-output tells it
        QPoint position; // as wl_output tells it, until xdg-output does
        QSize modeSize;
        int scale = 1;
    };

    // Connected to WAYLAND_DISPLAY with every global listed, or none where no compositor answers.
    static std::unique_ptr<WaylandConnection> connect();
    ~WaylandConnection() override;

    wl_display* display() const { return m_display; }
    QStringList offered() const { return m_offered; }
    wl_compositor* compositor() const { return m_compositor; }
    wl_shm* shm() const { return m_shm; }
    wl_seat* seat() const { return m_seat; }
    // Whether the seat has a pointer now.
    bool seatHasPointer() const { return m_seatHasPointer; }
    zwlr_layer_shell_v1* layerShell() const { return m_layerShell; }
    wp_viewporter* viewporter() const { return m_viewporter; }
    wp_fractional_scale_manager_v1* fractionalScale() const { return m_fractionalScale; }
    const QList<Output*>& outputs() const { return m_outputs; }
    // Whether the compositor cut the connection (then nothing more is sent or heard).
    bool isBroken() const;

Q_SIGNALS:
    // An output came, went, moved or changed its scale.
    void outputsChanged();
    void seatChanged();

private:
    explicit WaylandConnection(wl_display* display);
    void bindOutput(uint32_t name, uint32_t version);
    void watchXdgOutput(Output* output);
    void readEvents();
    void flush();

    wl_display* m_display;
    wl_registry* m_registry = nullptr;
    QStringList m_offered;
    wl_compositor* m_compositor = nullptr;
    wl_shm* m_shm = nullptr;
    wl_seat* m_seat = nullptr;
    bool m_seatHasPointer = false;
    zwlr_layer_shell_v1* m_layerShell = nullptr;
    wp_viewporter* m_viewporter = nullptr;
    wp_fractional_scale_manager_v1* m_fractionalScale = nullptr;
    zxdg_output_manager_v1* m_xdgOutputs = nullptr;
    QList<Output*> m_outputs;
    QSocketNotifier* m_notifier = nullptr;
    bool m_reportedBreak = false;

    friend struct WaylandRegistryListener;
};
