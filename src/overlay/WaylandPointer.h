#pragma once

#include <QObject>
#include <QPointF>
#include <QPointer>

class WaylandConnection;
class QWidget;
struct wl_cursor_theme;
struct wl_pointer;
struct wl_surface;

// The seat's pointer over our layer surfaces, handed to the panels' widgets as the mouse events
// Qt would send them: enter and leave, moves, presses and releases. Over a panel it shows the
// cursor theme's arrow.
class WaylandPointer : public QObject {
    Q_OBJECT
public:
    explicit WaylandPointer(WaylandConnection& wayland, QObject* parent = nullptr);
    ~WaylandPointer() override;

private:
    struct Listeners;
    void setPointer(bool present);
    void entered(uint32_t serial, wl_surface* surface, QPointF at);
    void left();
    void moved(QPointF at);
    void pressed(uint32_t button, bool down);
    // The widget under the pointer now: the one that heard it last hears it leave.
    void track(QWidget* under);
    void showArrow(uint32_t serial);

    WaylandConnection& m_wayland;
    wl_pointer* m_pointer = nullptr;
    QPointer<QWidget> m_panel;
    QPointer<QWidget> m_under;
    QPointF m_at;
    Qt::MouseButtons m_buttons;
    wl_cursor_theme* m_theme = nullptr;
    wl_surface* m_cursor = nullptr;
};
