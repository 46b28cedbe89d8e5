#pragma once

#include <QtGlobal>

class Layer;

// A fingerprint of what a layer tree would put on screen at a time, to whole device pixels.
// The sway moves the monkey by fractions of a pixel per frame; repainting only when the
// fingerprint changes skips the frames that would draw the same pixels again.
namespace PictureSignature {
quint64 of(const Layer& root, double time, qreal devicePixelRatio);
} // namespace PictureSignature
