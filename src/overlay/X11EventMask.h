#pragma once

#include <QtGlobal>

#include <xcb/xcb.h>

#include <cstdlib>
#include <optional>

// Qt and the rest of this process have their own events selected on a window, and setting the
// mask replaces this client's whole mask: read it first, then add and remove. Returns the mask as
// it was, or none for a window already gone.
inline std::optional<quint32> changeEventMask(
    xcb_connection_t* connection, xcb_window_t window, quint32 add, quint32 remove = 0)
{
    xcb_generic_error_t* error = nullptr; // a window already gone is no news
    xcb_get_window_attributes_reply_t* attributes
        = xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, window), &error);
    std::free(error);
    if (!attributes)
        return std::nullopt;
    const quint32 before = attributes->your_event_mask;
    std::free(attributes);
    const quint32 after = (before | add) & ~remove;
    xcb_discard_reply(
        connection, xcb_change_window_attributes_checked(connection, window, XCB_CW_EVENT_MASK, &after).sequence);
    xcb_flush(connection);
    return before;
}
