#pragma once

#include "events/NotePresenter.h"
#include "overlay/Screens.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRectF>

#include <functional>
#include <memory>

class Layer;
class LayerTree;
class OverlayPanel;
class Scheduler;

// Shows the paper note at the monkey's hand: it lands with a squash and a turn, stays for its
// time (longer while the pointer rests on it), closes on a click or at the end, falls away and
// then reports. One note at a time, in a window named "notePanel". Geometry in points, y up.
class NoteController : public QObject, public NotePresenter {
    Q_OBJECT
public:
    using Renderer = std::function<QImage(const MonkeyEvent&, qreal devicePixelRatio)>;

    static constexpr double margin = 26;
    static constexpr double tilt = -0.035;
    static constexpr int panelLevel = 25;
    static constexpr double hoverRecheck = 1.5;
    static constexpr double fallSeconds = 0.28;

    static Renderer noteRenderer();

    NoteController(Scheduler& scheduler, Screens& screens, Renderer render = noteRenderer(), QObject* parent = nullptr);
    ~NoteController() override;

    void show(const MonkeyEvent& event, QPointF handAt, double seconds, std::function<void()> onClose) override;

    // Where a note of `size` goes for a hand at `hand`: under and left of it, kept on screen.
    static QRectF placement(QPointF hand, QSizeF size, const QList<Screens::Area>& screens);

private:
    // The screen that holds the point, else the first; none without screens.
    static const Screens::Area* screenFor(QPointF point, const QList<Screens::Area>& screens);
    void createPanel(const QImage& image);
    void land();
    void schedule(double seconds);
    // What the note's window reports (points in the panel, y up).
    QRectF clickTarget() const;
    void click(QPointF point);
    void hover(bool inside) { m_hovering = inside; }
    void close(const QString& reason);
    // Drops the note at once and reports it gone.
    void finishNow();

    Scheduler& m_scheduler;
    Screens& m_screens;
    Renderer m_render;
    QPointer<OverlayPanel> m_panel;
    LayerTree* m_tree = nullptr;
    std::shared_ptr<Layer> m_note;
    QRectF m_panelFrame;
    QSizeF m_noteSize;
    std::function<void()> m_onClose;
    quint64 m_timerGeneration = 0;
    bool m_closing = false;
    bool m_hovering = false;
};
