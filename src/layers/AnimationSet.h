#pragma once

#include "layers/Animation.h"

#include <QString>
#include <QStringList>

#include <vector>

// A layer's animations in the order they were added, each under a unique key. It never calls
// completions itself: it hands them back so the layer can call them once its state is
// consistent, since a completion may change this very set.
class AnimationSet {
public:
    // Appends, taking the place of any animation under the same key; returns that one's
    // completion, not yet called.
    Animation::Completion add(const QString& key, Animation animation);
    // The completion of the animation removed, if it had one.
    Animation::Completion remove(const QString& key);
    std::vector<Animation::Completion> takeAll();
    // Drops the animations over at `now`, appending their completions (those set) to `due`.
    // Returns whether any were dropped.
    bool takeFinished(double now, std::vector<Animation::Completion>& due);
    // Gives animations added without a begin time the time `now`.
    void stampBeginTimes(double now);

    bool isEmpty() const { return m_entries.empty(); }
    template <typename Visit> void forEach(Visit visit) const
    {
        for (const Entry& entry : m_entries)
            visit(entry.animation);
    }
    const Animation* find(const QString& key) const;
    QStringList keys() const;
    bool isActiveAt(double time) const;
    // `time` while something is running; else the earliest delayed begin; else infinity.
    double nextChangeAfter(double time) const;

    // The model value with every animation of `property` active at `time` applied in order.
    double apply(LayerProperty property, double model, double time) const;
    // Position, composed from position, positionX and positionY animations.
    QPointF applyPosition(QPointF model, double time) const;

private:
    struct Entry {
        QString key;
        Animation animation;
    };

    std::vector<Entry> m_entries;
};
