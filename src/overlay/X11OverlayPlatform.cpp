#include "overlay/OverlayPlatform.h"
#include "overlay/X11EventMask.h"
#include "overlay/X11FullscreenWatch.h"
#include "overlay/X11Properties.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QHash>
#include <QScreen>

#include <QWidget>
#include <QWindow>

#include <xcb/shape.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <algorithm>
#include <optional>
#include <vector>

#include <cstdlib>

namespace {

// On X11 a compositing manager owns the selection _NET_WM_CM_S0; XFixes tells us when that
// selection changes hands. The bounding shape goes through Qt; the input shape is set here, so
// the X server itself sends the pointer to the window or past it, with no polling.
class X11OverlayPlatform : public OverlayPlatform, public QAbstractNativeEventFilter {
public:
    explicit X11OverlayPlatform(xcb_connection_t* connection);

    QString name() const override { return QStringLiteral("x11"); }
    bool isComposited() const override { return m_composited; }
    // Under XWayland mutter ignores the input shape over its own clients, so clear pixels would
    // swallow their clicks; the bounding shape it does honour. Where the compositor ignores both
    // (see below), a cut would only send the box's clicks to XWayland's root, lost.
    bool cutsToDrawn() const override { return !m_composited || (m_xwayland && !takesClicksInWholeBox()); }
    // KWin and wlroots compositors give a click to an XWayland window wherever its box is,
    // shapes or not; XWayland drops it at its root where the shapes leave the point out. There a
    // region takes the whole window, so such clicks at least reach the window that got them.
    bool takesClicksInWholeBox() const override;
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    void setPassThrough(QWidget* window, bool on) override;
    void setInputRegion(QWidget* window, const QRegion& region) override;
    bool keepsPoses() const override { return true; }
    std::unique_ptr<PoseSheet> makePoseSheet(QWidget* window, const QList<Pose>& poses) override;
    bool isFullscreenActive() const override { return m_fullscreen && m_fullscreen->isOn(); }

private:
    bool queryOwner() const;

    xcb_connection_t* m_connection;
    bool m_composited = true;
    bool m_xwayland = false;
    QByteArray m_windowManager; // the name it gives itself, if any
    quint8 m_xfixesEventBase = 0;
    std::unique_ptr<X11FullscreenWatch> m_fullscreen;
    xcb_atom_t m_selection = XCB_NONE;

    friend class X11PoseSheet;
    // The sheet showing in each window; its window's exposures are answered from it.
    QHash<xcb_window_t, class X11PoseSheet*> m_showing;
};

std::vector<xcb_rectangle_t> rectanglesOf(const QRegion& region)
{
    std::vector<xcb_rectangle_t> rects;
    rects.reserve(size_t(region.rectCount()));
    for (const QRect& r : region)
        rects.push_back({qint16(r.x()), qint16(r.y()), quint16(r.width()), quint16(r.height())});
    return rects;
}

// Server-side pixmaps of one window's poses, copied into the window as they come up; where the
// window is cut to what it draws, each pose's shape goes with it.
class X11PoseSheet : public OverlayPlatform::PoseSheet {
public:
    X11PoseSheet(
        X11OverlayPlatform& platform, QWidget* window, quint8 depth, const QList<OverlayPlatform::Pose>& poses);
    ~X11PoseSheet() override;
    void show(int pose, QRect area) override;
    void release() override;
    // Copies the pose shown again where the window was exposed.
    void repaint(QRect area);

private:
    void cut(const std::vector<xcb_rectangle_t>& shape);
    void hearExposures(bool on);

    X11OverlayPlatform& m_platform;
    xcb_connection_t* m_connection;
    QWidget* m_widget;
    xcb_window_t m_window;
    xcb_gcontext_t m_gc = 0;
    std::vector<xcb_pixmap_t> m_pixmaps;
    std::vector<std::vector<xcb_rectangle_t>> m_shapes; // one per pose, or none where the window is not cut
    QSize m_size;
    int m_shown = -1;
    std::optional<quint32> m_eventMask; // the window's own, while its exposures are not heard
};

X11OverlayPlatform::X11OverlayPlatform(xcb_connection_t* connection)
    : m_connection(connection)
{
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    m_selection = internAtom(connection, "_NET_WM_CM_S0");
    // Ask to be told when the selection changes hands: a compositor starting or stopping.
    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(connection, &xcb_xfixes_id);
    if (xfixes && xfixes->present && screen) {
        m_xfixesEventBase = xfixes->first_event;
        std::free(xcb_xfixes_query_version_reply(connection, xcb_xfixes_query_version(connection, 5, 0), nullptr));
        xcb_xfixes_select_selection_input(connection, screen->root, m_selection,
            XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER
                | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY
                | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
        xcb_flush(connection);
    }
    qGuiApp->installNativeEventFilter(this);
    m_composited = queryOwner();
    // XWayland names its outputs so; no extension tells it on the versions in use.
    const QScreen* primary = QGuiApplication::primaryScreen();
    m_xwayland = primary && primary->name().startsWith(u"XWAYLAND");
    if (!screen)
        return;
    const xcb_window_t check
        = readWindowProperty(connection, screen->root, internAtom(connection, "_NET_SUPPORTING_WM_CHECK"));
    if (check)
        m_windowManager = readProperty(
            connection, check, internAtom(connection, "_NET_WM_NAME"), internAtom(connection, "UTF8_STRING"), 64);
    // Unmanaged windows stay on top only until a window manager raises one of its own over them;
    // the root's substructure tells when that happens.
    changeEventMask(connection, screen->root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
    m_fullscreen = std::make_unique<X11FullscreenWatch>(connection, screen->root);
    connect(m_fullscreen.get(), &X11FullscreenWatch::changed, this, &OverlayPlatform::fullscreenActiveChanged);
}

bool X11OverlayPlatform::queryOwner() const
{
    if (!m_selection)
        return false;
    xcb_get_selection_owner_reply_t* reply
        = xcb_get_selection_owner_reply(m_connection, xcb_get_selection_owner(m_connection, m_selection), nullptr);
    const bool owned = reply && reply->owner != XCB_NONE;
    std::free(reply);
    return owned;
}

bool X11OverlayPlatform::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) == XCB_EXPOSE) {
        // Held back from Qt, whose picture of the window is older than the sheet's.
        const auto* expose = reinterpret_cast<const xcb_expose_event_t*>(event);
        X11PoseSheet* sheet = m_showing.value(expose->window);
        if (sheet)
            sheet->repaint(QRect(expose->x, expose->y, expose->width, expose->height));
        return sheet != nullptr;
    }
    if ((event->response_type & 0x7f) == XCB_CONFIGURE_NOTIFY) {
        const auto* configure = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
        if (configure->event != configure->window && !configure->override_redirect)
            Q_EMIT windowRestacked(configure->window, configure->above_sibling);
        return false;
    }
    if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
        const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event);
        if (map->event != map->window && !map->override_redirect)
            Q_EMIT windowRestacked(map->window, 0); // a window mapped goes on top
        return false;
    }
    if ((event->response_type & 0x7f) != m_xfixesEventBase + XCB_XFIXES_SELECTION_NOTIFY)
        return false;
    const bool composited = queryOwner();
    if (composited != m_composited) {
        m_composited = composited;
        Q_EMIT compositedChanged(composited);
    }
    return false;
}

void X11OverlayPlatform::setPassThrough(QWidget* window, bool on)
{
    QWindow* native = window->windowHandle();
    if (!native)
        return;
    if (on) {
        setInputRegion(window, QRegion());
        return;
    }
    // No input shape: the whole window takes the pointer again.
    xcb_shape_mask(m_connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, xcb_window_t(native->winId()), 0, 0, XCB_NONE);
    xcb_flush(m_connection);
}

bool X11OverlayPlatform::takesClicksInWholeBox() const
{
    return m_xwayland && (m_windowManager == "KWin" || m_windowManager == "wlroots wm");
}

void X11OverlayPlatform::setInputRegion(QWidget* window, const QRegion& region)
{
    QWindow* native = window->windowHandle();
    if (!native)
        return;
    if (!region.isEmpty() && takesClicksInWholeBox()) {
        setPassThrough(window, false);
        return;
    }
    const qreal scale = native->devicePixelRatio();
    QRegion device;
    for (const QRect& r : region)
        device += QRect(QPoint(qRound(r.x() * scale), qRound(r.y() * scale)),
            QSize(qRound(r.width() * scale), qRound(r.height() * scale)));
    const std::vector<xcb_rectangle_t> rects = rectanglesOf(device);
    xcb_shape_rectangles(m_connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED,
        xcb_window_t(native->winId()), 0, 0, quint32(rects.size()), rects.data());
    xcb_flush(m_connection);
}

std::unique_ptr<OverlayPlatform::PoseSheet> X11OverlayPlatform::makePoseSheet(QWidget* window, const QList<Pose>& poses)
{
    QWindow* native = window->windowHandle();
    if (!native || poses.isEmpty())
        return nullptr;
    const auto id = xcb_window_t(native->winId());
    xcb_get_geometry_reply_t* geometry
        = xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, id), nullptr);
    const quint8 depth = geometry ? geometry->depth : 0;
    std::free(geometry);
    if (depth != 24 && depth != 32)
        return nullptr;
    return std::make_unique<X11PoseSheet>(*this, window, depth, poses);
}

X11PoseSheet::X11PoseSheet(
    X11OverlayPlatform& platform, QWidget* window, quint8 depth, const QList<OverlayPlatform::Pose>& poses)
    : m_platform(platform)
    , m_connection(platform.m_connection)
    , m_widget(window)
    , m_window(xcb_window_t(window->windowHandle()->winId()))
    , m_size(poses.first().picture.size())
{
    const bool cuts = std::any_of(
        poses.begin(), poses.end(), [](const OverlayPlatform::Pose& pose) { return !pose.shape.isEmpty(); });
    for (const OverlayPlatform::Pose& pose : poses) {
        if (cuts)
            m_shapes.push_back(rectanglesOf(pose.shape));
        const QImage pixels = pose.picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const xcb_pixmap_t pixmap = xcb_generate_id(m_connection);
        xcb_create_pixmap(m_connection, depth, pixmap, m_window, quint16(pixels.width()), quint16(pixels.height()));
        if (!m_gc) {
            m_gc = xcb_generate_id(m_connection);
            // No NoExpose event for every copy: each would wake the app for nothing.
            const quint32 noExposures = 0;
            xcb_create_gc(m_connection, m_gc, pixmap, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
        }
        // One row at a time keeps each request small, whatever the server's request size.
        for (int y = 0; y < pixels.height(); ++y)
            xcb_put_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, m_gc, quint16(pixels.width()), 1, 0,
                qint16(y), 0, depth, quint32(pixels.bytesPerLine()), pixels.constScanLine(y));
        m_pixmaps.push_back(pixmap);
    }
    xcb_flush(m_connection);
}

X11PoseSheet::~X11PoseSheet()
{
    // Not release(): the window may be going too, so its shape is left alone.
    if (m_platform.m_showing.value(m_window) == this)
        m_platform.m_showing.remove(m_window);
    for (xcb_pixmap_t pixmap : m_pixmaps)
        xcb_free_pixmap(m_connection, pixmap);
    if (m_gc)
        xcb_free_gc(m_connection, m_gc);
    xcb_flush(m_connection);
}

void X11PoseSheet::show(int pose, QRect area)
{
    if (pose < 0 || pose >= int(m_pixmaps.size()))
        return;
    m_platform.m_showing.insert(m_window, this);
    m_shown = pose;
    // Cut first, then copy: the area that changes also holds all the new shape uncovers.
    if (size_t(pose) < m_shapes.size()) {
        hearExposures(false);
        // Some compositors draw the whole window, whatever its shape: copied inside the old
        // shape first, what the new one leaves out is clear, not the pose before.
        if (m_platform.isComposited())
            repaint(area);
        cut(m_shapes[size_t(pose)]);
    }
    repaint(area);
}

void X11PoseSheet::repaint(QRect area)
{
    if (m_shown < 0 || area.isEmpty())
        return;
    xcb_copy_area(m_connection, m_pixmaps[size_t(m_shown)], m_window, m_gc, qint16(area.x()), qint16(area.y()),
        qint16(area.x()), qint16(area.y()), quint16(area.width()), quint16(area.height()));
    xcb_flush(m_connection);
}

void X11PoseSheet::cut(const std::vector<xcb_rectangle_t>& shape)
{
    xcb_shape_rectangles(m_connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, XCB_CLIP_ORDERING_UNSORTED, m_window, 0,
        0, quint32(shape.size()), shape.data());
}

// Each cut uncovers parts of the window, and each would come back as an exposure, waking the
// app to paint again what the copy after the cut already painted. While poses recut the window
// it hears none; an exposure from elsewhere (a window passing over the top-most overlay) is
// painted over at the next pose.
void X11PoseSheet::hearExposures(bool on)
{
    if (on == !m_eventMask)
        return;
    if (on) {
        xcb_change_window_attributes(m_connection, m_window, XCB_CW_EVENT_MASK, &*m_eventMask);
        m_eventMask.reset();
        return;
    }
    m_eventMask = changeEventMask(m_connection, m_window, 0, XCB_EVENT_MASK_EXPOSURE);
}

void X11PoseSheet::release()
{
    if (m_platform.m_showing.value(m_window) == this)
        m_platform.m_showing.remove(m_window);
    // The window's own shape again (the one it knows it has), and its exposures.
    if (m_shown >= 0 && !m_shapes.empty()) {
        if (m_widget->mask().isEmpty())
            xcb_shape_mask(m_connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, m_window, 0, 0, XCB_NONE);
        else
            cut(rectanglesOf(m_widget->mask()));
        hearExposures(true);
        xcb_flush(m_connection);
    }
    m_shown = -1;
}

} // namespace

std::unique_ptr<OverlayPlatform> makeX11OverlayPlatform()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return nullptr;
    return std::make_unique<X11OverlayPlatform>(connection);
}
