#pragma once

#include "layers/Animation.h"

#include <QObject>
#include <QRectF>
#include <QTransform>

#include <limits>
#include <memory>
#include <optional>
#include <vector>

class Layer;
class Scheduler;

// Owns a root layer and moves its animations along one clock. The window steps it from a
// frame timer while it reports something animating, repaints what changed, and stops the
// timer when it is idle until needsStep says otherwise. The root's superlayer space is the
// window in points, y up.
class LayerTree : public QObject {
    Q_OBJECT
public:
    // What one step found.
    struct Frame {
        // The picture differs from the previous step's.
        bool changed = false;
        // Where changed layers were and are now, in window points (y up); conservative.
        QRectF dirtyArea;
        // Animations remain: keep stepping.
        bool animating = false;
        // When the picture next changes by itself: the step's time while an animation runs,
        // else the earliest delayed begin, else infinity.
        double nextChange = std::numeric_limits<double>::infinity();
    };

    explicit LayerTree(const Scheduler& clock, QObject* parent = nullptr);
    ~LayerTree() override;

    const std::shared_ptr<Layer>& root() const { return m_root; }
    // The clock's time, stamped on animations as they are added.
    double now() const;

    // A picture that repeats by itself: every animation in the tree repeats forever with the
    // same period, from `origin`, and nothing else is waiting to change.
    struct Loop {
        double period = 0;
        double origin = 0;
    };
    std::optional<Loop> steadyLoop() const;
    // Stops counting on being stepped, so the next change emits needsStep: for a window that
    // shows the steady loop without stepping the tree.
    void waitForChanges() { m_awake = false; }
    // When a layer last changed, on the tree's clock.
    double lastChange() const { return m_lastChange; }

    // Ends the animations that are over at `now`, then calls their completions (finished =
    // true), each once, in the order found; those may add or remove layers and animations.
    // Then reports what changed. Paint with the same time. Not re-entrant: a step from a
    // completion does nothing.
    Frame step(double now);

Q_SIGNALS:
    // A change arrived after a step that found nothing animating. Emitted from inside the
    // change, so only (re)start a frame timer here; step and paint from the timer.
    void needsStep();

private:
    friend class Layer;

    void layerChanged();
    void forgetArea(const QRectF& area);
    void takeFinished(Layer& layer, double now);
    void collectChanges(Layer& layer, const QTransform& toWindow, bool moved, bool visible, double now, Frame& frame);

    const Scheduler& m_clock;
    std::shared_ptr<Layer> m_root;
    // Completions found by a step, kept between steps so finishing allocates nothing.
    std::vector<Animation::Completion> m_due;
    // Where layers removed since the last step were.
    QRectF m_forgottenArea;
    bool m_awake = false;
    double m_lastChange = 0;
    bool m_stepping = false;
};
