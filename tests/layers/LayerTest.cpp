#include "layers/Layer.h"
#include "layers/LayerPainter.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <numbers>

namespace {

using namespace Qt::StringLiterals;

void expectNear(QPointF actual, QPointF expected)
{
    EXPECT_NEAR(actual.x(), expected.x(), 1e-9) << "y " << actual.y();
    EXPECT_NEAR(actual.y(), expected.y(), 1e-9) << "x " << actual.x();
}

std::shared_ptr<Layer> layer(QRectF frame, QPointF anchor = QPointF(0.5, 0.5))
{
    auto made = Layer::create();
    made->setAnchorPoint(anchor);
    made->setFrame(frame);
    return made;
}

TEST(LayerGeometry, ConvertsThroughAnchorRotationAndScaleMapsUpToAnAncestorAndOrdersSublayersByZ)
{
    const auto arm = layer(QRectF(100, 50, 20, 10), QPointF(0, 0));
    arm->setRotation(std::numbers::pi / 2);
    arm->setScale(2);
    // Counter-clockwise with y up: +x turns into +y.
    expectNear(arm->convertPointToSuperlayer(QPointF(10, 0)), QPointF(100, 70));
    expectNear(arm->convertPointToSuperlayer(QPointF(0, 5)), QPointF(90, 50));
    // The anchor is a fraction of the bounds, which need not start at 0.
    const auto offset = Layer::create();
    offset->setBounds(QRectF(10, 10, 20, 10));
    offset->setPosition(QPointF(0, 0));
    expectNear(offset->convertPointToSuperlayer(QPointF(20, 15)), QPointF(0, 0));
    expectNear(offset->convertPointToSuperlayer(QPointF(10, 10)), QPointF(-10, -5));
    offset->setAnchorPoint(QPointF(0.25, 1));
    offset->setFrame(QRectF(10, 20, 40, 8));
    EXPECT_EQ(offset->position(), QPointF(20, 28));
    EXPECT_EQ(offset->frame(), QRectF(10, 20, 40, 8));
    // Mapping up to an ancestor, with model or presentation values.
    const auto root = layer(QRectF(0, 0, 400, 400));
    const auto pendulum = layer(QRectF(100, 100, 40, 200), QPointF(0.5, 1));
    const auto hand = layer(QRectF(0, 0, 8, 8));
    root->addSublayer(pendulum);
    pendulum->addSublayer(hand);
    // The pivot is the top middle of the pendulum, at (120, 300).
    expectNear(hand->mapTo(root.get(), QPointF(4, 4)), QPointF(104, 104));
    pendulum->setRotation(std::numbers::pi);
    expectNear(hand->mapTo(root.get(), QPointF(4, 4)), QPointF(136, 496));
    expectNear(hand->mapTo(nullptr, QPointF(4, 4)), root->convertPointToSuperlayer(QPointF(136, 496)));
    expectNear(hand->mapTo(hand.get(), QPointF(4, 4)), QPointF(4, 4));
    pendulum->addAnimation(Animation::basic(LayerProperty::rotationZ, 0, 0, 1).setBeginTime(0), u"hold"_s);
    expectNear(hand->presentationMapTo(root.get(), QPointF(4, 4), 0.5), QPointF(104, 104));
    expectNear(hand->presentationMapTo(root.get(), QPointF(4, 4), 1), QPointF(136, 496));
    // Sublayers draw in z, then addition order.
    const auto parent = Layer::create();
    const auto a = Layer::create(), b = Layer::create(), c = Layer::create();
    b->setZPosition(1);
    for (const auto& sublayer : {a, b, c})
        parent->addSublayer(sublayer);
    EXPECT_EQ(parent->sublayers(), (std::vector{a, c, b}));
    b->setZPosition(0);
    EXPECT_EQ(parent->sublayers(), (std::vector{a, b, c}));
    a->setZPosition(-1);
    c->setZPosition(-1);
    EXPECT_EQ(parent->sublayers(), (std::vector{a, c, b}));
    const auto other = Layer::create();
    other->addSublayer(c);
    EXPECT_EQ(parent->sublayers(), (std::vector{a, b}));
    EXPECT_EQ(c->superlayer(), other);
}

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
    const std::tuple<int, int, QRgb> pixels[] = {{0, 11, 0}, {0, 12, red}, {2, 14, red}, {3, 12, yellow},
        {5, 14, yellow}, {6, 12, white}, {11, 12, green}, {0, 23, blue}, {12, 23, red}, {14, 21, red}, {13, 19, yellow},
        {13, 13, green}, {22, 22, blue}, {22, 13, white}};
    for (const auto& [x, y, colour] : pixels)
        EXPECT_EQ(window.pixel(x, y), colour) << x << "," << y;
}

} // namespace
