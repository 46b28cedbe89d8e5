#pragma once

#include <QRect>
#include <QRectF>
#include <QSize>
#include <QTransform>

class Layer;
class QPainter;

// Draws a layer tree as it shows at a given time. The layers' y-up points meet Qt's
// y-down coordinates in windowTransform and nowhere else.
class LayerPainter {
public:
    // Paints over what is there (clear first for a translucent window), in the painter's
    // logical coordinates (points); restores the painter's transform, opacity and hints.
    // Opacity multiplies down the tree; overlapping sublayers blend one by one, not as a group.
    // Unrotated layers land on whole device pixels, which keeps pixel art square.
    // Allocates nothing per frame, except for layers that mask their sublayers.
    static void paint(
        QPainter& painter, const Layer& root, double time, QSize windowSizePoints, qreal devicePixelRatio);

    // Window points, y up, to Qt's window coordinates, y down.
    static QTransform windowTransform(QSize windowSizePoints);
    // An area in window points (y up), such as LayerTree::Frame::dirtyArea, as the whole
    // Qt window pixels (logical) it touches, for QWidget::update.
    static QRect windowRect(const QRectF& area, QSize windowSizePoints);

private:
    struct Pass;

    static void paintLayer(const Pass& pass, const Layer& layer, const QTransform& toPainter, qreal opacity);
    static void paintOwnPicture(const Pass& pass, const Layer& layer, const QTransform& toPainter, qreal opacity);
};
