#include "layers/AnimationSet.h"

#include <algorithm>
#include <limits>

Animation::Completion AnimationSet::add(const QString& key, Animation animation)
{
    Animation::Completion replaced = remove(key);
    m_entries.push_back({key, std::move(animation)});
    return replaced;
}

Animation::Completion AnimationSet::remove(const QString& key)
{
    const auto found
        = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& entry) { return entry.key == key; });
    if (found == m_entries.end())
        return nullptr;
    Animation::Completion completion = found->animation.takeOnComplete();
    m_entries.erase(found);
    return completion;
}

std::vector<Animation::Completion> AnimationSet::takeAll()
{
    std::vector<Animation::Completion> completions;
    for (Entry& entry : m_entries) {
        if (Animation::Completion completion = entry.animation.takeOnComplete())
            completions.push_back(std::move(completion));
    }
    m_entries.clear();
    return completions;
}

// Runs on every frame, so it erases in place rather than partitioning through a buffer.
bool AnimationSet::takeFinished(double now, std::vector<Animation::Completion>& due)
{
    bool took = false;
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (!it->animation.isFinishedAt(now)) {
            ++it;
            continue;
        }
        if (Animation::Completion completion = it->animation.takeOnComplete())
            due.push_back(std::move(completion));
        it = m_entries.erase(it);
        took = true;
    }
    return took;
}

void AnimationSet::stampBeginTimes(double now)
{
    for (Entry& entry : m_entries) {
        if (!entry.animation.hasBeginTime())
            entry.animation.setBeginTime(now);
    }
}

const Animation* AnimationSet::find(const QString& key) const
{
    for (const Entry& entry : m_entries) {
        if (entry.key == key)
            return &entry.animation;
    }
    return nullptr;
}

QStringList AnimationSet::keys() const
{
    QStringList keys;
    keys.reserve(qsizetype(m_entries.size()));
    for (const Entry& entry : m_entries)
        keys.append(entry.key);
    return keys;
}

bool AnimationSet::isActiveAt(double time) const
{
    return std::any_of(
        m_entries.begin(), m_entries.end(), [&](const Entry& entry) { return entry.animation.isActiveAt(time); });
}

double AnimationSet::nextChangeAfter(double time) const
{
    double next = std::numeric_limits<double>::infinity();
    for (const Entry& entry : m_entries) {
        const Animation& animation = entry.animation;
        if (animation.isActiveAt(time))
            return time;
        if (animation.hasBeginTime() && animation.beginTime() > time)
            next = std::min(next, animation.beginTime());
    }
    return next;
}

double AnimationSet::apply(LayerProperty property, double model, double time) const
{
    double value = model;
    for (const Entry& entry : m_entries) {
        const Animation& animation = entry.animation;
        if (animation.property() != property || !animation.isActiveAt(time))
            continue;
        const double sample = animation.valueAt(time).x();
        value = animation.isAdditive() ? value + sample : sample;
    }
    return value;
}

QPointF AnimationSet::applyPosition(QPointF model, double time) const
{
    QPointF value = model;
    for (const Entry& entry : m_entries) {
        const Animation& animation = entry.animation;
        const LayerProperty property = animation.property();
        const bool x = property == LayerProperty::position || property == LayerProperty::positionX;
        const bool y = property == LayerProperty::position || property == LayerProperty::positionY;
        if (!(x || y) || !animation.isActiveAt(time))
            continue;
        const QPointF sample = animation.valueAt(time);
        // A positionY animation keeps its scalar in x.
        const double sampleY = property == LayerProperty::position ? sample.y() : sample.x();
        if (x)
            value.rx() = animation.isAdditive() ? value.x() + sample.x() : sample.x();
        if (y)
            value.ry() = animation.isAdditive() ? value.y() + sampleY : sampleY;
    }
    return value;
}
