#include "overlay/LayerHostView.h"

#include "layers/Layer.h"
#include "layers/LayerPainter.h"
#include "layers/LayerTree.h"
#include "overlay/OverlayPanel.h"
#include "overlay/OverlayPlatform.h"
#include "overlay/PictureSignature.h"
#include "overlay/PoseLoop.h"
#include "support/Scheduler.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

LayerHostView::LayerHostView(LayerTree& tree, const Scheduler& clock, OverlayPanel* panel)
    : QWidget(panel)
    , m_tree(tree)
    , m_clock(clock)
    , m_panel(panel)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(false);
    m_frameTimer.setTimerType(Qt::PreciseTimer);
    m_frameTimer.setInterval(frameIntervalMs);
    connect(&m_frameTimer, &QTimer::timeout, this, &LayerHostView::nextFrame);
    // A change from outside (a new animation, a swapped image) wakes the frame timer; so does a
    // compositor coming or going, which changes how the window must be drawn.
    connect(&m_tree, &LayerTree::needsStep, this, &LayerHostView::wake);
    connect(&OverlayPlatform::shared(), &OverlayPlatform::compositedChanged, this, &LayerHostView::wake);
    if (m_panel && OverlayPlatform::shared().keepsPoses())
        m_poses = std::make_unique<PoseLoop>(m_tree, *m_panel);
    m_frameTimer.start(0);
}

void LayerHostView::wake()
{
    stopPoses();
    m_posesRefused = false;
    if (!m_frameTimer.isActive())
        m_frameTimer.start(0);
}

LayerHostView::~LayerHostView() = default;

void LayerHostView::nextFrame()
{
    m_posing ? showPose() : stepFrame();
}

void LayerHostView::startPoses()
{
    // Poses are made in points: on a scaled screen the frames are painted as they come.
    if (!m_poses || m_posesRefused || devicePixelRatioF() != 1)
        return;
    const std::optional<LayerTree::Loop> loop = m_tree.steadyLoop();
    if (!loop)
        return;
    // Refused once, not asked again (and made again) every frame until something changes.
    m_posesRefused = !m_poses->start(*loop, m_interval / 1000.0, pos(), size());
    if (m_posesRefused)
        return;
    m_posing = true;
    m_tree.waitForChanges();
    showPose();
}

void LayerHostView::showPose()
{
    const double wait = m_poses->show(m_clock.uptime());
    m_frameTimer.start(int(std::ceil(std::min(wait, 60.0) * 1000)));
}

void LayerHostView::stopPoses()
{
    if (!m_posing)
        return;
    m_posing = false;
    m_time = m_clock.uptime(); // nothing stepped the tree while the poses showed
    m_poses->stop();
    // The window's own picture is older than the last pose: paint it all again.
    m_shown = 0;
    update();
}

void LayerHostView::stepFrame()
{
    m_time = m_clock.uptime();
    const LayerTree::Frame frame = m_tree.step(m_time);
    Q_EMIT stepped(m_time, frame.animating);
    if (frame.changed) {
        // Frames skipped for drawing the same pixels still moved things: keep their areas.
        m_pendingArea |= frame.dirtyArea;
        const quint64 picture = PictureSignature::of(*m_tree.root(), m_time, devicePixelRatioF());
        if (picture != m_shown) {
            m_shown = picture;
            update(LayerPainter::windowRect(m_pendingArea, size()));
            m_pendingArea = QRectF();
            updateDrawnRegion();
        }
    }
    if (!frame.animating && std::isinf(frame.nextChange)) {
        m_frameTimer.stop();
        return;
    }
    if (frame.animating && m_interval == calmFrameIntervalMs) {
        startPoses();
        if (m_posing)
            return;
    }
    const double wait = frame.animating ? m_interval : std::max(0.0, (frame.nextChange - m_time) * 1000);
    m_frameTimer.start(int(std::min(wait, 60'000.0)));
}

void LayerHostView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const double time = paintTime();
    if (OverlayPlatform::shared().isComposited()) {
        painter.fillRect(rect(), Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        LayerPainter::paint(painter, *m_tree.root(), time, size(), devicePixelRatioF());
    } else {
        QImage frame = picture(time, devicePixelRatioF());
        OverlayPanel::showSolidWithoutCompositor(frame);
        painter.drawImage(0, 0, frame);
    }
    // Just after this paint reaches the window.
    if (m_narrowedCut)
        QTimer::singleShot(0, this, [this] {
            if (m_narrowedCut)
                m_panel->setDrawnRegion(*std::exchange(m_narrowedCut, std::nullopt));
        });
    Q_EMIT painted(time);
}

QImage LayerHostView::picture(double time, qreal devicePixelRatio) const
{
    QImage picture(size() * devicePixelRatio, QImage::Format_ARGB32_Premultiplied);
    picture.setDevicePixelRatio(devicePixelRatio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    LayerPainter::paint(painter, *m_tree.root(), time, size(), devicePixelRatio);
    return picture;
}

double LayerHostView::paintTime() const
{
    // Changed since the last step (a paint or a move may come first), the tree is painted as it
    // was then: animations added then begin then, and before it they would show where they end.
    return std::max(m_time, m_tree.lastChange());
}

void LayerHostView::resizeEvent(QResizeEvent*)
{
    stopPoses();
    // The same picture in another window size may be cut off differently.
    m_drawnRegions.clear();
}

void LayerHostView::moveEvent(QMoveEvent*)
{
    stopPoses();
    // The panel now shows another part of the view: its cut follows at once, before the panel
    // shows its old cut in its new place.
    updateDrawnRegion();
}

void LayerHostView::updateDrawnRegion()
{
    // Only needed where the platform cuts windows to what they draw.
    if (!m_panel || !OverlayPlatform::shared().cutsToDrawn())
        return;
    // The view may reach beyond its panel on any side; the panel takes the region in its own coordinates.
    // The picture last stepped to, or (after poses) the one the tree shows now.
    const quint64 shown = m_shown ? m_shown : PictureSignature::of(*m_tree.root(), paintTime(), devicePixelRatioF());
    if (const auto known = m_drawnRegions.constFind(shown); known != m_drawnRegions.cend()) {
        cutPanel(known->translated(pos()));
        return;
    }
    if (m_drawnRegions.size() >= maxRememberedRegions)
        m_drawnRegions.clear();
    const QRegion drawn = OverlayPanel::drawnRegionOf(picture(paintTime(), 1.0));
    m_drawnRegions.insert(shown, drawn);
    cutPanel(drawn.translated(pos()));
}

void LayerHostView::cutPanel(const QRegion& drawn)
{
    if (!OverlayPlatform::shared().isComposited()) {
        m_panel->setDrawnRegion(drawn);
        return;
    }
    // Some compositors draw the whole window, whatever its shape: the cut takes in the new
    // picture at once, and lets go of the old one only once the next paint has cleared it.
    m_panel->setDrawnRegion(m_panel->drawnRegion() | drawn);
    m_narrowedCut = drawn;
}

void LayerHostView::mousePressEvent(QMouseEvent* event)
{
    Q_EMIT clicked(QPointF(event->position().x(), height() - event->position().y()));
}

void LayerHostView::enterEvent(QEnterEvent*)
{
    Q_EMIT hoverChanged(true);
}

void LayerHostView::leaveEvent(QEvent*)
{
    Q_EMIT hoverChanged(false);
}
