#include "sprites/Sprites.h"
#include "stage/StageGeometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(StageGeometry, AtScaleFour)
{
    const StageGeometry g = StageGeometry::forScale(4);
    EXPECT_EQ(g.n, 225);
    EXPECT_EQ(g.vineH, 900);
    EXPECT_EQ(g.panelSize, QSizeF(413, 480));
    EXPECT_EQ(g.R(), 948);
    EXPECT_DOUBLE_EQ(g.hitAngle(), -std::asin(175.0 / 948.0));
    EXPECT_EQ(g.restingY(true), 480 + 900 - 28);
    EXPECT_EQ(g.slapY(), g.restingY(true) - 26 * 4);
    EXPECT_EQ(g.pendulumX(), 413 - 28 - 16);
    // Hidden, the monkey's bottom edge is 16 points above the panel's top.
    EXPECT_EQ(g.restingY(false) - g.pendulumBounds().height(), 480 + 16);
}

TEST(StageGeometry, OddScalesRoundTheVineUp)
{
    const StageGeometry g = StageGeometry::forScale(7);
    EXPECT_EQ(g.n, 129);
    EXPECT_EQ(g.vineH, 903);
    EXPECT_EQ(StageGeometry::forScale(3).panelSize.width(), 66 + 325);
}

TEST(StageGeometry, PanelSitsInTheTopRightOfTheUsableArea)
{
    const StageGeometry g = StageGeometry::forScale(4);
    // y upward: a 1920×1080 screen whose top 32 points are a panel bar.
    EXPECT_EQ(g.panelFrame(QRectF(0, 0, 1920, 1048)), QRectF(1507, 568, 413, 480));
}

// The hit test turns a point into a cell of the monkey frame through the displayed rotation.
TEST(StageGeometry, SpritePixelFollowsTheDisplayedRotation)
{
    const StageGeometry g = StageGeometry::forScale(4);
    const QSizeF bounds = g.pendulumBounds().size();
    const double anchorX = g.pendulumAnchor().x();
    const QPointF pivot(g.pendulumX(), g.restingY(true));
    const auto cell = [&](QPointF at, double angle) {
        return StageGeometry::spritePixel(at, pivot, angle, anchorX, bounds, g.S, StageGeometry::rows * g.S);
    };
    // Upright: the top row of the gripping hand sits just under the monkey's top edge.
    const double monkeyTop = pivot.y() - bounds.height() + StageGeometry::rows * g.S;
    EXPECT_EQ(cell(QPointF(pivot.x() - 2 * g.S + 0.5, monkeyTop - 0.5), 0), QPoint(16, 0));
    EXPECT_TRUE(Sprites::idle().isOpaque(16, 0));
    EXPECT_EQ(cell(QPointF(pivot.x() - 18 * g.S + 0.5, monkeyTop - 0.5), 0), QPoint(0, 0));

    // Turned by the hit angle, the monkey's middle is 175 points left of where it hangs at rest.
    const double a = g.hitAngle();
    EXPECT_NEAR(g.R() * std::sin(-a), 175, 1e-9);
    // A point on the centre line just below the middle (off the cell edge) swings along with it.
    const double d = g.R() + 2;
    const QPoint rest = cell(QPointF(pivot.x(), pivot.y() - d), 0);
    const QPointF swung(pivot.x() - d * std::sin(-a), pivot.y() - d * std::cos(a));
    EXPECT_EQ(rest, QPoint(18, 14));
    EXPECT_EQ(cell(swung, a), rest);
    EXPECT_NE(cell(swung, 0), rest);
}

} // namespace
