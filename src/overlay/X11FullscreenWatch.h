#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <xcb/xcb.h>

#include <optional>

// Whether the active window is fullscreen on the monkey's screen (the primary one), told by the
// window manager's own properties: the root's _NET_ACTIVE_WINDOW and that window's _NET_WM_STATE.
// Property changes on both, and the active window's destruction, are heard as they happen;
// nothing is polled.
class X11FullscreenWatch : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    X11FullscreenWatch(xcb_connection_t* connection, xcb_window_t root);
    ~X11FullscreenWatch() override;

    bool isOn() const { return m_on; }
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

Q_SIGNALS:
    void changed(bool on);

private:
    void followActive();
    void forgetActive();
    void update();
    bool fillsMonkeyScreen(xcb_window_t window) const;

    xcb_connection_t* m_connection;
    xcb_window_t m_root;
    xcb_atom_t m_activeAtom;
    xcb_atom_t m_stateAtom;
    xcb_atom_t m_fullscreenAtom;
    xcb_window_t m_active = XCB_NONE;
    std::optional<quint32> m_activeMask; // what the active window's events were before we listened
    bool m_on = false;
};
