#include "sprites/Sprites.h"

#include <gtest/gtest.h>

namespace {

TEST(Sprites, FramesHaveTheirShapesAndOpacityEndsAtTheirEdgesAndRasterisingKeepsHardPixels)
{
    for (const Frame* frame : {&Sprites::idle(), &Sprites::blink(), &Sprites::slap()}) {
        EXPECT_EQ(QSize(frame->width(), frame->height()), QSize(22, 28));
        for (const std::string& row : frame->rows)
            EXPECT_EQ(row.size(), 22u) << row;
    }
    EXPECT_EQ(QSize(Sprites::menuIcon().width(), Sprites::menuIcon().height()), QSize(15, 10));
    // The palm of the slap frame sits where the slap point says it does; at rest the arm is up.
    EXPECT_TRUE(Sprites::slap().isOpaque(int(Sprites::slapHand.x()), int(Sprites::slapHand.y())));
    EXPECT_FALSE(Sprites::idle().isOpaque(1, 14));
    for (auto [col, row] : {std::pair(-1, 5), std::pair(5, -1), std::pair(22, 5), std::pair(16, 28)})
        EXPECT_FALSE(Sprites::idle().isOpaque(col, row)) << col << "," << row;
    EXPECT_FALSE((Frame{{"DD", "D"}}.isOpaque(1, 1))) << "a short row ends early";
    // The vine is an unbroken stem with leaves on both sides.
    const Frame vine = Sprites::vine(100);
    ASSERT_EQ(QSize(vine.width(), vine.height()), QSize(4, 100));
    int left = 0, right = 0;
    for (int row = 0; row < vine.height(); ++row) {
        EXPECT_TRUE(vine.isOpaque(1, row) && vine.isOpaque(2, row)) << row;
        left += vine.isOpaque(0, row);
        right += vine.isOpaque(3, row);
    }
    EXPECT_TRUE(left > 0 && right > 0 && left + right < 50) << left << " left, " << right << " right";
    EXPECT_TRUE(Sprites::image(Sprites::vine(0)).isNull());
    const QImage idle = Sprites::image(Sprites::idle());
    ASSERT_EQ(idle.size(), QSize(22, 28));
    EXPECT_EQ(idle.pixel(16, 0), qRgba(58, 32, 14, 255));
    EXPECT_EQ(qAlpha(idle.pixel(0, 0)), 0);
    // 3.5 device pixels per sprite pixel: every device pixel is exactly one palette colour.
    const QImage scaled = Sprites::scaledImage(Sprites::coin(), 1.75, 2.0);
    ASSERT_EQ(scaled.size(), QSize(28, 28));
    EXPECT_EQ(scaled.devicePixelRatio(), 2.0);
    EXPECT_EQ(scaled.pixel(7, 0), qRgba(120, 80, 8, 255));
    EXPECT_EQ(qAlpha(scaled.pixel(6, 0)), 0);
    for (int y = 0; y < scaled.height(); ++y)
        for (int x = 0; x < scaled.width(); ++x)
            EXPECT_TRUE(qAlpha(scaled.pixel(x, y)) == 0 || qAlpha(scaled.pixel(x, y)) == 255);
}

} // namespace
