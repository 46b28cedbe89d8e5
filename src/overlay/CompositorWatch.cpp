#include "overlay/CompositorWatch.h"

#include <QGuiApplication>

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <cstdlib>

namespace {

xcb_connection_t* x11Connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

} // namespace

CompositorWatch& CompositorWatch::shared()
{
    static CompositorWatch* watch = new CompositorWatch;
    return *watch;
}

CompositorWatch::CompositorWatch()
{
    xcb_connection_t* connection = x11Connection();
    if (!connection)
        return;
    m_x11 = true;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(0);
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, name.size(), name.constData()), nullptr);
    if (atom) {
        m_selection = atom->atom;
        std::free(atom);
    }
    // Ask to be told when the selection changes hands: a compositor starting or stopping.
    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(connection, &xcb_xfixes_id);
    if (xfixes && xfixes->present && screen) {
        m_xfixesEventBase = xfixes->first_event;
        std::free(xcb_xfixes_query_version_reply(connection, xcb_xfixes_query_version(connection, 5, 0), nullptr));
        xcb_xfixes_select_selection_input(connection, screen->root, m_selection,
            XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY
                | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
        xcb_flush(connection);
        qGuiApp->installNativeEventFilter(this);
    }
    m_running = queryOwner();
}

bool CompositorWatch::queryOwner() const
{
    xcb_connection_t* connection = x11Connection();
    if (!connection || !m_selection)
        return false;
    xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, m_selection), nullptr);
    const bool owned = reply && reply->owner != XCB_NONE;
    std::free(reply);
    return owned;
}

bool CompositorWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (!m_x11 || eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != m_xfixesEventBase + XCB_XFIXES_SELECTION_NOTIFY)
        return false;
    const bool running = queryOwner();
    if (running != m_running) {
        m_running = running;
        Q_EMIT changed(running);
    }
    return false;
}
