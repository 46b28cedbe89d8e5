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
    for (auto [x, y, colour] : {std::tuple(0, 0, red), {1, 0, yellow}, {3, 0, green}, {0, 3, blue}})
        art.setPixel(x, y, colour);
    const auto root = Layer::create();
    root->setFrame(QRectF(0, 0, 24, 24));
    for (double x : {0, 12}) {
        const auto layer = Layer::create();
        layer->setFrame(QRectF(x, 0, 12, 12));
        layer->setContents(art);
        layer->setRotation(x > 0 ? std::numbers::pi / 2 : 0);
        root->addSublayer(layer);
    }
    QImage window(24, 24, QImage::Format_ARGB32_Premultiplied);
    window.fill(Qt::transparent);
    QPainter painter(&window);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    LayerPainter::paint(painter, *root, 0, window.size(), 1);
    EXPECT_TRUE(painter.testRenderHint(QPainter::SmoothPixmapTransform));
    painter.end();
    // Upright: the layers sit at the bottom (y up), image row 0 at their top, 3 pixels per texel.
    // Turned: the top row now runs up the left edge, red at the bottom.
    const struct { int x, y; QRgb colour; } pixels[] = {{0, 11, 0}, {0, 12, red}, {2, 14, red}, {3, 12, yellow}, {5, 14, yellow},
        {6, 12, white}, {11, 12, green}, {0, 23, blue}, {12, 23, red}, {14, 21, red}, {13, 19, yellow}, {13, 13, green}, {22, 22, blue}, {22, 13, white}};
    for (const auto& [x, y, colour] : pixels)
        EXPECT_EQ(window.pixel(x, y), colour) << x << "," << y;
}

} // namespace
