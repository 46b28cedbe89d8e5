#include "overlay/PictureSignature.h"

#include "layers/Layer.h"

#include <QTransform>

#include <cmath>

namespace {

void mix(quint64& hash, qint64 value)
{
    // FNV-1a over the value's bytes, folded in one step.
    hash = (hash ^ quint64(value)) * 1099511628211ull;
}

void visit(const Layer& layer, const QTransform& toParent, double time, qreal dpr, quint64& hash)
{
    if (layer.isHidden())
        return;
    const QTransform toWindow = layer.presentationTransform(time) * toParent;
    const QRectF bounds = layer.bounds();
    for (const QPointF corner : {bounds.topLeft(), bounds.topRight(), bounds.bottomLeft(), bounds.bottomRight()}) {
        const QPointF device = toWindow.map(corner) * dpr;
        mix(hash, std::lround(device.x()));
        mix(hash, std::lround(device.y()));
    }
    mix(hash, std::lround(layer.presentationOpacity(time) * 255));
    mix(hash, layer.contents().cacheKey());
    mix(hash, layer.backgroundColor().rgba());
    for (const auto& sublayer : layer.sublayers())
        visit(*sublayer, toWindow, time, dpr, hash);
}

} // namespace

namespace PictureSignature {

quint64 of(const Layer& root, double time, qreal devicePixelRatio)
{
    quint64 hash = 14695981039346656037ull;
    visit(root, QTransform(), time, devicePixelRatio, hash);
    return hash;
}

} // namespace PictureSignature
