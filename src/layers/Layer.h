#pragma once

#include "layers/AnimationSet.h"

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QTransform>

#include <memory>
#include <vector>

class LayerTree;

// A rectangle of picture in a tree of layers, drawn by LayerPainter. Coordinates are points
// with the origin at the bottom-left and y up; positive rotation turns counter-clockwise.
// A QRectF(x, y, w, h) here has (x, y) at its bottom-left corner, so QRectF::top() is the
// bottom edge.
//
// Setters change the model only and take effect at once; motion comes from animations
// added explicitly. Shared: a superlayer holds its sublayers, a sublayer its superlayer weakly.
class Layer : public std::enable_shared_from_this<Layer> {
public:
    static std::shared_ptr<Layer> create();
    ~Layer();
    Layer(const Layer&) = delete;
    Layer& operator=(const Layer&) = delete;

    // Where the anchor point sits in the superlayer.
    QPointF position() const { return m_position; }
    void setPosition(QPointF position);
    QRectF bounds() const { return m_bounds; }
    void setBounds(QRectF bounds);
    // In unit coordinates of the bounds; rotation and scale turn about it.
    QPointF anchorPoint() const { return m_anchorPoint; }
    void setAnchorPoint(QPointF anchorPoint);
    double rotation() const { return m_rotation; }
    void setRotation(double radians);
    double scale() const { return m_scale; }
    void setScale(double scale);
    double opacity() const { return m_opacity; }
    void setOpacity(double opacity);
    // Stretched over the bounds, nearest-neighbour, row 0 at the top. Kept premultiplied so
    // painting never converts.
    const QImage& contents() const { return m_contents; }
    void setContents(const QImage& image);
    QColor backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(QColor color);
    double zPosition() const { return m_zPosition; }
    void setZPosition(double z);
    bool masksToBounds() const { return m_masksToBounds; }
    void setMasksToBounds(bool masks);
    bool isHidden() const { return m_hidden; }
    // Pixel art is drawn nearest-neighbour; a picture with text (the note) turned by a few
    // degrees reads better filtered.
    bool smoothsContents() const { return m_smoothsContents; }
    void setSmoothsContents(bool smooth);
    void setHidden(bool hidden);
    // The bounds' box in the superlayer. setFrame sizes the bounds and places the anchor as
    // if rotation were 0 and scale 1.
    QRectF frame() const;
    void setFrame(QRectF frame);

    // Adding a layer that has a superlayer moves it.
    void addSublayer(std::shared_ptr<Layer> layer);
    void removeFromSuperlayer();
    // In drawing order: ascending zPosition, then order of addition.
    const std::vector<std::shared_ptr<Layer>>& sublayers() const { return m_sublayers; }
    std::shared_ptr<Layer> superlayer() const { return m_superlayer.lock(); }

    // Replaces any animation under `key`, whose completion then gets finished = false. An
    // animation without a begin time starts now on the tree's clock, or when the layer joins
    // a tree. Outside a tree, animations neither finish nor call back.
    void addAnimation(Animation animation, const QString& key);
    // Calls the completion with finished = false when there was such an animation.
    void removeAnimation(const QString& key);
    void removeAllAnimations();
    // Valid until this layer's animations next change.
    const Animation* animation(const QString& key) const { return m_animations.find(key); }
    QStringList animationKeys() const { return m_animations.keys(); }
    bool hasAnimations() const { return !m_animations.isEmpty(); }

    // Model values with the animations active at `time` applied.
    QPointF presentationPosition(double time) const;
    double presentationRotation(double time) const;
    double presentationScale(double time) const;
    double presentationOpacity(double time) const;
    // Own coordinates to the superlayer's, as shown at `time`.
    QTransform presentationTransform(double time) const;

    // Own coordinates to the superlayer's, with model values.
    QTransform transformToSuperlayer() const;
    QPointF convertPointToSuperlayer(QPointF point) const;
    // Up to `ancestor`'s coordinates; nullptr means the space the topmost layer sits in,
    // which for a tree's root is the window.
    QPointF mapTo(const Layer* ancestor, QPointF point) const;
    QPointF presentationMapTo(const Layer* ancestor, QPointF point, double time) const;

private:
    friend class LayerTree;

    Layer() = default;

    QTransform transformWith(QPointF position, double rotation, double scale) const;
    void changed();
    void insertSublayer(std::shared_ptr<Layer> layer);
    void attach(LayerTree* tree);
    void detach();

    QPointF m_position;
    QRectF m_bounds;
    QPointF m_anchorPoint{0.5, 0.5};
    double m_rotation = 0;
    double m_scale = 1;
    double m_opacity = 1;
    QImage m_contents;
    QColor m_backgroundColor{Qt::transparent};
    double m_zPosition = 0;
    bool m_masksToBounds = false;
    bool m_hidden = false;
    bool m_smoothsContents = false;

    std::vector<std::shared_ptr<Layer>> m_sublayers;
    std::weak_ptr<Layer> m_superlayer;
    quint64 m_additionOrder = 0;
    quint64 m_nextAdditionOrder = 0;
    AnimationSet m_animations;

    // Kept by the tree: which tree this layer is in, whether it changed since the tree's last
    // step, and the window area it covered then.
    LayerTree* m_tree = nullptr;
    bool m_changed = true;
    QRectF m_shownArea;
};
