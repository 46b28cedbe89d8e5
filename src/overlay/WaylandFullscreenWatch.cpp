#include "overlay/WaylandFullscreenWatch.h"

#include "plasma-window-management-client-protocol.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <algorithm>

namespace {
constexpr auto ignored = [](auto...) {};
constexpr uint32_t newestPlasma = 16, newestToplevels = 3, outputWithScale = 2;

// A state array of the foreign toplevel protocol: whether it holds `state`.
bool holds(const wl_array* states, uint32_t state)
{
    const auto* first = static_cast<const uint32_t*>(states->data);
    return std::find(first, first + states->size / sizeof(uint32_t), state) != first + states->size / sizeof(uint32_t);
}
} // namespace

// Each callback gets the watch as its data and finds its object in the watch's maps.
struct WaylandFullscreenWatch::Listeners {
    static WaylandFullscreenWatch* watch(void* data) { return static_cast<WaylandFullscreenWatch*>(data); }

    static constexpr wl_registry_listener registry{
        .global = [](void* data, wl_registry*, uint32_t name, const char* interface,
                      uint32_t version) { watch(data)->bindGlobal(name, interface, version); },
        .global_remove = [](void* data, wl_registry*, uint32_t name) { watch(data)->forgetOutput(name); },
    };
    static constexpr wl_callback_listener initialGlobals{
        .done =
            [](void* data, wl_callback* callback, uint32_t) {
                wl_callback_destroy(callback);
                watch(data)->m_initialGlobals = nullptr;
                watch(data)->bindManagers();
            },
    };

    static WaylandFullscreenWatch::Output* output(void* data, wl_output* proxy)
    {
        for (auto& [name, output] : watch(data)->m_outputs)
            if (output.proxy == proxy)
                return &output;
        return nullptr;
    }
    static constexpr wl_output_listener outputs{
        .geometry =
            [](void* data, wl_output* proxy, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*, const char*,
                int32_t transform) {
                if (Output* output = Listeners::output(data, proxy)) {
                    output->position = QPoint(x, y);
                    output->turned = transform & 1; // the 90 and 270 degree turns, flipped or not
                }
            },
        .mode =
            [](void* data, wl_output* proxy, uint32_t flags, int32_t width, int32_t height, int32_t) {
                Output* output = Listeners::output(data, proxy);
                if (output && (flags & WL_OUTPUT_MODE_CURRENT))
                    output->modeSize = QSize(width, height);
            },
        .done = [](void* data, wl_output*) { watch(data)->update(); },
        .scale =
            [](void* data, wl_output* proxy, int32_t scale) {
                if (Output* output = Listeners::output(data, proxy))
                    output->scale = std::max(scale, 1);
            },
        .name = ignored,
        .description = ignored,
    };

    static constexpr zwlr_foreign_toplevel_handle_v1_listener toplevel{
        .title = ignored,
        .app_id = ignored,
        .output_enter = [](void* data, zwlr_foreign_toplevel_handle_v1* handle,
                            wl_output* output) { watch(data)->m_toplevels[handle].outputs.insert(output); },
        .output_leave = [](void* data, zwlr_foreign_toplevel_handle_v1* handle,
                            wl_output* output) { watch(data)->m_toplevels[handle].outputs.erase(output); },
        .state =
            [](void* data, zwlr_foreign_toplevel_handle_v1* handle, wl_array* states) {
                Window& window = watch(data)->m_toplevels[handle];
                window.active = holds(states, ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED);
                window.fullscreen = holds(states, ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_FULLSCREEN);
            },
        // A toplevel's changes come in a batch this ends.
        .done = [](void* data, zwlr_foreign_toplevel_handle_v1*) { watch(data)->update(); },
        .closed =
            [](void* data, zwlr_foreign_toplevel_handle_v1* handle) {
                watch(data)->m_toplevels.erase(handle);
                zwlr_foreign_toplevel_handle_v1_destroy(handle);
                watch(data)->update();
            },
        .parent = ignored,
    };

    static constexpr zwlr_foreign_toplevel_manager_v1_listener toplevelManager{
        .toplevel =
            [](void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle) {
                watch(data)->m_toplevels[handle];
                zwlr_foreign_toplevel_handle_v1_add_listener(handle, &toplevel, data);
            },
        .finished =
            [](void* data, zwlr_foreign_toplevel_manager_v1* manager) {
                zwlr_foreign_toplevel_manager_v1_destroy(manager);
                watch(data)->m_toplevelManager = nullptr;
            },
    };
    static constexpr org_kde_plasma_window_listener plasmaWindow{
        .title_changed = ignored,
        .app_id_changed = ignored,
        .state_changed =
            [](void* data, org_kde_plasma_window* window, uint32_t flags) {
                Window& known = watch(data)->m_plasmaWindows[window];
                known.active = flags & ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE;
                known.fullscreen = flags & ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_FULLSCREEN;
                watch(data)->update();
            },
        .virtual_desktop_changed = ignored,
        .themed_icon_name_changed = ignored,
        .unmapped =
            [](void* data, org_kde_plasma_window* window) {
                watch(data)->m_plasmaWindows.erase(window);
                org_kde_plasma_window_destroy(window);
                watch(data)->update();
            },
        .initial_state = ignored,
        .parent_window = ignored,
        .geometry =
            [](void* data, org_kde_plasma_window* window, int32_t x, int32_t y, uint32_t width, uint32_t height) {
                watch(data)->m_plasmaWindows[window].geometry = QRect(x, y, int(width), int(height));
                watch(data)->update();
            },
        .icon_changed = ignored,
        .pid_changed = ignored,
        .virtual_desktop_entered = ignored,
        .virtual_desktop_left = ignored,
        .application_menu = ignored,
        .activity_entered = ignored,
        .activity_left = ignored,
        .resource_name_changed = ignored,
    };
    static void addPlasmaWindow(void* data, org_kde_plasma_window* window)
    {
        watch(data)->m_plasmaWindows[window];
        org_kde_plasma_window_add_listener(window, &plasmaWindow, data);
    }
    static constexpr org_kde_plasma_window_management_listener plasma{
        .show_desktop_changed = ignored,
        // Announced twice from version 13 on: by number, and by the identifier that replaced it.
        .window =
            [](void* data, org_kde_plasma_window_management* manager, uint32_t id) {
                if (org_kde_plasma_window_management_get_version(manager)
                    < ORG_KDE_PLASMA_WINDOW_MANAGEMENT_WINDOW_WITH_UUID_SINCE_VERSION)
                    addPlasmaWindow(data, org_kde_plasma_window_management_get_window(manager, id));
            },
        .stacking_order_changed = ignored,
        .stacking_order_uuid_changed = ignored,
        .window_with_uuid =
            [](void* data, org_kde_plasma_window_management* manager, uint32_t, const char* uuid) {
                addPlasmaWindow(data, org_kde_plasma_window_management_get_window_by_uuid(manager, uuid));
            },
    };
};

WaylandFullscreenWatch::WaylandFullscreenWatch(wl_display* display, QObject* parent)
    : QObject(parent)
    , m_registry(wl_display_get_registry(display))
    , m_initialGlobals(wl_display_sync(display))
{
    wl_registry_add_listener(m_registry, &Listeners::registry, this);
    wl_callback_add_listener(m_initialGlobals, &Listeners::initialGlobals, this);
    wl_display_flush(display); // its owner may dispatch only once the compositor speaks
}

WaylandFullscreenWatch::~WaylandFullscreenWatch()
{
    for (const auto& [handle, window] : m_toplevels)
        zwlr_foreign_toplevel_handle_v1_destroy(handle);
    if (m_toplevelManager) {
        zwlr_foreign_toplevel_manager_v1_stop(m_toplevelManager);
        zwlr_foreign_toplevel_manager_v1_destroy(m_toplevelManager);
    }
    for (const auto& [proxy, window] : m_plasmaWindows)
        org_kde_plasma_window_destroy(proxy);
    if (m_plasma)
        org_kde_plasma_window_management_destroy(m_plasma);
    for (const auto& [name, output] : m_outputs)
        wl_output_destroy(output.proxy);
    if (m_initialGlobals)
        wl_callback_destroy(m_initialGlobals);
    wl_registry_destroy(m_registry);
}

void WaylandFullscreenWatch::setMonkeyOutput(uint32_t outputGlobalName)
{
    m_monkeyOutput = outputGlobalName;
    update();
}

void WaylandFullscreenWatch::bindGlobal(uint32_t name, const QByteArray& interface, uint32_t version)
{
    if (interface == wl_output_interface.name) {
        auto* proxy = static_cast<wl_output*>(
            wl_registry_bind(m_registry, name, &wl_output_interface, std::min(version, outputWithScale)));
        m_outputs[name].proxy = proxy;
        wl_output_add_listener(proxy, &Listeners::outputs, this);
    } else if (interface == zwlr_foreign_toplevel_manager_v1_interface.name
        || interface == org_kde_plasma_window_management_interface.name) {
        m_offered[name] = {interface, version};
        if (!m_initialGlobals)
            bindManagers();
    }
}

// The window lists' first events name the outputs each window is on: bound after the outputs, they name only
// outputs this watch holds.
void WaylandFullscreenWatch::bindManagers()
{
    for (const auto& [name, offer] : m_offered) {
        const auto& [interface, version] = offer;
        if (interface == zwlr_foreign_toplevel_manager_v1_interface.name && !m_toplevelManager) {
            m_toplevelManager = static_cast<zwlr_foreign_toplevel_manager_v1*>(wl_registry_bind(
                m_registry, name, &zwlr_foreign_toplevel_manager_v1_interface, std::min(version, newestToplevels)));
            zwlr_foreign_toplevel_manager_v1_add_listener(m_toplevelManager, &Listeners::toplevelManager, this);
        } else if (interface == org_kde_plasma_window_management_interface.name && !m_plasma) {
            m_plasma = static_cast<org_kde_plasma_window_management*>(wl_registry_bind(
                m_registry, name, &org_kde_plasma_window_management_interface, std::min(version, newestPlasma)));
            org_kde_plasma_window_management_add_listener(m_plasma, &Listeners::plasma, this);
        }
    }
    m_offered.clear();
}

void WaylandFullscreenWatch::forgetOutput(uint32_t name)
{
    const auto output = m_outputs.find(name);
    if (output == m_outputs.end())
        return;
    for (auto& [handle, window] : m_toplevels)
        window.outputs.erase(output->second.proxy);
    wl_output_destroy(output->second.proxy);
    m_outputs.erase(output);
    update();
}

const WaylandFullscreenWatch::Output* WaylandFullscreenWatch::monkeyOutput() const
{
    const auto chosen = m_outputs.find(m_monkeyOutput);
    if (chosen != m_outputs.end())
        return &chosen->second;
    return m_outputs.empty() ? nullptr : &m_outputs.begin()->second; // registry names grow: the first announced
}

// A fullscreen window elsewhere (a video on the other monitor) leaves the monkey in sight.
bool WaylandFullscreenWatch::onMonkeyOutput(const Window& window) const
{
    const Output* output = monkeyOutput();
    if (!output)
        return true; // no output told yet: nothing to tell them apart by
    if (window.geometry.isValid())
        return output->geometry().isEmpty() || output->geometry().contains(window.geometry.center());
    return window.outputs.contains(output->proxy);
}

void WaylandFullscreenWatch::update()
{
    const auto covers = [this](const auto& entry) {
        const Window& window = entry.second;
        return window.active && window.fullscreen && onMonkeyOutput(window);
    };
    const bool on = std::any_of(m_toplevels.begin(), m_toplevels.end(), covers)
        || std::any_of(m_plasmaWindows.begin(), m_plasmaWindows.end(), covers);
    if (on != m_on) {
        m_on = on;
        Q_EMIT changed(on);
    }
}
