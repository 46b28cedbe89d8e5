#pragma once

#include <QObject>
#include <QRect>

#include <cstdint>
#include <map>
#include <set>

struct wl_callback;
struct wl_display;
struct wl_output;
struct wl_registry;
struct org_kde_plasma_window;
struct org_kde_plasma_window_management;
struct zwlr_foreign_toplevel_handle_v1;
struct zwlr_foreign_toplevel_manager_v1;

// Whether the active window is fullscreen on the monkey's output, told natively by a Wayland
// compositor that lists other clients' windows: wlroots' foreign toplevels (sway) or Plasma's
// window management (KWin, for an executable whose desktop file asks for it). Where neither is
// offered (mutter, weston) it stays off. Only the compositor's events move it; whoever owns the
// connection dispatches its default queue.
class WaylandFullscreenWatch : public QObject {
    Q_OBJECT
public:
    explicit WaylandFullscreenWatch(wl_display* display, QObject* parent = nullptr);
    ~WaylandFullscreenWatch() override;

    bool isOn() const { return m_on; }
    // The registry name of the wl_output the monkey hangs on; 0: the first output announced.
    void setMonkeyOutput(uint32_t outputGlobalName);

Q_SIGNALS:
    void changed(bool on);

private:
    struct Listeners; // the protocols' callbacks
    // What the compositor last told of one window.
    struct Window {
        bool active = false, fullscreen = false;
        QRect geometry;               // Plasma's: where it lies on the desktop
        std::set<wl_output*> outputs; // wlroots': the outputs it shows on
    };
    struct Output {
        wl_output* proxy = nullptr;
        QPoint position;
        QSize modeSize;
        int scale = 1;
        bool turned = false; // a quarter turn: its mode's width runs down the desktop
        // Its place on the desktop. Under a fractional scale the integer one rounds up and the size falls short,
        // but never by half: the centre of a window filling it still lies inside.
        QRect geometry() const { return QRect(position, (turned ? modeSize.transposed() : modeSize) / scale); }
    };

    void bindGlobal(uint32_t name, const QByteArray& interface, uint32_t version);
    void bindManagers();
    void forgetOutput(uint32_t name);
    void update();
    const Output* monkeyOutput() const;
    bool onMonkeyOutput(const Window& window) const;

    wl_registry* m_registry;
    wl_callback* m_initialGlobals;
    std::map<uint32_t, Output> m_outputs; // by registry name
    // The window lists, bound once every output is known so that their first words name outputs we hold.
    std::map<uint32_t, std::pair<QByteArray, uint32_t>> m_offered;
    zwlr_foreign_toplevel_manager_v1* m_toplevelManager = nullptr;
    org_kde_plasma_window_management* m_plasma = nullptr;
    std::map<zwlr_foreign_toplevel_handle_v1*, Window> m_toplevels;
    std::map<org_kde_plasma_window*, Window> m_plasmaWindows;
    uint32_t m_monkeyOutput = 0;
    bool m_on = false;
};
