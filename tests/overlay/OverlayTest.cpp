#include "common/ManualScheduler.h"
#include "layers/Layer.h"
#include "layers/LayerPainter.h"
#include "overlay/LayerHostView.h"
#include "overlay/OverlayPanel.h"
#include "overlay/PictureSignature.h"
#include "overlay/PoseLoop.h"
#include "sprites/Sprites.h"
#include "stage/MonkeyStage.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <xcb/shape.h>

namespace {

using namespace Qt::StringLiterals;

const QRgb backdrop = qRgb(48, 96, 160);
const QPoint viewOffset(-290, 0); // the swaying monkey's corner of its 413×480 stage
const QSize viewSize(413, 480);
constexpr double step = 0.05;

// Overlay panels on the session's display, with no compositor: each is cut to what it draws,
// and mapped only once it draws something.
xcb_connection_t* connection()
{
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}
xcb_window_t root()
{
    return xcb_setup_roots_iterator(xcb_get_setup(connection())).data->root;
}

QRect shapeExtents(const QWidget& window)
{
    auto* reply = xcb_shape_query_extents_reply(
        connection(), xcb_shape_query_extents(connection(), xcb_window_t(window.winId())), nullptr);
    const QRect bounds(reply->bounding_shape_extents_x, reply->bounding_shape_extents_y,
        reply->bounding_shape_extents_width, reply->bounding_shape_extents_height);
    free(reply);
    return bounds;
}

// The desktop in one colour, painted again by the X server itself wherever the panel's shape
// uncovers it, as beneath another program's window.
void paintDesktop(QRgb colour)
{
    const quint32 pixel = colour & 0xffffff;
    xcb_change_window_attributes(connection(), root(), XCB_CW_BACK_PIXEL, &pixel);
    xcb_clear_area(connection(), 0, root(), 0, 0, 0, 0);
    xcb_flush(connection());
}

// The swaying monkey shown from poses (each cutting the window to what it draws), against what
// painting each frame would put on screen at the same step.
class PoseLoopTest : public testing::Test {
protected:
    ManualScheduler clock;
    LayerTree tree{clock};
    OverlayPanel panel{QRect(1600, 0, 120, 140), 1};
    PoseLoop loop{tree, panel};

    void SetUp() override
    {
        const StageGeometry g = StageGeometry::forScale(4);
        auto pendulum = Layer::create();
        tree.root()->setFrame(QRectF(QPointF(), g.panelSize));
        tree.root()->addSublayer(pendulum);
        for (const auto& [frame, image] :
            {std::pair(g.vineFrame(), Sprites::vine(g.n)), std::pair(g.monkeyFrame(), Sprites::idle())}) {
            pendulum->addSublayer(Layer::create());
            pendulum->sublayers().back()->setFrame(frame);
            pendulum->sublayers().back()->setContents(Sprites::image(image));
        }
        pendulum->setBounds(g.pendulumBounds());
        pendulum->setAnchorPoint(g.pendulumAnchor());
        pendulum->setPosition(QPointF(g.pendulumX(), g.restingY(true)));
        pendulum->addAnimation(MonkeyStage::sway(g), u"sway"_s);
        tree.step(0);
        paintDesktop(backdrop);
        panel.setDrawnRegion(QRegion(0, 0, 120, 140));
        panel.bringToFront();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    }

    // What a frame painted at `time` shows: the drawn pixels as drawn, the backdrop elsewhere.
    QImage expected(double time) const
    {
        QImage picture(panel.size(), QImage::Format_ARGB32_Premultiplied);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        painter.translate(viewOffset);
        LayerPainter::paint(painter, *tree.root(), time, viewSize, 1.0);
        painter.end();
        const QRegion drawn = OverlayPanel::drawnRegionOf(picture);
        QImage screen(panel.size(), QImage::Format_RGB32);
        for (int y = 0; y < screen.height(); ++y)
            for (int x = 0; x < screen.width(); ++x)
                screen.setPixel(x, y, drawn.contains(QPoint(x, y)) ? picture.pixel(x, y) | 0xff000000 : backdrop);
        return screen;
    }
    QImage onScreen() const
    {
        return QGuiApplication::primaryScreen()
            ->grabWindow(0, panel.x(), panel.y(), panel.width(), panel.height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }
    void TearDown() override { paintDesktop(qRgb(0, 0, 0)); }
    quint64 signature(double time) const { return PictureSignature::of(*tree.root(), time, 1.0); }
};

TEST_F(PoseLoopTest, PosesShowWhatFramesWouldWaitForTheNextChangeAndFollowTheirViewAtOnce)
{
    const LayerTree::Loop sway = tree.steadyLoop().value();
    ASSERT_TRUE(loop.start(sway, step, viewOffset, viewSize));
    // Step by step over a period and a bit (copying changes), then jumps (copying whole poses).
    QList<double> times;
    for (double t = sway.origin + step / 2; t < sway.origin + 5; t += step)
        times.append(t);
    times += {sway.origin + 1.3, sway.origin + 3.475, sway.origin + 0.6};
    // Poses are the frames painted at each step of the period; a frame that looks like the one
    // before is not painted, so what shows is the first of a run of alike steps.
    const auto stepOf = [&](double t) { return sway.origin + std::floor((t - sway.origin) / step) * step; };
    const auto painted = [&](double at) {
        while (at - step > sway.origin - step / 2 && signature(at - step) == signature(at))
            at -= step;
        return at;
    };
    int changes = 0;
    for (const double t : times) {
        const double wait = loop.show(t), at = stepOf(t), next = stepOf(t + wait);
        ASSERT_EQ(onScreen(), expected(painted(at))) << "at " << t;
        // Nothing due before the next step that looks different, and that one does.
        for (double between = at + step; between < next - step / 2; between += step)
            EXPECT_EQ(signature(between), signature(at)) << t << " waits past a change at " << between;
        EXPECT_NE(signature(next), signature(at)) << "woken at " << next << " for nothing";
        changes += wait < 1;
    }
    EXPECT_GT(changes, 10);
    // Started again over what the last pose left, the first pose is copied whole.
    loop.stop();
    ASSERT_TRUE(loop.start(sway, step, viewOffset, viewSize));
    loop.show(sway.origin + step / 2);
    EXPECT_EQ(onScreen(), expected(sway.origin));
    // Stopped, the window has its own shape back.
    loop.stop();
    EXPECT_EQ(shapeExtents(panel), QRect(0, 0, 120, 140));
    // A view showing poses, grown from the sway's corner to the whole stage (as a slap begins), cuts
    // its panel at once to where the monkey now is in it: not to its last pose's place, with nothing
    // painted there yet.
    LayerHostView view(tree, clock, &panel);
    view.setFrameInterval(LayerHostView::calmFrameIntervalMs);
    view.setGeometry(QRect(viewOffset, viewSize));
    view.show();
    QTest::qWait(300); // the sway goes on from poses
    const QRect swaying = shapeExtents(panel);
    panel.setGeometry(QRect(panel.pos() + viewOffset, viewSize));
    view.setGeometry(QRect(QPoint(), viewSize));
    EXPECT_EQ(shapeExtents(panel).left(), swaying.left() - viewOffset.x());
}

TEST(OverlayPanel, AHigherLevelStaysAboveAPanelMappedOnItsFirstDrawnFrame)
{
    OverlayPanel monkey(QRect(1700, 0, 100, 100), 26), note(QRect(1650, 50, 100, 100), 25);
    monkey.setDrawnRegion(QRegion(0, 0, 100, 100));
    monkey.bringToFront();
    note.bringToFront(); // nothing drawn yet: not mapped
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&monkey));
    EXPECT_FALSE(note.isVisible());
    note.setDrawnRegion(QRegion(0, 0, 80, 80));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&note));
    // Top-level windows from the bottom of the stack to its top.
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(connection(), xcb_query_tree(connection(), root()), nullptr);
    const xcb_window_t* children = xcb_query_tree_children(tree);
    const QList<xcb_window_t> order(children, children + xcb_query_tree_children_length(tree));
    free(tree);
    EXPECT_LT(order.indexOf(xcb_window_t(note.winId())), order.indexOf(xcb_window_t(monkey.winId())));
    // Unmanaged: nothing may list it, frame it or keep it to one workspace.
    xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(
        connection(), xcb_get_window_attributes(connection(), xcb_window_t(note.winId())), nullptr);
    EXPECT_TRUE(attributes->override_redirect);
    free(attributes);
}

} // namespace
