#pragma once

#include <QPoint>
#include <QPointF>
#include <QRectF>
#include <QRegion>
#include <QSizeF>

// The numbers behind the monkey on its vine for one size, in points with y upward. Pure, so
// the layout and the hit test can be checked without a screen.
struct StageGeometry {
    static constexpr double cols = 22; // monkey frame width in sprite pixels
    static constexpr double rows = 28; // monkey frame height in sprite pixels
    static constexpr double panelHeight = 480;
    static constexpr double swingRoom = 175; // how far left of rest the monkey's middle slaps
    static constexpr double rightMargin = 28;

    double S = 4;       // points per sprite pixel
    int n = 225;        // vine length in sprite pixels
    double vineH = 900; // vine length in points
    QSizeF panelSize;

    static StageGeometry forScale(double scale);

    // From the pivot (the top of the vine) to the middle of the monkey.
    double R() const { return vineH - 2 * S + rows * S * 0.5; }
    double restingY(bool alwaysVisible) const;
    double slapY() const { return panelSize.height() + vineH - 33 * S; }
    double hitAngle() const;
    double swayAmplitude() const { return 9 / R(); }
    double recoilAngle() const { return hitAngle() + 10 / R(); }

    QRectF pendulumBounds() const { return {0, 0, cols * S, vineH + rows * S - 2 * S}; }
    QPointF pendulumAnchor() const;
    double pendulumX() const;
    QRectF monkeyFrame() const { return {0, 0, cols * S, rows * S}; }
    QRectF vineFrame() const;
    // The slapping palm in the monkey layer's own coordinates.
    QPointF handInMonkey() const;

    // The panel in the top-right corner of a screen's usable area (y upward).
    QRectF panelFrame(const QRectF& visibleArea) const;

    // Every point of the panel (y down) that the monkey's pixels cover at one of a few poses
    // across the sway at rest in view.
    QRegion swayReach() const;

    // The monkey-frame cell under `at` for a pendulum displayed at `pivot` turned by `angle`.
    static QPoint spritePixel(
        QPointF at, QPointF pivot, double angle, double anchorX, QSizeF bounds, double scale, double spriteHeight);
};
