#include "layers/LayerPainter.h"

#include "layers/Layer.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

// What stays fixed over one paint.
struct LayerPainter::Pass {
    QPainter& painter;
    double time;
    qreal devicePixelRatio;
};

namespace {

// Rounds the offset of an axis-aligned transform to whole device pixels.
QTransform snapped(const QTransform& transform, qreal devicePixelRatio)
{
    if (transform.type() > QTransform::TxScale || devicePixelRatio <= 0)
        return transform;
    const auto snap
        = [devicePixelRatio](qreal value) { return std::round(value * devicePixelRatio) / devicePixelRatio; };
    return QTransform(transform.m11(), 0, 0, transform.m22(), snap(transform.dx()), snap(transform.dy()));
}

// Image rows run downwards while the layer's y runs up: row 0 goes to the top of the bounds.
QTransform imageToLayer(const QRectF& bounds)
{
    return QTransform(1, 0, 0, -1, bounds.x(), bounds.y() + bounds.height());
}

} // namespace

void LayerPainter::paint(
    QPainter& painter, const Layer& root, double time, QSize windowSizePoints, qreal devicePixelRatio)
{
    const QTransform base = painter.transform();
    const qreal baseOpacity = painter.opacity();
    const QPainter::RenderHints baseHints = painter.renderHints();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const Pass pass{painter, time, devicePixelRatio};
    paintLayer(pass, root, windowTransform(windowSizePoints) * base, baseOpacity);
    painter.setTransform(base);
    painter.setOpacity(baseOpacity);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, baseHints.testFlag(QPainter::SmoothPixmapTransform));
}

QTransform LayerPainter::windowTransform(QSize windowSizePoints)
{
    return QTransform(1, 0, 0, -1, 0, windowSizePoints.height());
}

QRect LayerPainter::windowRect(const QRectF& area, QSize windowSizePoints)
{
    if (area.isEmpty())
        return {};
    // A point more each way covers pixels that edge rounding may have touched.
    return windowTransform(windowSizePoints).mapRect(area).toAlignedRect().adjusted(-1, -1, 1, 1);
}

void LayerPainter::paintLayer(const Pass& pass, const Layer& layer, const QTransform& toPainter, qreal opacity)
{
    if (layer.isHidden())
        return;
    opacity *= std::clamp(layer.presentationOpacity(pass.time), 0.0, 1.0);
    if (opacity <= 0)
        return;
    const QTransform layerToDevice = layer.presentationTransform(pass.time) * toPainter;
    paintOwnPicture(pass, layer, layerToDevice, opacity);
    const auto& sublayers = layer.sublayers();
    if (sublayers.empty())
        return;
    const bool clips = layer.masksToBounds();
    if (clips) {
        pass.painter.save();
        pass.painter.setTransform(layerToDevice);
        pass.painter.setClipRect(layer.bounds(), Qt::IntersectClip);
    }
    for (const auto& sublayer : sublayers)
        paintLayer(pass, *sublayer, layerToDevice, opacity);
    if (clips)
        pass.painter.restore();
}

void LayerPainter::paintOwnPicture(const Pass& pass, const Layer& layer, const QTransform& toPainter, qreal opacity)
{
    const QRectF bounds = layer.bounds();
    if (bounds.isEmpty())
        return;
    const QColor background = layer.backgroundColor();
    const QImage& contents = layer.contents();
    if (background.alpha() == 0 && contents.isNull())
        return;
    QPainter& painter = pass.painter;
    painter.setOpacity(opacity);
    if (background.alpha() != 0) {
        painter.setTransform(snapped(toPainter, pass.devicePixelRatio));
        painter.fillRect(bounds, background);
    }
    if (!contents.isNull()) {
        painter.setTransform(snapped(imageToLayer(bounds) * toPainter, pass.devicePixelRatio));
        if (layer.smoothsContents())
            painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(QRectF(QPointF(0, 0), bounds.size()), contents);
        if (layer.smoothsContents())
            painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    }
}
