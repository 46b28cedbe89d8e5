#include "overlay/WaylandPointer.h"

#include "overlay/LayerSurface.h"
#include "overlay/WaylandConnection.h"
#include "overlay/WaylandProtocols.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QWidget>

#include <linux/input-event-codes.h>

struct WaylandPointer::Listeners {
    static void enter(void* data, wl_pointer*, uint32_t serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y)
    {
        static_cast<WaylandPointer*>(data)->entered(
            serial, surface, QPointF(wl_fixed_to_double(x), wl_fixed_to_double(y)));
    }
    static void leave(void* data, wl_pointer*, uint32_t, wl_surface*) { static_cast<WaylandPointer*>(data)->left(); }
    static void motion(void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y)
    {
        static_cast<WaylandPointer*>(data)->moved(QPointF(wl_fixed_to_double(x), wl_fixed_to_double(y)));
    }
    static void button(void* data, wl_pointer*, uint32_t, uint32_t, uint32_t button, uint32_t state)
    {
        static_cast<WaylandPointer*>(data)->pressed(button, state == WL_POINTER_BUTTON_STATE_PRESSED);
    }
    static void axis(void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {}
    static void frame(void*, wl_pointer*) {}
    static void axisSource(void*, wl_pointer*, uint32_t) {}
    static void axisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
    static void axisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}
    static constexpr wl_pointer_listener pointer{
        enter, leave, motion, button, axis, frame, axisSource, axisStop, axisDiscrete, axisDiscrete};
};

WaylandPointer::WaylandPointer(WaylandConnection& wayland, QObject* parent)
    : QObject(parent)
    , m_wayland(wayland)
{
    connect(&wayland, &WaylandConnection::seatChanged, this, [this] { setPointer(m_wayland.seatHasPointer()); });
    setPointer(wayland.seatHasPointer());
}

WaylandPointer::~WaylandPointer()
{
    setPointer(false);
    if (m_cursor)
        wl_surface_destroy(m_cursor);
    if (m_theme)
        wl_cursor_theme_destroy(m_theme);
}

void WaylandPointer::setPointer(bool present)
{
    if (present == (m_pointer != nullptr))
        return;
    if (!present) {
        wl_pointer_release(m_pointer);
        m_pointer = nullptr;
        return;
    }
    m_pointer = wl_seat_get_pointer(m_wayland.seat());
    wl_pointer_add_listener(m_pointer, &Listeners::pointer, this);
}

void WaylandPointer::entered(uint32_t serial, wl_surface* surface, QPointF at)
{
    const LayerSurface* layer = LayerSurface::of(surface);
    m_panel = layer ? layer->panel() : nullptr;
    m_buttons = {};
    showArrow(serial);
    moved(at);
}

void WaylandPointer::left()
{
    track(nullptr);
    m_panel = nullptr;
}

void WaylandPointer::moved(QPointF at)
{
    m_at = at;
    if (!m_panel)
        return;
    QWidget* under = m_panel->childAt(at.toPoint());
    track(under ? under : m_panel.data());
    if (!m_under)
        return;
    QMouseEvent move(QEvent::MouseMove, m_under->mapFrom(m_panel, at), at, m_panel->mapToGlobal(at), Qt::NoButton,
        m_buttons, QGuiApplication::keyboardModifiers());
    QCoreApplication::sendEvent(m_under, &move);
}

void WaylandPointer::track(QWidget* under)
{
    if (under == m_under)
        return;
    if (m_under) {
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(m_under, &leave);
    }
    m_under = under;
    if (m_under) {
        QEnterEvent enter(m_under->mapFrom(m_panel, m_at), m_at, m_panel->mapToGlobal(m_at));
        QCoreApplication::sendEvent(m_under, &enter);
    }
}

void WaylandPointer::pressed(uint32_t code, bool down)
{
    const Qt::MouseButton button = code == BTN_LEFT ? Qt::LeftButton
        : code == BTN_RIGHT                         ? Qt::RightButton
        : code == BTN_MIDDLE                        ? Qt::MiddleButton
                                                    : Qt::NoButton;
    if (button == Qt::NoButton || !m_under || !m_panel)
        return;
    m_buttons.setFlag(button, down);
    QMouseEvent event(down ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease, m_under->mapFrom(m_panel, m_at),
        m_at, m_panel->mapToGlobal(m_at), button, m_buttons, QGuiApplication::keyboardModifiers());
    QCoreApplication::sendEvent(m_under, &event);
}

void WaylandPointer::showArrow(uint32_t serial)
{
    if (!m_theme) {
        const int size = qEnvironmentVariableIntValue("XCURSOR_SIZE");
        m_theme = wl_cursor_theme_load(nullptr, size > 0 ? size : 24, m_wayland.shm());
    }
    wl_cursor* arrow = m_theme ? wl_cursor_theme_get_cursor(m_theme, "left_ptr") : nullptr;
    if (!arrow || arrow->image_count == 0)
        return; // the compositor's own cursor stays
    wl_cursor_image* image = arrow->images[0];
    if (!m_cursor)
        m_cursor = wl_compositor_create_surface(m_wayland.compositor());
    wl_surface_attach(m_cursor, wl_cursor_image_get_buffer(image), 0, 0);
    wl_surface_damage(m_cursor, 0, 0, int32_t(image->width), int32_t(image->height));
    wl_surface_commit(m_cursor);
    wl_pointer_set_cursor(m_pointer, serial, m_cursor, int32_t(image->hotspot_x), int32_t(image->hotspot_y));
}
