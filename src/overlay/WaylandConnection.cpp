#include "overlay/WaylandConnection.h"

#include "overlay/WaylandProtocols.h"
#include "support/Log.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstring>

using namespace Qt::StringLiterals;

// The C listeners, each handing its event to the connection or the output it was added for.
struct WaylandRegistryListener {
    static void global(void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version)
    {
        auto* self = static_cast<WaylandConnection*>(data);
        self->m_offered.append(QString::fromLatin1(interface));
        const auto bind = [&](const wl_interface* type, uint32_t newest) {
            return wl_registry_bind(self->m_registry, name, type, std::min(version, newest));
        };
        if (std::strcmp(interface, wl_compositor_interface.name) == 0)
            self->m_compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
        else if (std::strcmp(interface, wl_shm_interface.name) == 0)
            self->m_shm = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
        else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->m_seat) {
            self->m_seat = static_cast<wl_seat*>(bind(&wl_seat_interface, 5));
            wl_seat_add_listener(self->m_seat, &seatListener, self);
        } else if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0)
            self->m_layerShell = static_cast<zwlr_layer_shell_v1*>(bind(&zwlr_layer_shell_v1_interface, 3));
        else if (std::strcmp(interface, wp_viewporter_interface.name) == 0)
            self->m_viewporter = static_cast<wp_viewporter*>(bind(&wp_viewporter_interface, 1));
        else if (std::strcmp(interface, wp_fractional_scale_manager_v1_interface.name) == 0)
            self->m_fractionalScale
                = static_cast<wp_fractional_scale_manager_v1*>(bind(&wp_fractional_scale_manager_v1_interface, 1));
        else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0) {
            self->m_xdgOutputs = static_cast<zxdg_output_manager_v1*>(bind(&zxdg_output_manager_v1_interface, 2));
            for (WaylandConnection::Output* output : std::as_const(self->m_outputs))
                self->watchXdgOutput(output);
        } else if (std::strcmp(interface, wl_output_interface.name) == 0)
            self->bindOutput(name, version);
    }
    static void globalRemove(void* data, wl_registry*, uint32_t name)
    {
        auto* self = static_cast<WaylandConnection*>(data);
        for (qsizetype i = 0; i < self->m_outputs.size(); ++i) {
            WaylandConnection::Output* output = self->m_outputs[i];
            if (output->globalName != name)
                continue;
            if (output->xdgOutput)
                zxdg_output_v1_destroy(output->xdgOutput);
            wl_output_destroy(output->output);
            delete self->m_outputs.takeAt(i);
            Q_EMIT self->outputsChanged();
            return;
        }
    }
    static constexpr wl_registry_listener listener{global, globalRemove};
    static void capabilities(void* data, wl_seat*, uint32_t caps)
    {
        auto* self = static_cast<WaylandConnection*>(data);
        self->m_seatHasPointer = caps & WL_SEAT_CAPABILITY_POINTER;
        Q_EMIT self->seatChanged();
    }
    static void seatName(void*, wl_seat*, const char*) {}
    static constexpr wl_seat_listener seatListener{capabilities, seatName};
};

namespace {

using Output = WaylandConnection::Output;

void outputGeometry(
    void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*, const char*, int32_t)
{
    static_cast<Output*>(data)->position = QPoint(x, y);
}
void outputMode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t)
{
    if (flags & WL_OUTPUT_MODE_CURRENT)
        static_cast<Output*>(data)->modeSize = QSize(width, height);
}
void outputScale(void* data, wl_output*, int32_t factor)
{
    static_cast<Output*>(data)->scale = std::max(1, factor);
}
void outputDone(void* data, wl_output*)
{
    Q_EMIT static_cast<Output*>(data)->connection->outputsChanged();
}
void outputText(void*, wl_output*, const char*)
{
}
const wl_output_listener outputListener{outputGeometry, outputMode, outputDone, outputScale, outputText, outputText};

void xdgPosition(void* data, zxdg_output_v1*, int32_t x, int32_t y)
{
    static_cast<Output*>(data)->logical.moveTopLeft(QPoint(x, y));
}
void xdgSize(void* data, zxdg_output_v1*, int32_t width, int32_t height)
{
    static_cast<Output*>(data)->logical.setSize(QSize(width, height));
}
void xdgDone(void* data, zxdg_output_v1*)
{
    Q_EMIT static_cast<Output*>(data)->connection->outputsChanged();
}
void xdgText(void*, zxdg_output_v1*, const char*)
{
}
const zxdg_output_v1_listener xdgOutputListener{xdgPosition, xdgSize, xdgDone, xdgText, xdgText};

} // namespace

std::unique_ptr<WaylandConnection> WaylandConnection::connect()
{
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return nullptr;
    std::unique_ptr<WaylandConnection> connection(new WaylandConnection(display));
    // Globals, then what the outputs say of themselves: a wait at start, before anything shows.
    wl_display_roundtrip(display);
    wl_display_roundtrip(display);
    if (connection->isBroken())
        return nullptr;
    return connection;
}

WaylandConnection::WaylandConnection(wl_display* display)
    : m_display(display)
{
    m_registry = wl_display_get_registry(display);
    wl_registry_add_listener(m_registry, &WaylandRegistryListener::listener, this);
    m_notifier = new QSocketNotifier(wl_display_get_fd(display), QSocketNotifier::Read, this);
    QObject::connect(m_notifier, &QSocketNotifier::activated, this, &WaylandConnection::readEvents);
    // Requests made while handling anything at all leave before the loop sleeps.
    QObject::connect(
        QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this, &WaylandConnection::flush);
}

WaylandConnection::~WaylandConnection()
{
    for (Output* output : std::as_const(m_outputs)) {
        if (output->xdgOutput)
            zxdg_output_v1_destroy(output->xdgOutput);
        wl_output_destroy(output->output);
        delete output;
    }
    wl_display_disconnect(m_display);
}

void WaylandConnection::bindOutput(uint32_t name, uint32_t version)
{
    auto* output = new Output;
    output->connection = this;
    output->globalName = name;
    output->output
        = static_cast<wl_output*>(wl_registry_bind(m_registry, name, &wl_output_interface, std::min(version, 2u)));
    wl_output_add_listener(output->output, &outputListener, output);
    m_outputs.append(output);
    if (m_xdgOutputs)
        watchXdgOutput(output);
}

void WaylandConnection::watchXdgOutput(Output* output)
{
    if (output->xdgOutput)
        return;
    output->xdgOutput = zxdg_output_manager_v1_get_xdg_output(m_xdgOutputs, output->output);
    zxdg_output_v1_add_listener(output->xdgOutput, &xdgOutputListener, output);
}

bool WaylandConnection::isBroken() const
{
    return wl_display_get_error(m_display) != 0;
}

void WaylandConnection::readEvents()
{
    // Events already queued are handled first; then what the socket holds is read and handled.
    while (wl_display_prepare_read(m_display) != 0) {
        if (wl_display_dispatch_pending(m_display) < 0) // cut off: what is queued stays queued
            return flush();
    }
    wl_display_read_events(m_display);
    wl_display_dispatch_pending(m_display);
    flush();
}

void WaylandConnection::flush()
{
    if (m_reportedBreak)
        return;
    wl_display_dispatch_pending(m_display);
    wl_display_flush(m_display);
    if (!isBroken())
        return;
    m_reportedBreak = true;
    m_notifier->setEnabled(false);
    log(u"WARN the Wayland compositor closed the overlays' connection (error %1)"_s.arg(
        wl_display_get_error(m_display)));
}
