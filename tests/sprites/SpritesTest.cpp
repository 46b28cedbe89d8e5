#include "sprites/Sprites.h"

#include <gtest/gtest.h>

namespace {

TEST(Sprites, FramesHaveTheirShapes)
{
    for (const Frame* frame : {&Sprites::idle(), &Sprites::blink(), &Sprites::slap()}) {
        EXPECT_EQ(frame->width(), 22);
        EXPECT_EQ(frame->height(), 28);
        for (const std::string& row : frame->rows)
            EXPECT_EQ(row.size(), 22u) << row;
    }
    EXPECT_EQ(Sprites::menuIcon().width(), 15);
    EXPECT_EQ(Sprites::menuIcon().height(), 10);
    // The palm of the slap frame sits where the slap point says it does.
    EXPECT_TRUE(Sprites::slap().isOpaque(int(Sprites::slapHand.x()), int(Sprites::slapHand.y())));
    EXPECT_FALSE(Sprites::idle().isOpaque(1, 14));
    EXPECT_EQ(Sprites::slap().rows[5], Sprites::idle().rows[5]);
}

TEST(Sprites, OpacityOutsideTheFrameIsFalse)
{
    const Frame& idle = Sprites::idle();
    EXPECT_TRUE(idle.isOpaque(16, 0));
    EXPECT_FALSE(idle.isOpaque(0, 0));
    for (auto [col, row] : {std::pair(-1, 5), std::pair(5, -1), std::pair(22, 5), std::pair(16, 28)})
        EXPECT_FALSE(idle.isOpaque(col, row)) << col << "," << row;
    const Frame ragged{{"DD", "D"}};
    EXPECT_FALSE(ragged.isOpaque(1, 1)) << "a short row ends early";
}

TEST(Sprites, VineFollowsItsPattern)
{
    const Frame vine = Sprites::vine(100);
    EXPECT_EQ(vine.rows[0], ".gG.");
    EXPECT_EQ(vine.rows[1], ".GG.");
    EXPECT_EQ(vine.rows[2], ".Gg.");
    EXPECT_EQ(vine.rows[4], "LGG.");
    EXPECT_EQ(vine.rows[5], "LGg.");
    EXPECT_EQ(vine.rows[11], ".GgL");
    EXPECT_EQ(vine.rows[12], ".gGL");
    EXPECT_EQ(vine.rows[96], "LgGL") << "both leaves and a knot on one row";
    EXPECT_TRUE(Sprites::vine(0).rows.empty());
    EXPECT_TRUE(Sprites::image(Sprites::vine(0)).isNull());
}

TEST(Sprites, RasterisingKeepsHardPixels)
{
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
