#include "stage/MonkeyStage.h"
#include "common/FakeScreens.h"
#include "common/ManualScheduler.h"
#include "layers/Layer.h"
#include "overlay/LayerHostView.h"
#include "overlay/OverlayPanel.h"
#include "sound/ImpactSound.h"
#include "support/Settings.h"

#include <QBitmap>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace Qt::StringLiterals;

struct CountingSound : ImpactSound {
    QList<SoundChoice> played;
    void playImpact(SoundChoice choice) override { played.append(choice); }
};

// The stage at scale 4 on a 1920×1048 usable area (y up), so its 413×480 panel's bottom-left
// corner is at (1507, 568); the clock and the pointer in the test's hands.
class MonkeyStageTest : public testing::Test {
protected:
    QTemporaryDir dir;
    Settings settings{dir.filePath(u"prefs.conf"_s)};
    ManualScheduler scheduler;
    CountingSound sound;
    FakeScreens screens;
    MonkeyStage stage{settings, scheduler, sound, screens};
    const StageGeometry g = StageGeometry::forScale(4);
    QList<QPointF> impacts;
    int done = 0;
    void slap()
    {
        stage.slap(
            true, [this](QPointF at) { impacts.append(at); }, [this] { ++done; });
    }
    OverlayPanel* panel() { return topLevelWindow<OverlayPanel>(u"monkeyPanel"_s); }
    LayerHostView* view() { return panel()->findChild<LayerHostView*>(); }
    static LayerHostView* anyView() { return topLevelWindow(u"monkeyPanel"_s, false)->findChild<LayerHostView*>(); }
    Layer& pendulum() { return *stage.findChild<LayerTree*>()->root()->sublayers().front(); }
    double angle() { return pendulum().presentationRotation(scheduler.uptime()); }
    double height() { return pendulum().presentationPosition(scheduler.uptime()).y(); }
    QRect drawn()
    {
        view()->stepFrame();
        return QRegion(QBitmap::fromImage(view()->grab().toImage().createAlphaMask())).boundingRect();
    }
};

TEST_F(MonkeyStageTest, ASlapNeedsAScreenReportsTheHandAndHonoursVisibilityOnReturn)
{
    screens.all.clear(); // without a screen there is no panel, and a slap ends at once without an impact
    stage.layout();
    slap();
    EXPECT_TRUE(done == 1 && !panel());
    screens.all = oneScreen;
    Q_EMIT screens.changed();
    settings.setSoundChoice(SoundChoice::pop);
    scheduler.advance(4.6 / 4); // a quarter of the sway: turned by its full amplitude
    const double shown = angle();
    EXPECT_NEAR(shown, 9 / g.R(), 1e-3);
    slap();
    EXPECT_NEAR(angle(), shown, 1e-9);
    const QImage first = anyView()->grab().toImage(); // a window may paint before the first step
    anyView()->stepFrame();
    EXPECT_EQ(first, anyView()->grab().toImage()) << "painted at an old time: the slap shows its end";
    scheduler.advance(0.46);
    EXPECT_TRUE(impacts.isEmpty());
    scheduler.advance(0.01);
    ASSERT_EQ(impacts.size(), 1);
    EXPECT_EQ(sound.played, QList{SoundChoice::pop});
    // Worked out by hand: the palm, 66 points left of the vine and 948 below its top, turned about
    // that top by the hit angle -asin(175 / 948), which puts the monkey's middle 175 points left.
    EXPECT_NEAR(QLineF(impacts[0], QPointF(1636.1343, 896.4760)).length(), 0, 1e-3);
    EXPECT_NEAR(angle(), -std::asin(175.0 / 948), 1e-6) << "the swing has arrived by the impact";
    // Back at rest, swaying, once the return spring settles (never longer than 3.2 s after 1.25 s).
    const double settle = std::min(MonkeyStage::returnSettling(), 3.2);
    scheduler.advance(1.25 - 0.47 + settle - 0.01);
    EXPECT_EQ(done, 1);
    scheduler.advance(0.01);
    EXPECT_EQ(done, 2);
    EXPECT_NE(pendulum().animation(u"sway"_s), nullptr);
    EXPECT_NEAR(height(), g.restingY(true), 1e-6);
    // A change of visibility during a slap waits for its return step: the slap runs undisturbed (no
    // pull towards the new rest, no sway on top), then rises to the new rest.
    for (const bool visible : {true, false}) {
        settings.setAlwaysVisible(!visible);
        stage.layout();
        slap();
        scheduler.advance(0.3);
        settings.setAlwaysVisible(visible);
        stage.applyVisibility();
        scheduler.advance(0.8);
        EXPECT_NEAR(angle(), g.hitAngle(), 1e-9) << visible;
        EXPECT_NEAR(height(), g.slapY(), 1e-9) << visible;
        scheduler.advance(5);
        EXPECT_NEAR(height(), g.restingY(visible), 1e-6) << visible;
    }
    settings.setAlwaysVisible(true);
    stage.applyVisibility();
    EXPECT_NEAR(height(), g.restingY(false), 1e-6) << "it drops in from where it is";
    scheduler.advance(0.8);
    EXPECT_NEAR(height(), g.restingY(true), 1e-6);
}

// The panel sits in the top-right corner of the usable area, follows the screens, and takes a
// new size only once a slap is over. Unwatched, it rests still; hidden, it shows nothing.
TEST_F(MonkeyStageTest, ItHangsInTheCornerOfTheUsableArea)
{
    stage.layout();
    EXPECT_EQ(view()->geometry(), QRect(QPoint(1507, 32) - panel()->pos(), QSize(413, 480)))
        << "the stage, in the corner";
    // Shown: the frame's right edge 28 points from the stage's (drawn columns 2 to 21 of 22), its
    // top 5 sprite pixels under the stage's top (27 drawn rows), the vine running up out of it.
    EXPECT_EQ(drawn(), QRect(413 - 28 - 88 + 2 * 4, 0, 20 * 4, (5 + 27) * 4));
    // At rest the window covers just the monkey and its vine, wherever the sway takes them.
    const QRect covered(-view()->pos(), panel()->size());
    EXPECT_LE(covered.width() * covered.height(), 110 * 135);
    for (int step = 0; step < 8; ++step, scheduler.advance(4.6 / 8))
        EXPECT_TRUE(covered.contains(drawn())) << step;
    stage.setUnwatched(true); // the screen locked: it rests still where it is
    scheduler.advance(7);
    view()->stepFrame();
    EXPECT_FALSE(view()->isMoving() || scheduler.pending() || pendulum().animation(u"sway"_s)) << "moves unwatched";
    stage.setUnwatched(false);
    settings.setAlwaysVisible(false);
    stage.layout();
    EXPECT_EQ(panel(), nullptr) << "hidden and still, no window at all";
    scheduler.advance(7); // a blink due meanwhile is not followed by another
    EXPECT_EQ(scheduler.pending(), 0u) << "nothing wakes a hidden monkey";
    anyView()->stepFrame();
    EXPECT_FALSE(anyView()->isMoving());
    screens.all = {{QRectF(0, 0, 1280, 1024), QRectF(0, 40, 1280, 960), 1}};
    Q_EMIT screens.changed();
    slap();
    ASSERT_NE(panel(), nullptr) << "it still drops in to slap";
    EXPECT_EQ(panel()->geometry(), QRect(1280 - 413, 24, 413, 480));
    settings.setAlwaysVisible(true);
    stage.applyScale(5);
    EXPECT_EQ(std::pair(settings.scale(), view()->width()), std::pair(4.0, 413));
    scheduler.advance(5);
    stage.applyScale(5);
    EXPECT_EQ(std::pair(settings.scale(), view()->width()), std::pair(5.0, 5 * 22 + 175 + 150));
}

TEST_F(MonkeyStageTest, OnlyTheMonkeysOwnPixelsCatchThePointer)
{
    stage.layout();
    pendulum().removeAllAnimations(); // hold still for exact pixels
    // In the panel, y up: the top row of the gripping hand (cell 16, 0), and the clear cell 0, 0.
    const QPointF hand(363, 458), besideHead(299, 458);
    const auto catches = [&](QPointF at) {
        return panel()->inputRegion().translated(-view()->pos()).contains(QPoint(int(at.x()), 480 - int(at.y()) - 1));
    };
    EXPECT_TRUE(catches(hand));
    EXPECT_FALSE(catches(besideHead));
    QSignalSpy clicked(&stage, &MonkeyStage::monkeyClicked);
    QTest::mouseClick(view(), Qt::LeftButton, {}, QPoint(299, 480 - 458));
    QTest::mouseClick(view(), Qt::LeftButton, {}, QPoint(363, 480 - 458));
    EXPECT_EQ(clicked.size(), 1);
    settings.setAlwaysVisible(false);
    stage.applyVisibility();
    EXPECT_FALSE(catches(hand)) << "never while hidden";
    settings.setAlwaysVisible(true);
    stage.applyVisibility();
    EXPECT_TRUE(catches(hand));
    slap();
    EXPECT_FALSE(catches(hand)) << "never while slapping";
    // The hit test turns a point into a cell of the monkey frame through the displayed rotation: a
    // point on the centre line just below the monkey's middle (off the cell edge) swings along with it.
    const QPointF pivot(g.pendulumX(), g.restingY(true));
    const auto cell = [&](QPointF at, double angle) {
        return StageGeometry::spritePixel(
            at, pivot, angle, g.pendulumAnchor().x(), g.pendulumBounds().size(), 4, 28 * 4);
    };
    const double a = g.hitAngle(), d = g.R() + 2;
    const QPointF swung(pivot.x() - d * std::sin(-a), pivot.y() - d * std::cos(a));
    EXPECT_EQ(
        std::tuple(cell({pivot.x(), pivot.y() - d}, 0), cell(swung, a)), std::tuple(QPoint(18, 14), QPoint(18, 14)));
    EXPECT_NE(cell(swung, 0), QPoint(18, 14));
    EXPECT_EQ(StageGeometry::forScale(7).vineH, 903) << "the vine is whole sprite pixels, at least 900 points";
}

} // namespace
