#pragma once

#include <QProcess>
#include <QSize>
#include <QTemporaryDir>

// A Wayland compositor running in a window on the test's X display, with XWayland, for end-to-end
// tests of native Wayland code and of the app on XWayland. It opens at the display's top left: one
// per X display. sway refuses root, so as root it runs as a system user of its own, whose sockets
// root still reaches and whose XWayland admits root too.
class NestedCompositor {
public:
    enum class Kind { Mutter, KWin, Sway };

    // `base`: the environment the compositor and its clients start from (e.g. XDG_DATA_DIRS for KWin).
    explicit NestedCompositor(Kind kind, QProcessEnvironment base = QProcessEnvironment::systemEnvironment());
    ~NestedCompositor();

    // Starts it and waits until its Wayland socket and its XWayland server take clients.
    bool start(QSize size = {800, 600});
    // What it printed, for a failing test's message.
    QString output();

    // `base` with XDG_RUNTIME_DIR and WAYLAND_DISPLAY of the nested session, and DISPLAY and
    // XAUTHORITY of its XWayland server.
    QProcessEnvironment environment() const;
    QString runtimeDir() const { return m_runtime.path(); }
    QString waylandDisplay() const { return m_wayland; }
    QString xwaylandDisplay() const { return m_x11; }
    // sway only: runs `swaymsg arguments...` against this sway; true when it succeeded.
    bool swaymsg(const QStringList& arguments) const;

private:
    QStringList command(QSize size) const;
    QString writeTeller() const;
    bool prepareSwayUser();

    Kind m_kind;
    QProcessEnvironment m_base;
    QTemporaryDir m_runtime;
    QProcess m_process;
    QString m_swayUser; // the user sway runs as, when not the test's own
    QString m_wayland, m_x11, m_xauthority;
};
