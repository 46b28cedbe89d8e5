#include "layers/Layer.h"
#include "layers/LayerPainter.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <numbers>

namespace {

constexpr QRgb red = 0xffff0000, yellow = 0xffffff00, green = 0xff00ff00, blue = 0xff0000ff, white = 0xffffffff;

// A 4×4 picture with marked corners, stretched to 12×12 points: upright on the left half of a
// 24×24 window, turned a quarter counter-clockwise on the right.
TEST(LayerPainter, DrawsNearestNeighbourUprightAndTurned)
{
    QImage art(4, 4, QImage::Format_ARGB32);
    art.fill(white);
    art.setPixel(0, 0, red);
    art.setPixel(1, 0, yellow);
    art.setPixel(3, 0, green);
    art.setPixel(0, 3, blue);

    const auto root = Layer::create();
    root->setFrame(QRectF(0, 0, 24, 24));
    const auto upright = Layer::create();
    upright->setFrame(QRectF(0, 0, 12, 12));
    upright->setContents(art);
    root->addSublayer(upright);
    const auto turned = Layer::create();
    turned->setFrame(QRectF(12, 0, 12, 12));
    turned->setContents(art);
    turned->setRotation(std::numbers::pi / 2);
    root->addSublayer(turned);

    QImage window(24, 24, QImage::Format_ARGB32_Premultiplied);
    window.fill(Qt::transparent);
    QPainter painter(&window);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    LayerPainter::paint(painter, *root, 0, window.size(), 1);
    EXPECT_TRUE(painter.testRenderHint(QPainter::SmoothPixmapTransform));
    painter.end();

    // Upright: the layers sit at the bottom (y up), image row 0 at their top, 3 pixels per texel.
    EXPECT_EQ(window.pixel(0, 11), 0u);
    EXPECT_EQ(window.pixel(0, 12), red);
    EXPECT_EQ(window.pixel(2, 14), red);
    EXPECT_EQ(window.pixel(3, 12), yellow);
    EXPECT_EQ(window.pixel(5, 14), yellow);
    EXPECT_EQ(window.pixel(6, 12), white);
    EXPECT_EQ(window.pixel(11, 12), green);
    EXPECT_EQ(window.pixel(0, 23), blue);
    // Turned: the top row now runs up the left edge, red at the bottom.
    EXPECT_EQ(window.pixel(12, 23), red);
    EXPECT_EQ(window.pixel(14, 21), red);
    EXPECT_EQ(window.pixel(13, 19), yellow);
    EXPECT_EQ(window.pixel(13, 13), green);
    EXPECT_EQ(window.pixel(22, 22), blue);
    EXPECT_EQ(window.pixel(22, 13), white);
}

} // namespace
