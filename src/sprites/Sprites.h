#pragma once

#include "sprites/Frame.h"

#include <QImage>
#include <QPointF>

// The monkey's frames, the tray icon's head, the note icons and the vine, with rasterising.
namespace Sprites {

// The vine's centre column in the monkey frames (the gripping hand spans columns 16 to 19).
inline constexpr int vineCenterX = 18;
// The slapping palm in the slap frame: column and row from the top-left.
inline constexpr QPointF slapHand{1.5, 14};

const Frame& idle();
const Frame& blink();
const Frame& slap();
const Frame& menuIcon();
const Frame& coin();
const Frame& star();

// A vine `height` rows long and 4 columns wide, with knots and the odd leaf.
Frame vine(int height);

// One image pixel per character, premultiplied RGBA, row 0 at the top.
QImage image(const Frame& frame);

// The frame at `pointsPerPixel` points per sprite pixel for a screen of `devicePixelRatio`,
// with hard pixel edges at any factor (nearest neighbour, never smoothed).
QImage scaledImage(const Frame& frame, double pointsPerPixel, qreal devicePixelRatio = 1.0);

} // namespace Sprites
