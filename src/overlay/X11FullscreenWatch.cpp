#include "overlay/X11FullscreenWatch.h"

#include "overlay/X11EventMask.h"
#include "overlay/X11Properties.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>

#include <cstring>

X11FullscreenWatch::X11FullscreenWatch(xcb_connection_t* connection, xcb_window_t root)
    : m_connection(connection)
    , m_root(root)
    , m_activeAtom(internAtom(connection, "_NET_ACTIVE_WINDOW"))
    , m_stateAtom(internAtom(connection, "_NET_WM_STATE"))
    , m_fullscreenAtom(internAtom(connection, "_NET_WM_STATE_FULLSCREEN"))
{
    qGuiApp->installNativeEventFilter(this);
    changeEventMask(connection, root, XCB_EVENT_MASK_PROPERTY_CHANGE);
    followActive();
}

X11FullscreenWatch::~X11FullscreenWatch()
{
    qGuiApp->removeNativeEventFilter(this);
}

void X11FullscreenWatch::followActive()
{
    const xcb_window_t active = readWindowProperty(m_connection, m_root, m_activeAtom);
    if (active != m_active) {
        // The window left behind hears only what it heard before.
        if (m_active && m_activeMask)
            xcb_discard_reply(m_connection,
                xcb_change_window_attributes_checked(m_connection, m_active, XCB_CW_EVENT_MASK, &*m_activeMask)
                    .sequence);
        m_active = active;
        m_activeMask = active
            ? changeEventMask(m_connection, active, XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY)
            : std::nullopt;
    }
    update();
}

// Some window managers (openbox) leave the root naming the active window after it is destroyed,
// the last one closing: a window gone is no active window at all.
void X11FullscreenWatch::forgetActive()
{
    m_active = XCB_NONE;
    m_activeMask.reset();
    update();
}

void X11FullscreenWatch::update()
{
    bool fullscreen = false;
    if (m_active) {
        const QByteArray state = readProperty(m_connection, m_active, m_stateAtom, XCB_ATOM_ATOM, 64);
        for (qsizetype at = 0; at + qsizetype(sizeof(xcb_atom_t)) <= state.size(); at += sizeof(xcb_atom_t)) {
            xcb_atom_t atom;
            std::memcpy(&atom, state.constData() + at, sizeof atom);
            fullscreen = fullscreen || atom == m_fullscreenAtom;
        }
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
    const auto geometry
        = ownReply(xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr));
    const auto origin = ownReply(xcb_translate_coordinates_reply(
        m_connection, xcb_translate_coordinates(m_connection, window, m_root, 0, 0), nullptr));
    if (!screen || !geometry || !origin)
        return false;
    // The screen's top-left stays in device pixels under Qt's scaling; its size does not.
    const QRect monkeyScreen(screen->geometry().topLeft(), screen->geometry().size() * screen->devicePixelRatio());
    return monkeyScreen.contains(QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height).center());
}

bool X11FullscreenWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if (eventType != "xcb_generic_event_t")
        return false;
    if ((event->response_type & 0x7f) == XCB_DESTROY_NOTIFY) {
        if (m_active && reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window == m_active)
            forgetActive();
        return false;
    }
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
        return false;
    const auto* property = reinterpret_cast<const xcb_property_notify_event_t*>(event);
    if (property->window == m_root && property->atom == m_activeAtom)
        followActive();
    else if (property->window == m_active && property->atom == m_stateAtom)
        update();
    return false;
}
