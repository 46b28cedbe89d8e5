#pragma once

#include "layers/Spring.h"
#include "layers/TimingFunction.h"

#include <QList>
#include <QPointF>

#include <functional>

// What an animation drives. position moves x and y together; the others are scalars.
enum class LayerProperty { positionX, positionY, position, rotationZ, scale, opacity };

// A change of one layer property over time, added to a layer under a key. A value type: the
// layer keeps its own copy. Scalar values travel in QPointF::x() internally; position uses both.
//
// Timing: it runs from beginTime (stamped with the tree's clock when added, unless set) for
// duration seconds, or forever when repeating. Outside that span it does not apply at all,
// so set the layer's model value to where the animation ends before adding it.
//
// onComplete is called exactly once: with finished = true when the tree's step finds it
// over, with finished = false when it is removed or replaced under its key before that.
// A repeating animation only ever gets false. Destroying a layer calls nothing.
class Animation {
public:
    enum class Kind { basic, keyframe, spring };
    using Completion = std::function<void(bool finished)>;

    static Animation basic(LayerProperty property, double from, double to, double duration);
    static Animation basic(QPointF from, QPointF to, double duration);
    // Values at evenly spaced times unless setKeyTimes says otherwise; linear in between
    // unless setTimingFunctions says otherwise.
    static Animation keyframe(LayerProperty property, const QList<double>& values, double duration);
    static Animation keyframe(QList<QPointF> values, double duration);
    // Runs for the spring's settling duration unless setDuration says otherwise.
    static Animation spring(LayerProperty property, double from, double to, Spring spring);
    static Animation spring(QPointF from, QPointF to, Spring spring);

    // Basic animations only: pacing from `from` to `to`.
    Animation& setTimingFunction(TimingFunction timing);
    // Fractions of the duration, one per value, non-decreasing in [0, 1]. Ignored (even
    // spacing) when the count differs from the values'.
    Animation& setKeyTimes(QList<double> keyTimes);
    // One per segment between values; missing ones are linear.
    Animation& setTimingFunctions(QList<TimingFunction> timings);
    Animation& setDuration(double seconds);
    Animation& setRepeatForever(bool repeat);
    // Added to the model value (and to animations added before it) instead of replacing it.
    Animation& setAdditive(bool additive);
    // Seconds on the tree's clock; a time ahead delays the start.
    Animation& setBeginTime(double seconds);
    Animation& setOnComplete(Completion onComplete);

    LayerProperty property() const { return m_property; }
    Kind kind() const { return m_kind; }
    double duration() const { return m_duration; }
    bool repeatsForever() const { return m_repeatForever; }
    bool isAdditive() const { return m_additive; }
    bool hasBeginTime() const;
    double beginTime() const { return m_beginTime; }
    const Completion& onComplete() const { return m_onComplete; }
    Completion takeOnComplete();

    // Whether it applies at `time`: begun, and not over unless repeating.
    bool isActiveAt(double time) const;
    bool isFinishedAt(double time) const;
    // The animated value at `time` on the clock, whether or not it is active then.
    QPointF valueAt(double time) const;

private:
    Animation(LayerProperty property, Kind kind, QList<QPointF> values, double duration);

    double localTime(double time) const;
    QPointF keyframeValueAt(double progress) const;
    double keyTime(qsizetype index) const;

    LayerProperty m_property;
    Kind m_kind;
    QList<QPointF> m_values;
    QList<double> m_keyTimes;
    QList<TimingFunction> m_timingFunctions;
    TimingFunction m_timing;
    Spring m_spring;
    double m_duration;
    double m_beginTime;
    bool m_repeatForever = false;
    bool m_additive = false;
    Completion m_onComplete;
};
