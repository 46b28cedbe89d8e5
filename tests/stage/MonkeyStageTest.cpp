#include "common/ManualScheduler.h"
#include "common/TestEnvironment.h"
#include "layers/Layer.h"
#include "overlay/OverlayPanel.h"
#include "sound/ImpactSound.h"
#include "sprites/Sprites.h"
#include "stage/MonkeyStage.h"
#include "support/Settings.h"

#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace Qt::StringLiterals;
using testing::ElementsAre;

struct CountingSound : ImpactSound {
    QList<SoundChoice> played;
    void playImpact(SoundChoice choice) override { played.append(choice); }
};

// The stage on a 1920×1048 usable area (y up), with the clock and the pointer in the test's hands.
class MonkeyStageTest : public testing::Test {
protected:
    QTemporaryDir dir;
    Settings settings{dir.filePath(u"prefs.conf"_s)};
    ManualScheduler scheduler;
    CountingSound sound;
    std::optional<QRectF> area = QRectF(0, 0, 1920, 1048);
    QPointF pointer{0, 0};
    MonkeyStage stage{settings, scheduler, sound,
        MonkeyStage::Screen{[this] { return area; }, [this] { return pointer; }}};

    QList<QPointF> impacts;
    int done = 0;

    void slap(bool money = true)
    {
        stage.slap(money, [this](QPointF at) { impacts.append(at); }, [this] { ++done; });
    }
    // The pendulum's displayed state now.
    double angle() { return stage.pendulum()->presentationRotation(scheduler.uptime()); }
    double height() { return stage.pendulum()->presentationPosition(scheduler.uptime()).y(); }
};

TEST_F(MonkeyStageTest, TheSlapHitsAtItsTimeAndReportsTheHandOnScreen)
{
    stage.layout();
    settings.setSoundChoice(SoundChoice::pop);
    const StageGeometry& g = stage.geometry();
    slap();
    EXPECT_TRUE(stage.busy());
    scheduler.advance(0.46);
    EXPECT_TRUE(impacts.isEmpty());
    scheduler.advance(0.01);
    ASSERT_EQ(impacts.size(), 1);
    EXPECT_THAT(sound.played, ElementsAre(SoundChoice::pop));

    // Worked out by hand: the palm turned about the top of the vine by the hit angle, in a
    // panel whose bottom-left corner is at (1507, 568).
    const double a = g.hitAngle();
    const QPointF fromPivot(Sprites::slapHand.x() * g.S - Sprites::vineCenterX * g.S,
        (StageGeometry::rows - Sprites::slapHand.y()) * g.S - g.pendulumBounds().height());
    const QPointF expected = QPointF(1507, 568) + QPointF(g.pendulumX(), g.slapY())
        + QPointF(fromPivot.x() * std::cos(a) - fromPivot.y() * std::sin(a), fromPivot.x() * std::sin(a) + fromPivot.y() * std::cos(a));
    EXPECT_NEAR(impacts[0].x(), expected.x(), 1e-6);
    EXPECT_NEAR(impacts[0].y(), expected.y(), 1e-6);
    EXPECT_NEAR(angle(), a, 1e-6) << "the swing has arrived by the impact";

    // Back at rest after the return spring settles (never longer than 3.2 s after 1.25 s).
    const double settle = std::min(MonkeyStage::returnSettling(), 3.2);
    EXPECT_GT(settle, 1.5);
    scheduler.advance(1.25 - 0.47 + settle - 0.01);
    EXPECT_EQ(done, 0);
    EXPECT_TRUE(stage.busy());
    scheduler.advance(0.01);
    EXPECT_EQ(done, 1);
    EXPECT_FALSE(stage.busy());
    EXPECT_NE(stage.pendulum()->animation(u"sway"_s), nullptr) << "the sway starts again";
    EXPECT_NEAR(height(), g.restingY(true), 1e-6);
}

TEST_F(MonkeyStageTest, WithoutAScreenASlapEndsAtOnceWithoutAnImpact)
{
    area.reset();
    stage.layout();
    EXPECT_EQ(stage.panel(), nullptr);
    slap();
    EXPECT_EQ(done, 1);
    scheduler.advance(5);
    EXPECT_TRUE(impacts.isEmpty());
    EXPECT_TRUE(sound.played.isEmpty());
}

TEST_F(MonkeyStageTest, ASlapStartsFromWhereTheMonkeyIsShown)
{
    stage.layout();
    scheduler.advance(4.6 / 4);   // a quarter of the sway: turned by its full amplitude
    const double shown = angle();
    EXPECT_NEAR(shown, stage.geometry().swayAmplitude(), 1e-3);
    slap();
    const Animation* swing = stage.pendulum()->animation(u"swing"_s);
    ASSERT_NE(swing, nullptr);
    EXPECT_NEAR(swing->valueAt(swing->beginTime()).x(), shown, 1e-9);
}

TEST_F(MonkeyStageTest, HidingDuringASlapIsHonouredByTheReturn)
{
    stage.layout();
    slap();
    scheduler.advance(1.0);
    settings.setAlwaysVisible(false);
    stage.applyVisibility();   // ignored while busy
    scheduler.advance(5);
    EXPECT_EQ(done, 1);
    EXPECT_NEAR(height(), stage.geometry().restingY(false), 1e-6);

    settings.setAlwaysVisible(true);
    stage.applyVisibility();
    EXPECT_NEAR(height(), stage.geometry().restingY(false), 1e-6) << "it drops in from where it is";
    scheduler.advance(0.8);
    EXPECT_NEAR(height(), stage.geometry().restingY(true), 1e-6);
}

TEST_F(MonkeyStageTest, OnlyTheMonkeysOwnPixelsCatchThePointer)
{
    stage.layout();
    stage.pendulum()->removeAllAnimations();   // hold still for exact pixels
    const StageGeometry& g = stage.geometry();
    const double top = g.restingY(true) - g.pendulumBounds().height() + StageGeometry::rows * g.S;
    const QPointF hand(g.pendulumX() - 2 * g.S + 2, top - 2);             // cell (16, 0): the gripping hand
    const QPointF besideHead(g.pendulumX() - 18 * g.S + 2, top - 2);     // cell (0, 0): clear
    EXPECT_TRUE(stage.isOverMonkey(hand));
    EXPECT_FALSE(stage.isOverMonkey(besideHead));

    const QPointF origin(1507, 568);
    pointer = origin + hand;
    stage.watchPointer();
    EXPECT_FALSE(stage.panel()->ignoresMouseEvents());
    pointer = origin + besideHead;
    stage.watchPointer();
    EXPECT_TRUE(stage.panel()->ignoresMouseEvents());

    settings.setAlwaysVisible(false);
    EXPECT_FALSE(stage.isOverMonkey(hand));
    settings.setAlwaysVisible(true);
    slap();
    EXPECT_FALSE(stage.isOverMonkey(hand)) << "never while slapping";
}

} // namespace
