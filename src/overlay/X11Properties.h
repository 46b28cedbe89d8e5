#pragma once

#include <QByteArray>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

// xcb replies are malloc'ed: each one is freed when it goes out of scope.
template <typename T> using X11Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T> X11Reply<T> ownReply(T* reply)
{
    return X11Reply<T>(reply, &std::free);
}

inline xcb_atom_t internAtom(xcb_connection_t* connection, const char* name)
{
    const auto reply = ownReply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, quint16(strlen(name)), name), nullptr));
    return reply ? reply->atom : XCB_NONE;
}

// A property's value as raw bytes (up to `longs` 32-bit units), empty where it is not set.
inline QByteArray readProperty(
    xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property, xcb_atom_t type, quint32 longs)
{
    const auto reply = ownReply(
        xcb_get_property_reply(connection, xcb_get_property(connection, 0, window, property, type, 0, longs), nullptr));
    if (!reply)
        return {};
    const int bytes = xcb_get_property_value_length(reply.get());
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())), bytes);
}

// A window property holding one window, or none.
inline xcb_window_t readWindowProperty(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property)
{
    const QByteArray value = readProperty(connection, window, property, XCB_ATOM_WINDOW, 1);
    xcb_window_t found = XCB_NONE;
    if (value.size() >= int(sizeof found))
        std::memcpy(&found, value.constData(), sizeof found);
    return found;
}
