#include "note/NoteController.h"

#include "layers/Layer.h"
#include "layers/LayerTree.h"
#include "note/NoteRenderer.h"
#include "overlay/LayerHostView.h"
#include "overlay/OverlayPanel.h"
#include "overlay/OverlayPlatform.h"
#include "support/Log.h"
#include "support/Scheduler.h"

using namespace Qt::StringLiterals;

NoteController::Renderer NoteController::noteRenderer()
{
    return [](const MonkeyEvent& event, qreal ratio) { return NoteRenderer::image(event, ratio); };
}

NoteController::NoteController(Scheduler& scheduler, Screens& screens, Renderer render, QObject* parent)
    : QObject(parent)
    , m_scheduler(scheduler)
    , m_screens(screens)
    , m_render(std::move(render))
{
}

NoteController::~NoteController()
{
    delete m_panel.data();
}

const Screens::Area* NoteController::screenFor(QPointF point, const QList<Screens::Area>& screens)
{
    for (const Screens::Area& screen : screens) {
        if (screen.frame.contains(point))
            return &screen;
    }
    return screens.isEmpty() ? nullptr : &screens.first();
}

QRectF NoteController::placement(QPointF hand, QSizeF size, const QList<Screens::Area>& screens)
{
    const QSizeF panel(size.width() + 2 * margin, size.height() + 2 * margin);
    // The note's right edge 12 points right of the hand, its middle 12 points below it.
    double x = hand.x() + 12 - size.width() - margin;
    double y = hand.y() - panel.height() / 2 - 12;
    if (const Screens::Area* screen = screenFor(hand, screens)) {
        // y up: QRectF::top() is the bottom edge. Right and top win when the note is too big.
        const QRectF& area = screen->visible;
        x = std::min(std::max(x, area.left()), area.right() - panel.width());
        y = std::min(std::max(y, area.top()), area.bottom() - panel.height());
    }
    return QRectF(QPointF(x, y), panel);
}

void NoteController::show(const MonkeyEvent& event, QPointF handAt, double seconds, std::function<void()> onClose)
{
    finishNow();
    m_onClose = std::move(onClose);
    m_closing = false;
    m_hovering = false;

    const QList<Screens::Area> screens = m_screens.areas();
    const Screens::Area* screen = screenFor(handAt, screens);
    const QImage image = m_render(event, screen ? screen->devicePixelRatio : 1.0);
    m_noteSize = image.deviceIndependentSize();
    m_panelFrame = placement(handAt, m_noteSize, screens);
    createPanel(image);
    land();
    schedule(seconds);
}

void NoteController::createPanel(const QImage& image)
{
    const QRect qtFrame = m_screens.toWindow(m_panelFrame);
    m_panel = new OverlayPanel(qtFrame, panelLevel);
    m_panel->setObjectName(u"notePanel"_s);
    // The tree lives with the panel, so a panel dropped from inside its own frame step is
    // deleted only after that step has returned.
    m_tree = new LayerTree(m_scheduler, m_panel);
    m_tree->root()->setFrame(QRectF(QPointF(0, 0), m_panelFrame.size()));
    auto* view = new LayerHostView(*m_tree, m_scheduler, m_panel);
    view->setGeometry(0, 0, qtFrame.width(), qtFrame.height());
    connect(view, &LayerHostView::clicked, this, &NoteController::click);
    connect(view, &LayerHostView::hoverChanged, this, &NoteController::hover);

    m_note = Layer::create();
    m_note->setContents(image);
    m_note->setSmoothsContents(true);
    m_note->setBounds(QRectF(QPointF(0, 0), m_noteSize));
    m_note->setPosition(QPointF(m_panelFrame.width() / 2, m_panelFrame.height() / 2));
    m_note->setRotation(tilt);
    m_tree->root()->addSublayer(m_note);
    // The margin is room for the landing and the fall; only the paper catches the pointer.
    m_panel->setInputRegion(clickTarget().toAlignedRect());
    m_panel->bringToFront();
}

void NoteController::land()
{
    m_note->addAnimation(
        Animation::keyframe(LayerProperty::scale, {1.18, 0.95, 1.02, 1.0}, 0.3).setKeyTimes({0, 0.45, 0.75, 1}),
        u"scale"_s);
    m_note->addAnimation(
        Animation::keyframe(LayerProperty::rotationZ, {-0.16, -0.015, tilt}, 0.3).setKeyTimes({0, 0.6, 1}), u"turn"_s);
    m_note->addAnimation(Animation::basic(LayerProperty::opacity, 0, 1, 0.05), u"fade-in"_s);
}

void NoteController::schedule(double seconds)
{
    const quint64 generation = ++m_timerGeneration;
    m_scheduler.after(seconds, this, [this, generation] {
        if (generation != m_timerGeneration)
            return;
        if (m_hovering)
            schedule(hoverRecheck);
        else
            close(u"timeout"_s);
    });
}

QRectF NoteController::clickTarget() const
{
    // The note's rectangle in the panel (the same either way up), grown by 6 points so a near
    // miss still counts.
    return QRectF(margin - 6, margin - 6, m_noteSize.width() + 12, m_noteSize.height() + 12);
}

void NoteController::click(QPointF point)
{
    // Where the desktop hands the note every click in its box, one in the margin was meant for
    // the window beneath: it closes the note too, so the next one gets through.
    if (clickTarget().contains(point) || OverlayPlatform::shared().takesClicksInWholeBox())
        close(u"click"_s);
}

void NoteController::close(const QString& reason)
{
    if (m_closing || !m_panel || !m_note)
        return;
    m_closing = true;
    log(u"note closed (%1)"_s.arg(reason));
    m_panel->setIgnoresMouseEvents(true); // a falling note catches nothing
    ++m_timerGeneration;
    const double y0 = m_note->position().y();
    m_note->setPosition(QPointF(m_note->position().x(), y0 - 28));
    m_note->setOpacity(0);
    m_note->addAnimation(Animation::basic(LayerProperty::positionY, y0, y0 - 28, fallSeconds)
                             .setTimingFunction(TimingFunction::easeIn()),
        u"fall"_s);
    QPointer<NoteController> self(this);
    QPointer<OverlayPanel> falling(m_panel);
    // Both last as long: when the fade ends, the note is gone.
    m_note->addAnimation(
        Animation::basic(LayerProperty::opacity, 1, 0, fallSeconds).setOnComplete([self, falling](bool finished) {
            if (!finished || !falling)
                return;
            falling->hide();
            if (self && self->m_panel == falling)
                self->finishNow();
        }),
        u"fade"_s);
}

void NoteController::finishNow()
{
    ++m_timerGeneration;
    if (m_panel) {
        m_panel->hide();
        m_panel->deleteLater();
    }
    m_panel = nullptr;
    m_tree = nullptr;
    m_note.reset();
    if (auto onClose = std::exchange(m_onClose, nullptr))
        onClose();
}
