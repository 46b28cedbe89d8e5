#include "layers/LayerTree.h"

#include "layers/Layer.h"
#include "support/Scheduler.h"

#include <algorithm>
#include <functional>
#include <utility>

namespace {

void unite(QRectF& into, const QRectF& area)
{
    if (!area.isEmpty())
        into = into.isEmpty() ? area : into.united(area);
}

} // namespace

LayerTree::LayerTree(const Scheduler& clock, QObject* parent)
    : QObject(parent)
    , m_clock(clock)
    , m_root(Layer::create())
{
    m_due.reserve(16);
    m_root->attach(this);
}

LayerTree::~LayerTree()
{
    // The root may outlive the tree in someone's hands; it must not call back into it.
    m_root->detach();
}

double LayerTree::now() const
{
    return m_clock.uptime();
}

LayerTree::Frame LayerTree::step(double now)
{
    if (m_stepping)
        return {};
    m_stepping = true;
    takeFinished(*m_root, now);
    // Every layer is consistent before the first completion runs; none of them walks the tree.
    for (auto& due : m_due) {
        const Animation::Completion completion = std::move(due);
        completion(true);
    }
    m_due.clear();

    Frame frame;
    frame.dirtyArea = std::exchange(m_forgottenArea, QRectF());
    collectChanges(*m_root, QTransform(), false, true, now, frame);
    frame.changed = !frame.dirtyArea.isEmpty();
    m_awake = frame.animating;
    m_stepping = false;
    return frame;
}

std::optional<LayerTree::Loop> LayerTree::steadyLoop() const
{
    std::optional<Loop> loop;
    bool steady = true;
    const std::function<void(const Layer&)> visit = [&](const Layer& layer) {
        steady = steady && !layer.m_changed;
        layer.m_animations.forEach([&](const Animation& animation) {
            if (!animation.repeatsForever() || animation.duration() <= 0
                || (loop && loop->period != animation.duration()))
                steady = false;
            else if (!loop)
                loop = Loop{animation.duration(), animation.beginTime()};
        });
        for (const auto& sublayer : layer.m_sublayers)
            visit(*sublayer);
    };
    visit(*m_root);
    return steady ? loop : std::nullopt;
}

void LayerTree::layerChanged()
{
    m_lastChange = now();
    if (m_awake || m_stepping)
        return;
    m_awake = true;
    Q_EMIT needsStep();
}

void LayerTree::forgetArea(const QRectF& area)
{
    unite(m_forgottenArea, area);
}

void LayerTree::takeFinished(Layer& layer, double now)
{
    if (layer.m_animations.takeFinished(now, m_due))
        layer.m_changed = true;
    for (const auto& sublayer : layer.m_sublayers)
        takeFinished(*sublayer, now);
}

// A layer counts as changed when its model changed, an animation of its runs, or anything
// above it changed; its old and new areas then both go into the dirty area.
void LayerTree::collectChanges(
    Layer& layer, const QTransform& toWindow, bool moved, bool visible, double now, Frame& frame)
{
    const QTransform layerToWindow = layer.presentationTransform(now) * toWindow;
    visible = visible && !layer.m_hidden;
    const bool changed = moved || layer.m_changed || layer.m_animations.isActiveAt(now);
    if (changed) {
        const QRectF area = visible ? layerToWindow.mapRect(layer.m_bounds) : QRectF();
        unite(frame.dirtyArea, layer.m_shownArea);
        unite(frame.dirtyArea, area);
        layer.m_shownArea = area;
        layer.m_changed = false;
    }
    if (!layer.m_animations.isEmpty()) {
        frame.animating = true;
        frame.nextChange = std::min(frame.nextChange, layer.m_animations.nextChangeAfter(now));
    }
    for (const auto& sublayer : layer.m_sublayers)
        collectChanges(*sublayer, layerToWindow, changed, visible, now, frame);
}
