#include "overlay/LayerShellOverlayPlatform.h"

#include "overlay/LayerSurface.h"
#include "overlay/WaylandConnection.h"
#include "overlay/WaylandFullscreenWatch.h"
#include "overlay/WaylandPointer.h"
#include "overlay/WaylandPoseSheet.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace {

using WaylandOutput = WaylandConnection::Output;

// The output showing what Qt calls `screen`: the one with the same place in the layout, else the
// one in the same order from the top-left, else the first.
const WaylandOutput* outputShowing(const WaylandConnection& wayland, const QScreen* screen)
{
    const QList<WaylandOutput*>& outputs = wayland.outputs();
    if (outputs.isEmpty() || !screen)
        return nullptr;
    const auto place = [](const WaylandOutput* o) { return o->logical.isValid() ? o->logical.topLeft() : o->position; };
    for (const WaylandOutput* output : outputs)
        if (place(output) == screen->geometry().topLeft())
            return output;
    QList<const WaylandOutput*> byPlace(outputs.begin(), outputs.end());
    QList<QScreen*> screens = QGuiApplication::screens();
    const auto before = [](QPoint a, QPoint b) { return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x(); };
    std::sort(byPlace.begin(), byPlace.end(), [&](auto* a, auto* b) { return before(place(a), place(b)); });
    std::sort(screens.begin(), screens.end(),
        [&](QScreen* a, QScreen* b) { return before(a->geometry().topLeft(), b->geometry().topLeft()); });
    const qsizetype index = screens.indexOf(const_cast<QScreen*>(screen));
    return byPlace.size() == screens.size() && index >= 0 ? byPlace[index] : outputs.first();
}

} // namespace

LayerShellOverlayPlatform::LayerShellOverlayPlatform(std::unique_ptr<WaylandConnection> wayland)
    : m_wayland(std::move(wayland))
    , m_pointer(std::make_unique<WaylandPointer>(*m_wayland))
    // Other programs' windows are told over the same connection, which serves its events.
    , m_fullscreen(std::make_unique<WaylandFullscreenWatch>(m_wayland->display()))
{
    const auto followMonkey = [this] { m_fullscreen->setMonkeyOutput(monkeyOutputName()); };
    connect(m_wayland.get(), &WaylandConnection::outputsChanged, this, &LayerShellOverlayPlatform::placeAll);
    connect(m_wayland.get(), &WaylandConnection::outputsChanged, this, followMonkey);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, followMonkey);
    connect(m_fullscreen.get(), &WaylandFullscreenWatch::changed, this, &OverlayPlatform::fullscreenActiveChanged);
    followMonkey();
}

LayerShellOverlayPlatform::~LayerShellOverlayPlatform()
{
    qDeleteAll(m_surfaces);
}

QString LayerShellOverlayPlatform::name() const
{
    return u"wayland layer-shell"_s;
}

bool LayerShellOverlayPlatform::isFullscreenActive() const
{
    return m_fullscreen->isOn();
}

uint32_t LayerShellOverlayPlatform::monkeyOutputName() const
{
    const WaylandOutput* output = outputShowing(*m_wayland, QGuiApplication::primaryScreen());
    return output ? output->globalName : 0;
}

void LayerShellOverlayPlatform::adopt(QWidget* panel, int level)
{
    // Never mapped on the X server: the layer surface shows it.
    panel->setAttribute(Qt::WA_DontShowOnScreen);
    m_topLevel = std::max(m_topLevel, level);
    auto* surface = new LayerSurface(*m_wayland, panel, level >= m_topLevel);
    m_surfaces.insert(panel, surface);
    panel->installEventFilter(this);
    connect(panel, &QObject::destroyed, this, [this, panel] { delete m_surfaces.take(panel); });
}

qreal LayerShellOverlayPlatform::pixelsPerPoint(const QScreen* screen) const
{
    // A compositor that scales XWayland's windows up still takes the surfaces' pixels as they are.
    const WaylandOutput* output = outputShowing(*m_wayland, screen);
    return std::max(OverlayPlatform::pixelsPerPoint(screen), output ? qreal(output->scale) : 1.0);
}

bool LayerShellOverlayPlatform::eventFilter(QObject* watched, QEvent* event)
{
    LayerSurface* surface = m_surfaces.value(static_cast<QWidget*>(watched));
    if (!surface)
        return false;
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::Move:
    case QEvent::Resize:
        if (surface->panel()->isVisible())
            place(*surface);
        break;
    case QEvent::Hide:
        surface->hide();
        break;
    case QEvent::UpdateRequest:
        // Shown once Qt has painted it.
        QMetaObject::invokeMethod(surface, &LayerSurface::present, Qt::QueuedConnection);
        break;
    default:
        break;
    }
    return false;
}

void LayerShellOverlayPlatform::place(LayerSurface& surface)
{
    const QRect frame = surface.panel()->geometry();
    const QScreen* screen = QGuiApplication::screenAt(frame.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const WaylandOutput* output = outputShowing(*m_wayland, screen);
    if (!screen || !output)
        return;
    const QRect area = screen->geometry();
    surface.show({output->output, output->scale, frame.top() - area.top(), area.right() - frame.right(), frame.size()});
}

void LayerShellOverlayPlatform::placeAll()
{
    for (LayerSurface* surface : std::as_const(m_surfaces))
        if (surface->panel() && surface->panel()->isVisible())
            place(*surface);
}

void LayerShellOverlayPlatform::setPassThrough(QWidget* window, bool on)
{
    if (LayerSurface* surface = m_surfaces.value(window))
        surface->setInputRegion(on ? std::optional(QRegion()) : std::nullopt);
}

void LayerShellOverlayPlatform::setInputRegion(QWidget* window, const QRegion& region)
{
    if (LayerSurface* surface = m_surfaces.value(window))
        surface->setInputRegion(region);
}

std::unique_ptr<OverlayPlatform::PoseSheet> LayerShellOverlayPlatform::makePoseSheet(
    QWidget* window, const QList<Pose>& poses)
{
    LayerSurface* surface = m_surfaces.value(window);
    if (!surface || poses.isEmpty())
        return nullptr;
    return std::make_unique<WaylandPoseSheet>(*surface, m_wayland->shm(), poses);
}

std::unique_ptr<OverlayPlatform> makeLayerShellOverlayPlatform(std::unique_ptr<WaylandConnection> wayland)
{
    return std::make_unique<LayerShellOverlayPlatform>(std::move(wayland));
}
