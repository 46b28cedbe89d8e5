#include "overlay/X11FullscreenWatch.h"

#include "overlay/X11EventMask.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
Reply<T> own(T* reply) { return Reply<T>(reply, &std::free); }

} // namespace

X11FullscreenWatch::X11FullscreenWatch(xcb_connection_t* connection, xcb_window_t root)
    : m_connection(connection)
    , m_root(root)
    , m_activeAtom(atom("_NET_ACTIVE_WINDOW"))
    , m_stateAtom(atom("_NET_WM_STATE"))
    , m_fullscreenAtom(atom("_NET_WM_STATE_FULLSCREEN"))
{
    qGuiApp->installNativeEventFilter(this);
    changeEventMask(connection, root, XCB_EVENT_MASK_PROPERTY_CHANGE);
    followActive();
}

X11FullscreenWatch::~X11FullscreenWatch()
{
    qGuiApp->removeNativeEventFilter(this);
}

xcb_atom_t X11FullscreenWatch::atom(const char* name) const
{
    const auto reply = own(xcb_intern_atom_reply(m_connection, xcb_intern_atom(m_connection, 0, quint16(strlen(name)), name), nullptr));
    return reply ? reply->atom : XCB_NONE;
}

void X11FullscreenWatch::followActive()
{
    const auto reply = own(xcb_get_property_reply(m_connection,
        xcb_get_property(m_connection, 0, m_root, m_activeAtom, XCB_ATOM_WINDOW, 0, 1), nullptr));
    const xcb_window_t active = reply && xcb_get_property_value_length(reply.get()) >= 4
        ? *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()))
        : XCB_NONE;
    if (active != m_active) {
        // The window left behind hears only what it heard before.
        if (m_active && m_activeMask)
            xcb_discard_reply(m_connection,
                xcb_change_window_attributes_checked(m_connection, m_active, XCB_CW_EVENT_MASK, &*m_activeMask).sequence);
        m_active = active;
        m_activeMask = active ? changeEventMask(m_connection, active, XCB_EVENT_MASK_PROPERTY_CHANGE) : std::nullopt;
    }
    update();
}

void X11FullscreenWatch::update()
{
    bool fullscreen = false;
    if (m_active) {
        const auto state = own(xcb_get_property_reply(m_connection,
            xcb_get_property(m_connection, 0, m_active, m_stateAtom, XCB_ATOM_ATOM, 0, 64), nullptr));
        const auto* atoms = state ? static_cast<const xcb_atom_t*>(xcb_get_property_value(state.get())) : nullptr;
        for (int i = 0; atoms && i < xcb_get_property_value_length(state.get()) / 4; ++i)
            fullscreen = fullscreen || atoms[i] == m_fullscreenAtom;
    }
    const bool on = fullscreen && fillsMonkeyScreen(m_active);
    if (on != m_on) {
        m_on = on;
        Q_EMIT changed(on);
    }
}

// A fullscreen window elsewhere (a video on the other monitor) leaves the monkey in sight.
bool X11FullscreenWatch::fillsMonkeyScreen(xcb_window_t window) const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const auto geometry = own(xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr));
    const auto origin = own(xcb_translate_coordinates_reply(m_connection,
        xcb_translate_coordinates(m_connection, window, m_root, 0, 0), nullptr));
    if (!screen || !geometry || !origin)
        return false;
    // The screen's top-left stays in device pixels under Qt's scaling; its size does not.
    const QRect monkeyScreen(screen->geometry().topLeft(), screen->geometry().size() * screen->devicePixelRatio());
    return monkeyScreen.contains(QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height).center());
}

bool X11FullscreenWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if (eventType != "xcb_generic_event_t" || (event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
        return false;
    const auto* property = reinterpret_cast<const xcb_property_notify_event_t*>(event);
    if (property->window == m_root && property->atom == m_activeAtom)
        followActive();
    else if (property->window == m_active && property->atom == m_stateAtom)
        update();
    return false;
}
