#include "stage/MonkeyStage.h"

#include "layers/Layer.h"
#include "overlay/LayerHostView.h"
#include "overlay/OverlayPanel.h"
#include "overlay/OverlayPlatform.h"
#include "overlay/Screens.h"
#include "sound/ImpactSound.h"
#include "sprites/Sprites.h"
#include "support/Scheduler.h"
#include "support/Settings.h"

#include <QRandomGenerator>

#include <cmath>
#include <numbers>

namespace {

const Spring returnSpring(1, 26, 6.2);

double randomIn(double low, double high)
{
    return low + QRandomGenerator::global()->generateDouble() * (high - low);
}

} // namespace

double MonkeyStage::returnSettling()
{
    return returnSpring.settlingDuration();
}

MonkeyStage::MonkeyStage(
    Settings& settings, Scheduler& scheduler, ImpactSound& sound, Screens& screens, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_scheduler(scheduler)
    , m_sound(sound)
    , m_screens(screens)
    , m_tree(scheduler, this)
    , m_pendulum(Layer::create())
    , m_vine(Layer::create())
    , m_monkey(Layer::create())
    // In the layers' own format, so showing a frame again is the same picture, not a new copy.
    , m_idleImg(Sprites::image(Sprites::idle()).convertToFormat(QImage::Format_ARGB32_Premultiplied))
    , m_blinkImg(Sprites::image(Sprites::blink()).convertToFormat(QImage::Format_ARGB32_Premultiplied))
    , m_slapImg(Sprites::image(Sprites::slap()).convertToFormat(QImage::Format_ARGB32_Premultiplied))
{
    m_tree.root()->setMasksToBounds(true);
    m_vine->setZPosition(0);
    m_monkey->setZPosition(1);
    m_pendulum->addSublayer(m_vine);
    m_pendulum->addSublayer(m_monkey);
    m_tree.root()->addSublayer(m_pendulum);
    m_monkey->setContents(m_idleImg);
    m_tree.setObjectName(QStringLiteral("monkeyLayers"));
    connect(&m_screens, &Screens::changed, this, &MonkeyStage::layout);
    scheduleBlink();
}

MonkeyStage::~MonkeyStage()
{
    delete m_panel.data();
}

bool MonkeyStage::restsInView() const
{
    return m_settings.alwaysVisible() && !m_steppedAside;
}

bool MonkeyStage::movesAtRest() const
{
    return restsInView() && !m_unwatched;
}

double MonkeyStage::restingY() const
{
    return m_geometry.restingY(restsInView());
}

void MonkeyStage::setSteppedAside(bool aside)
{
    const bool wasInView = restsInView();
    m_steppedAside = aside;
    // A slap under way ends at the rest height its return step finds.
    if (restsInView() != wasInView)
        applyVisibility();
}

void MonkeyStage::setUnwatched(bool unwatched)
{
    m_unwatched = unwatched;
    // A slap or a climb under way settles by itself at its end.
    if (!m_busy && !m_pendulum->animation(QStringLiteral("visibility")))
        settle();
}

void MonkeyStage::layout()
{
    m_geometry = StageGeometry::forScale(m_settings.scale());
    const QList<Screens::Area> areas = m_screens.areas();
    if (areas.isEmpty())
        return;
    m_panelFrame = m_geometry.panelFrame(areas.first().visible);
    m_stageOnScreen = m_screens.toWindow(m_panelFrame);
    if (!m_panel)
        createPanel(m_stageOnScreen);
    buildGeometry();
    m_swayReach = m_geometry.swayReach();
    coverWholeStage();
    m_panel->bringToFront();
    if (!m_busy)
        settle();
}

void MonkeyStage::applyScale(double scale)
{
    if (m_busy)
        return;
    m_settings.setScale(scale);
    layout();
}

void MonkeyStage::createPanel(const QRect& frame)
{
    m_panel = new OverlayPanel(frame, panelLevel);
    m_panel->setObjectName(QStringLiteral("monkeyPanel"));
    m_panel->setIgnoresMouseEvents(true);
    m_view = new LayerHostView(m_tree, m_scheduler, m_panel);
    m_view->setGeometry(0, 0, frame.width(), frame.height());
    connect(m_view, &LayerHostView::clicked, this, &MonkeyStage::handleClick);
}

void MonkeyStage::buildGeometry()
{
    const StageGeometry& g = m_geometry;
    m_tree.root()->setFrame(QRectF(QPointF(0, 0), g.panelSize));
    m_pendulum->removeAllAnimations();
    m_pendulum->setRotation(0);
    m_pendulum->setBounds(g.pendulumBounds());
    m_pendulum->setAnchorPoint(g.pendulumAnchor());
    m_monkey->setFrame(g.monkeyFrame());
    m_vine->setFrame(g.vineFrame());
    m_vine->setContents(Sprites::image(Sprites::vine(g.n)));
    m_pendulum->setPosition(QPointF(g.pendulumX(), restingY()));
}

void MonkeyStage::settle()
{
    // Out of sight or unwatched, a sway would cost time all day for nothing anyone sees; out of
    // sight, so would a pointer watch.
    const bool shown = restsInView();
    if (movesAtRest() && !m_blinking)
        scheduleBlink();
    if (movesAtRest())
        startSway();
    else
        m_pendulum->removeAnimation(QStringLiteral("sway"));
    if (shown)
        coverRestingMonkey();
    catchPointer(shown);
    // Hidden and still, the window is unmapped: no window in the corner to draw, or to swallow
    // clicks where a compositor ignores input shapes.
    if (m_panel)
        shown ? m_panel->bringToFront() : m_panel->withdraw();
    if (m_view)
        m_view->setFrameInterval(LayerHostView::calmFrameIntervalMs);
}

void MonkeyStage::catchPointer(bool caught)
{
    if (m_panel)
        m_panel->setInputRegion(caught ? m_swayReach.translated(-m_covered.topLeft()) : QRegion());
}

void MonkeyStage::coverWholeStage()
{
    cover(QRect(QPoint(0, 0), m_stageOnScreen.size()));
}

void MonkeyStage::coverRestingMonkey()
{
    // From the stage's top edge (the vine comes down from above it) to below the monkey, as wide
    // as its sway reaches, with a point to spare for edge rounding.
    const QRect reach = m_swayReach.boundingRect();
    cover(QRect(reach.left() - 1, 0, reach.width() + 2, reach.bottom() + 2)
        & QRect(QPoint(0, 0), m_stageOnScreen.size()));
}

void MonkeyStage::cover(const QRect& part)
{
    if (!m_panel || part.isEmpty())
        return;
    const bool moved = part != m_covered;
    m_covered = part;
    m_panel->setGeometry(part.translated(m_stageOnScreen.topLeft()));
    m_view->setGeometry(QRect(-part.topLeft(), m_stageOnScreen.size()));
    if (moved && !m_panel->ignoresMouseEvents())
        catchPointer(true);
}

void MonkeyStage::hurry()
{
    if (m_view)
        m_view->setFrameInterval(LayerHostView::frameIntervalMs);
}

Animation MonkeyStage::sway(const StageGeometry& geometry)
{
    const double a = geometry.swayAmplitude();
    return Animation::keyframe(LayerProperty::rotationZ, {0, a, 0, -a, 0}, 4.6)
        .setKeyTimes({0, 0.25, 0.5, 0.75, 1})
        .setTimingFunctions(
            {TimingFunction::easeOut(), TimingFunction::easeIn(), TimingFunction::easeOut(), TimingFunction::easeIn()})
        .setRepeatForever(true)
        .setAdditive(true);
}

void MonkeyStage::startSway()
{
    m_pendulum->addAnimation(sway(m_geometry), QStringLiteral("sway"));
}

void MonkeyStage::scheduleBlink()
{
    m_blinking = true;
    m_scheduler.after(randomIn(2.5, 6.5), this, [this] {
        // Out of sight or unwatched it does not blink, and nothing wakes the app for it.
        if (!movesAtRest()) {
            m_blinking = false;
            return;
        }
        if (!m_busy) {
            showFrame(m_blinkImg);
            m_scheduler.after(0.14, this, [this] {
                if (!m_busy)
                    showFrame(m_idleImg);
            });
        }
        scheduleBlink();
    });
}

void MonkeyStage::showFrame(const QImage& image)
{
    m_monkey->setContents(image);
}

void MonkeyStage::applyVisibility()
{
    // A change during a slap is honoured by its return step, which reads the rest height afresh.
    if (m_busy)
        return;
    const double now = m_tree.now();
    const double from = m_pendulum->presentationPosition(now).y();
    const double to = restingY();
    m_pendulum->setPosition(QPointF(m_pendulum->position().x(), to));
    if (m_panel)
        m_panel->bringToFront();
    if (restsInView())
        settle();
    else
        catchPointer(false);
    hurry();
    m_pendulum->addAnimation(Animation::basic(LayerProperty::positionY, from, to, 0.8)
                                 .setTimingFunction(TimingFunction::easeInEaseOut())
                                 .setOnComplete([this](bool finished) {
                                     if (finished && !m_busy)
                                         settle();
                                 }),
        QStringLiteral("visibility"));
}

void MonkeyStage::slap(bool money, std::function<void(QPointF)> onImpact, std::function<void()> onDone)
{
    if (!m_panel) {
        onDone();
        return;
    }
    m_busy = true;
    catchPointer(false);
    coverWholeStage();
    m_panel->bringToFront();
    hurry();
    const StageGeometry& g = m_geometry;
    const double now = m_tree.now();
    const double y0 = m_pendulum->presentationPosition(now).y();
    const double angle0 = m_pendulum->presentationRotation(now);
    m_pendulum->removeAllAnimations();
    m_pendulum->setPosition(QPointF(m_pendulum->position().x(), g.slapY()));
    m_pendulum->setRotation(g.hitAngle());
    m_pendulum->addAnimation(
        Animation::basic(LayerProperty::positionY, y0, g.slapY(), 0.45).setTimingFunction(TimingFunction::easeOut()),
        QStringLiteral("drop"));
    m_pendulum->addAnimation(Animation::basic(LayerProperty::rotationZ, angle0, g.hitAngle(), 0.5)
                                 .setTimingFunction(TimingFunction(0.35, 0, 0.25, 1)),
        QStringLiteral("swing"));

    const QPointF handInRoot = m_monkey->mapTo(m_tree.root().get(), g.handInMonkey());
    const QPointF handOnScreen = handInRoot + m_panelFrame.topLeft();
    m_scheduler.after(impactAt, this, [this, money, handInRoot, handOnScreen, onImpact = std::move(onImpact)] {
        impact(money, handInRoot, handOnScreen, onImpact);
    });
    m_scheduler.after(returnAt, this, [this, onDone = std::move(onDone)] { returnToRest(onDone); });
}

void MonkeyStage::impact(
    bool money, QPointF handInRoot, QPointF handOnScreen, const std::function<void(QPointF)>& onImpact)
{
    const StageGeometry& g = m_geometry;
    showFrame(m_slapImg);
    m_sound.playImpact(m_settings.soundChoice());
    throwSparks(handInRoot, money);
    onImpact(handOnScreen);
    m_pendulum->addAnimation(
        Animation::keyframe(LayerProperty::rotationZ, {g.hitAngle(), g.recoilAngle(), g.hitAngle()}, 0.2),
        QStringLiteral("recoil"));
}

void MonkeyStage::returnToRest(const std::function<void()>& onDone)
{
    const StageGeometry& g = m_geometry;
    showFrame(m_idleImg);
    const double rest = restingY(); // read now: a visibility change during the slap is honoured
    m_pendulum->setPosition(QPointF(m_pendulum->position().x(), rest));
    m_pendulum->setRotation(0);
    m_pendulum->addAnimation(
        Animation::spring(LayerProperty::rotationZ, g.hitAngle(), 0, returnSpring), QStringLiteral("return"));
    m_pendulum->addAnimation(Animation::basic(LayerProperty::positionY, g.slapY(), rest, 0.9)
                                 .setTimingFunction(TimingFunction::easeInEaseOut()),
        QStringLiteral("rise"));
    m_scheduler.after(std::min(returnSettling(), longestReturn), this, [this, onDone] {
        m_busy = false;
        settle();
        onDone();
    });
}

void MonkeyStage::throwSparks(QPointF from, bool money)
{
    static const QList<QColor> moneyColors{QColor::fromRgbF(1, 0.82f, 0.25f), QColor::fromRgbF(1, 0.96f, 0.75f),
        QColor::fromRgbF(1, 1, 1), QColor::fromRgbF(0.84f, 0.63f, 0.08f)};
    static const QList<QColor> plainColors{
        QColor::fromRgbF(1, 1, 1), QColor::fromRgbF(0.6f, 0.9f, 0.6f), QColor::fromRgbF(1, 0.96f, 0.75f)};
    const QList<QColor>& colors = money ? moneyColors : plainColors;
    const double S = m_geometry.S;
    for (int i = 0; i < 14; ++i) {
        auto spark = Layer::create();
        const double side = i % 3 == 0 ? 1.5 * S : S;
        spark->setBounds(QRectF(0, 0, side, side));
        spark->setBackgroundColor(colors[i % colors.size()]);
        spark->setZPosition(5);
        const double direction = 2 * std::numbers::pi * i / 14 + randomIn(-0.25, 0.25);
        const double distance = randomIn(26, 60);
        const QPointF target = from + distance * QPointF(std::cos(direction), std::sin(direction));
        spark->setPosition(target);
        spark->setOpacity(0);
        m_tree.root()->addSublayer(spark);
        spark->addAnimation(
            Animation::basic(from, target, 0.45).setTimingFunction(TimingFunction::easeOut()), QStringLiteral("move"));
        // Both last 0.45 s: when the fade ends, the spark is done.
        std::weak_ptr<Layer> weak = spark;
        spark->addAnimation(Animation::basic(LayerProperty::opacity, 1, 0, 0.45)
                                .setTimingFunction(TimingFunction::easeIn())
                                .setOnComplete([weak](bool) {
                                    if (auto done = weak.lock())
                                        done->removeFromSuperlayer();
                                }),
            QStringLiteral("fade"));
    }
}

bool MonkeyStage::isOverMonkey(QPointF point) const
{
    if (m_busy || !restsInView())
        return false;
    const double now = m_tree.now();
    const double angle = m_pendulum->presentationRotation(now);
    const QPointF pivot = m_pendulum->presentationPosition(now);
    const QPoint cell = StageGeometry::spritePixel(point, pivot, std::isfinite(angle) ? angle : 0,
        m_pendulum->anchorPoint().x(), m_pendulum->bounds().size(), m_geometry.S, StageGeometry::rows * m_geometry.S);
    return Sprites::idle().isOpaque(cell.x(), cell.y());
}

void MonkeyStage::handleClick(QPointF point)
{
    // Where the desktop hands the resting window every click in its box, shapes or not, a click
    // there was meant for the window beneath: it hides the monkey as a click on it does, so the
    // first click frees the corner for the next instead of none ever getting through.
    const bool resting = !m_busy && restsInView();
    if (!isOverMonkey(point) && !(resting && OverlayPlatform::shared().takesClicksInWholeBox()))
        return;
    showFrame(m_blinkImg);
    m_scheduler.after(0.25, this, [this] {
        if (!m_busy)
            showFrame(m_idleImg);
    });
    Q_EMIT monkeyClicked();
}
