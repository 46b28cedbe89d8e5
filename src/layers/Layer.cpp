#include "layers/Layer.h"

#include "layers/LayerTree.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// Walks up from `layer` to `ancestor`, mapping through each layer's transform.
template <typename TransformOf>
QPointF mapUp(const Layer* layer, const Layer* ancestor, QPointF point, TransformOf transformOf)
{
    std::shared_ptr<const Layer> holder;
    while (layer && layer != ancestor) {
        point = transformOf(*layer).map(point);
        holder = layer->superlayer();
        layer = holder.get();
    }
    Q_ASSERT(layer == ancestor);
    return point;
}

} // namespace

std::shared_ptr<Layer> Layer::create()
{
    return std::shared_ptr<Layer>(new Layer);
}

Layer::~Layer() = default;

void Layer::setPosition(QPointF position)
{
    m_position = position;
    changed();
}

void Layer::setBounds(QRectF bounds)
{
    m_bounds = bounds;
    changed();
}

void Layer::setAnchorPoint(QPointF anchorPoint)
{
    m_anchorPoint = anchorPoint;
    changed();
}

void Layer::setRotation(double radians)
{
    m_rotation = radians;
    changed();
}

void Layer::setScale(double scale)
{
    m_scale = scale;
    changed();
}

void Layer::setSmoothsContents(bool smooth)
{
    m_smoothsContents = smooth;
    changed();
}

void Layer::setOpacity(double opacity)
{
    m_opacity = opacity;
    changed();
}

void Layer::setContents(const QImage& image)
{
    m_contents = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    changed();
}

void Layer::setBackgroundColor(QColor color)
{
    m_backgroundColor = color;
    changed();
}

void Layer::setZPosition(double z)
{
    m_zPosition = z;
    if (const auto superlayer = m_superlayer.lock()) {
        auto& siblings = superlayer->m_sublayers;
        const auto self = std::find(siblings.begin(), siblings.end(), shared_from_this());
        std::shared_ptr<Layer> held = std::move(*self);
        siblings.erase(self);
        superlayer->insertSublayer(std::move(held));
    }
    changed();
}

void Layer::setMasksToBounds(bool masks)
{
    m_masksToBounds = masks;
    changed();
}

void Layer::setHidden(bool hidden)
{
    m_hidden = hidden;
    changed();
}

QRectF Layer::frame() const
{
    return transformToSuperlayer().mapRect(m_bounds);
}

void Layer::setFrame(QRectF frame)
{
    m_bounds.setSize(frame.size());
    m_position = frame.topLeft() + QPointF(m_anchorPoint.x() * frame.width(), m_anchorPoint.y() * frame.height());
    changed();
}

void Layer::addSublayer(std::shared_ptr<Layer> layer)
{
    if (!layer || layer.get() == this)
        return;
    for (auto ancestor = m_superlayer.lock(); ancestor; ancestor = ancestor->m_superlayer.lock()) {
        Q_ASSERT_X(ancestor != layer, "Layer::addSublayer", "a layer cannot hold its own ancestor");
        if (ancestor == layer)
            return;
    }
    layer->removeFromSuperlayer();
    layer->m_superlayer = weak_from_this();
    layer->m_additionOrder = m_nextAdditionOrder++;
    Layer& added = *layer;
    insertSublayer(std::move(layer));
    if (m_tree) {
        added.attach(m_tree);
        m_tree->layerChanged();
    }
}

void Layer::insertSublayer(std::shared_ptr<Layer> layer)
{
    const auto drawsBefore = [](const std::shared_ptr<Layer>& a, const std::shared_ptr<Layer>& b) {
        return std::pair(a->m_zPosition, a->m_additionOrder) < std::pair(b->m_zPosition, b->m_additionOrder);
    };
    const auto at = std::upper_bound(m_sublayers.begin(), m_sublayers.end(), layer, drawsBefore);
    m_sublayers.insert(at, std::move(layer));
}

void Layer::removeFromSuperlayer()
{
    const auto superlayer = m_superlayer.lock();
    if (!superlayer)
        return;
    // The superlayer may hold the last reference to this layer.
    const auto self = shared_from_this();
    auto& siblings = superlayer->m_sublayers;
    siblings.erase(std::find(siblings.begin(), siblings.end(), self));
    m_superlayer.reset();
    if (LayerTree* tree = m_tree) {
        detach();
        tree->layerChanged();
    }
}

void Layer::attach(LayerTree* tree)
{
    m_tree = tree;
    m_changed = true;
    m_animations.stampBeginTimes(tree->now());
    for (const auto& sublayer : m_sublayers)
        sublayer->attach(tree);
}

void Layer::detach()
{
    m_tree->forgetArea(m_shownArea);
    m_shownArea = QRectF();
    m_tree = nullptr;
    for (const auto& sublayer : m_sublayers)
        sublayer->detach();
}

void Layer::changed()
{
    m_changed = true;
    if (m_tree)
        m_tree->layerChanged();
}

void Layer::addAnimation(Animation animation, const QString& key)
{
    if (m_tree && !animation.hasBeginTime())
        animation.setBeginTime(m_tree->now());
    const Animation::Completion replaced = m_animations.add(key, std::move(animation));
    changed();
    // Last: the completion may drop this layer.
    if (replaced)
        replaced(false);
}

void Layer::removeAnimation(const QString& key)
{
    if (!m_animations.find(key))
        return;
    const Animation::Completion removed = m_animations.remove(key);
    changed();
    if (removed)
        removed(false);
}

void Layer::removeAllAnimations()
{
    if (m_animations.isEmpty())
        return;
    const std::vector<Animation::Completion> removed = m_animations.takeAll();
    changed();
    for (const auto& completion : removed)
        completion(false);
}

QPointF Layer::presentationPosition(double time) const
{
    return m_animations.applyPosition(m_position, time);
}

double Layer::presentationRotation(double time) const
{
    return m_animations.apply(LayerProperty::rotationZ, m_rotation, time);
}

double Layer::presentationScale(double time) const
{
    return m_animations.apply(LayerProperty::scale, m_scale, time);
}

double Layer::presentationOpacity(double time) const
{
    return m_animations.apply(LayerProperty::opacity, m_opacity, time);
}

QTransform Layer::presentationTransform(double time) const
{
    if (m_animations.isEmpty())
        return transformToSuperlayer();
    return transformWith(presentationPosition(time), presentationRotation(time), presentationScale(time));
}

QTransform Layer::transformToSuperlayer() const
{
    return transformWith(m_position, m_rotation, m_scale);
}

// position + rotate(scale * (point - anchor)), with the anchor in bounds coordinates.
QTransform Layer::transformWith(QPointF position, double rotation, double scale) const
{
    const double anchorX = m_bounds.x() + m_anchorPoint.x() * m_bounds.width();
    const double anchorY = m_bounds.y() + m_anchorPoint.y() * m_bounds.height();
    const double c = scale * std::cos(rotation);
    const double s = scale * std::sin(rotation);
    // QTransform maps (x, y) to (m11 x + m21 y + dx, m12 x + m22 y + dy).
    return QTransform(
        c, s, -s, c, position.x() - (c * anchorX - s * anchorY), position.y() - (s * anchorX + c * anchorY));
}

QPointF Layer::convertPointToSuperlayer(QPointF point) const
{
    return transformToSuperlayer().map(point);
}

QPointF Layer::mapTo(const Layer* ancestor, QPointF point) const
{
    return mapUp(this, ancestor, point, [](const Layer& layer) { return layer.transformToSuperlayer(); });
}

QPointF Layer::presentationMapTo(const Layer* ancestor, QPointF point, double time) const
{
    return mapUp(this, ancestor, point, [time](const Layer& layer) { return layer.presentationTransform(time); });
}
