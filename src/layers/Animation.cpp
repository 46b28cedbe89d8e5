#include "layers/Animation.h"

#include <cmath>
#include <limits>
#include <utility>

namespace {

QPointF lerp(QPointF from, QPointF to, double fraction)
{
    return from + (to - from) * fraction;
}

QList<QPointF> scalars(const QList<double>& values)
{
    QList<QPointF> points;
    points.reserve(values.size());
    for (double value : values)
        points.append(QPointF(value, 0));
    return points;
}

} // namespace

Animation::Animation(LayerProperty property, Kind kind, QList<QPointF> values, double duration)
    : m_property(property)
    , m_kind(kind)
    , m_values(std::move(values))
    , m_duration(duration)
    , m_beginTime(std::numeric_limits<double>::quiet_NaN())
{
}

Animation Animation::basic(LayerProperty property, double from, double to, double duration)
{
    Q_ASSERT(property != LayerProperty::position);
    return Animation(property, Kind::basic, {QPointF(from, 0), QPointF(to, 0)}, duration);
}

Animation Animation::basic(QPointF from, QPointF to, double duration)
{
    return Animation(LayerProperty::position, Kind::basic, {from, to}, duration);
}

Animation Animation::keyframe(LayerProperty property, const QList<double>& values, double duration)
{
    Q_ASSERT(property != LayerProperty::position);
    return Animation(property, Kind::keyframe, scalars(values), duration);
}

Animation Animation::keyframe(QList<QPointF> values, double duration)
{
    return Animation(LayerProperty::position, Kind::keyframe, std::move(values), duration);
}

Animation Animation::spring(LayerProperty property, double from, double to, Spring spring)
{
    Q_ASSERT(property != LayerProperty::position);
    Animation animation(property, Kind::spring, {QPointF(from, 0), QPointF(to, 0)}, spring.settlingDuration());
    animation.m_spring = spring;
    return animation;
}

Animation Animation::spring(QPointF from, QPointF to, Spring spring)
{
    Animation animation(LayerProperty::position, Kind::spring, {from, to}, spring.settlingDuration());
    animation.m_spring = spring;
    return animation;
}

Animation& Animation::setTimingFunction(TimingFunction timing)
{
    m_timing = timing;
    return *this;
}

Animation& Animation::setKeyTimes(QList<double> keyTimes)
{
    m_keyTimes = std::move(keyTimes);
    return *this;
}

Animation& Animation::setTimingFunctions(QList<TimingFunction> timings)
{
    m_timingFunctions = std::move(timings);
    return *this;
}

Animation& Animation::setDuration(double seconds)
{
    m_duration = seconds;
    return *this;
}

Animation& Animation::setRepeatForever(bool repeat)
{
    m_repeatForever = repeat;
    return *this;
}

Animation& Animation::setAdditive(bool additive)
{
    m_additive = additive;
    return *this;
}

Animation& Animation::setBeginTime(double seconds)
{
    m_beginTime = seconds;
    return *this;
}

Animation& Animation::setOnComplete(Completion onComplete)
{
    m_onComplete = std::move(onComplete);
    return *this;
}

bool Animation::hasBeginTime() const
{
    return !std::isnan(m_beginTime);
}

Animation::Completion Animation::takeOnComplete()
{
    return std::exchange(m_onComplete, nullptr);
}

bool Animation::isActiveAt(double time) const
{
    return hasBeginTime() && time >= m_beginTime && (m_repeatForever || time < m_beginTime + m_duration);
}

bool Animation::isFinishedAt(double time) const
{
    return hasBeginTime() && !m_repeatForever && time >= m_beginTime + m_duration;
}

// Seconds into the current run, within [0, duration].
double Animation::localTime(double time) const
{
    const double elapsed = std::max(0.0, time - (hasBeginTime() ? m_beginTime : time));
    if (m_repeatForever && m_duration > 0 && std::isfinite(m_duration))
        return std::fmod(elapsed, m_duration);
    return std::min(elapsed, m_duration);
}

QPointF Animation::valueAt(double time) const
{
    const double local = localTime(time);
    const double progress = m_duration > 0 ? local / m_duration : 1;
    switch (m_kind) {
    case Kind::basic:
        return lerp(m_values.first(), m_values.last(), m_timing.valueAt(progress));
    case Kind::keyframe:
        return keyframeValueAt(progress);
    case Kind::spring:
        return lerp(m_values.first(), m_values.last(), m_spring.valueAt(local));
    }
    return {};
}

double Animation::keyTime(qsizetype index) const
{
    if (m_keyTimes.size() == m_values.size())
        return m_keyTimes[index];
    return double(index) / double(m_values.size() - 1);
}

QPointF Animation::keyframeValueAt(double progress) const
{
    const qsizetype count = m_values.size();
    if (count == 0)
        return {};
    if (count == 1 || progress <= keyTime(0))
        return m_values.first();
    if (progress >= keyTime(count - 1))
        return m_values.last();
    qsizetype segment = 0;
    while (segment + 2 < count && keyTime(segment + 1) <= progress)
        ++segment;
    const double start = keyTime(segment);
    const double length = keyTime(segment + 1) - start;
    if (length <= 0)
        return m_values[segment + 1];
    double fraction = (progress - start) / length;
    if (segment < m_timingFunctions.size())
        fraction = m_timingFunctions[segment].valueAt(fraction);
    return lerp(m_values[segment], m_values[segment + 1], fraction);
}
