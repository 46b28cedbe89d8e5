#include "common/ManualScheduler.h"
#include "layers/Layer.h"
#include "layers/LayerTree.h"
#include "layers/Spring.h"
#include "layers/TimingFunction.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <cmath>

namespace {

using namespace Qt::StringLiterals;
using testing::ElementsAre;

// Values from an independent dense bisection on the Bernstein form; every curve runs from 0 to 1
// without going back, and holds its ends outside [0, 1].
TEST(TimingFunction, NamedAndCustomCurvesMatchReferenceValuesAlsoNearTheEndsOfFlatAndSteepCurves)
{
    const std::tuple<TimingFunction, double, double, double> references[] = {
        {TimingFunction::easeIn(), 0.0934647, 0.3153568, 0.6218619},
        {TimingFunction::easeOut(), 0.3781381, 0.6846432, 0.9065353},
        {TimingFunction::easeInEaseOut(), 0.1291619, 0.5, 0.8708381},
        {TimingFunction(0.35, 0, 0.25, 1), 0.2635031, 0.7602275, 0.9546166},
    };
    for (const auto& [curve, at25, at50, at75] : references) {
        EXPECT_EQ(curve.valueAt(0), 0);
        EXPECT_NEAR(curve.valueAt(0.25), at25, 1e-6);
        EXPECT_NEAR(curve.valueAt(0.5), at50, 1e-6);
        EXPECT_NEAR(curve.valueAt(0.75), at75, 1e-6);
        EXPECT_NEAR(curve.valueAt(1), 1, 1e-12);
        EXPECT_EQ(curve.valueAt(-0.5), curve.valueAt(0));
        EXPECT_EQ(curve.valueAt(1.5), curve.valueAt(1));
        for (int i = 1; i <= 1000; ++i)
            ASSERT_GE(curve.valueAt(i / 1000.0), curve.valueAt((i - 1) / 1000.0)) << i;
    }
    EXPECT_EQ(TimingFunction(0.2, 0.2, 0.7, 0.7).valueAt(0.3), 0.3);
    // Where x'(t) vanishes at an end (control x at 0 or 1) Newton stalls; the point on the curve
    // at parameter t must still come back from its x.
    const double controls[][4] = {{0, 1, 1, 0}, {0, 0, 1, 1.0001}, {0.9, 0.1, 1, 0}, {0, 0.8, 0.1, 1}};
    for (const auto& c : controls) {
        const TimingFunction curve(c[0], c[1], c[2], c[3]);
        for (double t : {1e-7, 1e-4, 0.01, 0.3, 0.7, 0.99, 0.9999, 1 - 1e-7}) {
            const double u = 1 - t;
            const double x = 3 * u * u * t * c[0] + 3 * u * t * t * c[2] + t * t * t;
            const double y = 3 * u * u * t * c[1] + 3 * u * t * t * c[3] + t * t * t;
            EXPECT_NEAR(curve.valueAt(x), y, 1e-6)
                << "curve " << c[0] << ' ' << c[1] << ' ' << c[2] << ' ' << c[3] << " at t=" << t;
        }
    }
}

TEST(Spring, UnderdampedOvershootsOthersDoNotAndEveryRegimeStartsAtItsVelocity)
{
    const Spring spring(1, 26, 6.2);
    EXPECT_EQ(spring.valueAt(0), 0);
    // The last moment it is 0.1% out, by a fine independent scan.
    const double settling = spring.settlingDuration();
    EXPECT_NEAR(settling, 2.0016, 0.002);
    EXPECT_GT(std::abs(1 - spring.valueAt(settling - 0.005)), Spring::settleEpsilon);
    double highest = 0;
    for (double t = 0; t < 3 * settling; t += 0.001) {
        highest = std::max(highest, spring.valueAt(t));
        if (t >= settling) {
            ASSERT_LE(std::abs(1 - spring.valueAt(t)), Spring::settleEpsilon) << t;
        }
    }
    EXPECT_GT(highest, 1.05);
    // Critically damped and overdamped springs approach without overshoot.
    for (const auto& [damped, expected] :
        {std::pair(Spring(1, 100, 20), 0.92334), std::pair(Spring(1, 100, 50), 3.331)}) {
        EXPECT_NEAR(damped.settlingDuration(), expected, 0.002);
        for (double t = 0.01, previous = 0; t < 5; previous = damped.valueAt(t), t += 0.01) {
            ASSERT_TRUE(std::isfinite(damped.valueAt(t)));
            ASSERT_GE(damped.valueAt(t), previous);
            ASSERT_LE(damped.valueAt(t), 1);
        }
        EXPECT_NEAR(damped.valueAt(damped.settlingDuration()), 1 - Spring::settleEpsilon, 1e-6);
    }
    EXPECT_TRUE(std::isinf(Spring(1, 100, 0).settlingDuration()));
    // The initial velocity is the starting slope in every regime: each form sets its coefficients
    // from it separately.
    for (double damping : {6.2, 2 * std::sqrt(26.0), 30.0}) {
        const Spring kicked(1, 26, damping, 3);
        const double h = 1e-6;
        EXPECT_NEAR(kicked.valueAt(h) / h, 3, 1e-3) << damping;
        EXPECT_NEAR(kicked.valueAt(kicked.settlingDuration() + 1), 1, Spring::settleEpsilon) << damping;
    }
}

class LayerTreeTest : public testing::Test {
protected:
    ManualScheduler scheduler;
    LayerTree tree{scheduler};
    std::shared_ptr<Layer> root = tree.root();
    QStringList calls;
    void SetUp() override
    {
        root->setFrame(QRectF(0, 0, 400, 400));
        tree.step(0);
    }
    std::shared_ptr<Layer> box(QRectF frame)
    {
        auto layer = Layer::create();
        layer->setFrame(frame);
        root->addSublayer(layer);
        return layer;
    }
    Animation::Completion record(const QString& name)
    {
        return [this, name](bool finished) { calls << name + (finished ? u" done"_s : u" cut"_s); };
    }
    LayerTree::Frame advanceTo(double t)
    {
        scheduler.advance(t - scheduler.uptime());
        return tree.step(t);
    }
};

TEST_F(LayerTreeTest, EachKindFollowsItsCurveLaterOnesApplyOnTopAndDelayedBeginsWait)
{
    advanceTo(2); // so that begin times are not zero by accident
    const auto layer = box(QRectF());
    layer->setOpacity(1);
    layer->addAnimation(
        Animation::basic(LayerProperty::opacity, 0, 1, 2).setTimingFunction(TimingFunction::easeInEaseOut()),
        u"fade"_s);
    EXPECT_EQ(layer->presentationOpacity(1.9), 1);
    EXPECT_EQ(layer->presentationOpacity(2), 0);
    EXPECT_NEAR(layer->presentationOpacity(2.5), 0.1291619, 1e-6);
    EXPECT_NEAR(layer->presentationOpacity(3), 0.5, 1e-9);
    // Over: the model shows again, also before the step removes it.
    EXPECT_EQ(layer->presentationOpacity(4), 1);
    // Keyframes follow their key times and segment curves.
    layer->addAnimation(Animation::keyframe(LayerProperty::scale, {0, 10, 30}, 5)
                            .setKeyTimes({0, 0.2, 1})
                            .setTimingFunctions({TimingFunction::linear(), TimingFunction::easeIn()}),
        u"grow"_s);
    EXPECT_NEAR(layer->presentationScale(2.5), 5, 1e-9);
    EXPECT_NEAR(layer->presentationScale(3), 10, 1e-9);
    EXPECT_NEAR(layer->presentationScale(5), 10 + 20 * 0.3153568, 1e-5);
    EXPECT_NEAR(layer->presentationScale(6.99999), 30, 1e-3);
    // Without key times the values are evenly spaced; a mismatched list counts as none.
    layer->addAnimation(Animation::keyframe(LayerProperty::scale, {0, 4, 8, 0}, 3).setKeyTimes({0, 1}), u"grow"_s);
    EXPECT_NEAR(layer->presentationScale(3.5), 6, 1e-9);
    EXPECT_NEAR(layer->presentationScale(4.5), 4, 1e-9);
    // An additive sway repeats over the model rotation.
    const double a = 0.2;
    layer->setRotation(0.3);
    layer->addAnimation(
        Animation::keyframe(LayerProperty::rotationZ, {0, a, 0, -a, 0}, 2).setRepeatForever(true).setAdditive(true),
        u"sway"_s);
    EXPECT_NEAR(layer->presentationRotation(2.5), 0.3 + a, 1e-9);
    EXPECT_NEAR(layer->presentationRotation(3.5), 0.3 - a, 1e-9);
    EXPECT_NEAR(layer->presentationRotation(4), 0.3, 1e-9);
    EXPECT_NEAR(layer->presentationRotation(2 + 1000 * 2 + 0.25), 0.3 + a / 2, 1e-9);
    // The model can change underneath while it sways.
    layer->setRotation(-1);
    EXPECT_NEAR(layer->presentationRotation(6.5), -1 + a, 1e-9);
    // A spring runs on seconds, not on progress through its duration.
    const Spring spring(1, 26, 6.2);
    layer->addAnimation(Animation::spring(QPointF(0, 0), QPointF(0, 100), spring), u"drop"_s);
    EXPECT_EQ(layer->animation(u"drop"_s)->duration(), spring.settlingDuration());
    EXPECT_NEAR(layer->presentationPosition(2.8).y(), 100 * spring.valueAt(0.8), 1e-9);
    // Later animations apply on top of earlier ones: an additive over a replacing one adds to it,
    // a replacing one added later hides everything before.
    layer->removeAllAnimations();
    layer->setPosition(QPointF(1000, 1000));
    layer->addAnimation(Animation::basic(QPointF(0, 0), QPointF(100, 50), 2), u"fly"_s);
    EXPECT_EQ(layer->presentationPosition(3), QPointF(50, 25));
    layer->addAnimation(Animation::basic(LayerProperty::positionY, 0, 10, 2).setAdditive(true), u"lift"_s);
    EXPECT_EQ(layer->presentationPosition(3), QPointF(50, 30));
    layer->addAnimation(Animation::basic(LayerProperty::positionX, 7, 7, 2), u"pin"_s);
    EXPECT_EQ(layer->presentationPosition(3), QPointF(7, 30));
    // Replacing "fly" moves it to the top, above "lift" and "pin".
    layer->addAnimation(Animation::basic(QPointF(0, 0), QPointF(-100, -50), 2), u"fly"_s);
    EXPECT_EQ(layer->animationKeys(), QStringList({u"lift"_s, u"pin"_s, u"fly"_s}));
    EXPECT_EQ(layer->presentationPosition(3), QPointF(-50, -25));
    layer->removeAnimation(u"fly"_s);
    EXPECT_EQ(layer->presentationPosition(3), QPointF(7, 1005));
    layer->removeAllAnimations();
    EXPECT_EQ(layer->presentationPosition(3), QPointF(1000, 1000));
    // A delayed begin: nothing shows before it, and a step says when it is due.
    layer->addAnimation(Animation::basic(LayerProperty::opacity, 0, 0, 1).setBeginTime(5), u"blink"_s);
    EXPECT_EQ(layer->presentationOpacity(4.9), 1);
    EXPECT_EQ(layer->presentationOpacity(5.5), 0);
    const LayerTree::Frame waiting = tree.step(4.9);
    EXPECT_EQ(std::pair(waiting.animating, waiting.nextChange), std::pair(true, 5.0));
    // Added outside a tree, an animation starts when its layer joins one.
    const auto spark = Layer::create();
    spark->addAnimation(Animation::basic(LayerProperty::scale, 0, 4, 1), u"pop"_s);
    EXPECT_FALSE(spark->animation(u"pop"_s)->hasBeginTime());
    EXPECT_EQ(spark->presentationScale(2.5), 1);
    scheduler.advance(1);
    layer->addSublayer(spark);
    EXPECT_EQ(spark->presentationScale(3.5), 2);
}

TEST_F(LayerTreeTest, CompletionsRunOnceWithHowTheyEndedAndAnIdleTreeWaitsForNothing)
{
    const auto layer = box(QRectF(0, 0, 10, 10));
    layer->addAnimation(Animation::basic(LayerProperty::opacity, 0, 1, 1).setOnComplete(record(u"fade"_s)), u"fade"_s);
    layer->addAnimation(Animation::basic(LayerProperty::scale, 1, 2, 1).setOnComplete(record(u"grow"_s)), u"grow"_s);
    layer->addAnimation(Animation::basic(LayerProperty::scale, 2, 1, 1).setOnComplete(record(u"shrink"_s)), u"grow"_s);
    layer->addAnimation(Animation::keyframe(LayerProperty::rotationZ, {0, 1}, 1)
                            .setRepeatForever(true)
                            .setOnComplete(record(u"sway"_s)),
        u"sway"_s);
    EXPECT_THAT(calls, ElementsAre(u"grow cut"_s));
    EXPECT_TRUE(advanceTo(0.5).animating);
    advanceTo(1);
    advanceTo(2);
    EXPECT_THAT(calls, ElementsAre(u"grow cut"_s, u"fade done"_s, u"shrink done"_s));
    EXPECT_EQ(layer->animationKeys(), QStringList{u"sway"_s});
    layer->removeAnimation(u"sway"_s);
    layer->removeAnimation(u"sway"_s);
    const LayerTree::Frame idle = advanceTo(3);
    EXPECT_THAT(calls, ElementsAre(u"grow cut"_s, u"fade done"_s, u"shrink done"_s, u"sway cut"_s));
    EXPECT_FALSE(idle.animating);
    EXPECT_TRUE(std::isinf(idle.nextChange));
}

// Completions may rearrange the tree and the very animations the step is finishing.
TEST_F(LayerTreeTest, CompletionsMayChangeTheTreeReentrantly)
{
    const auto spark = box(QRectF(0, 0, 10, 10));
    const auto other = box(QRectF(50, 50, 10, 10));
    spark->addAnimation(Animation::basic(LayerProperty::opacity, 1, 0, 1).setOnComplete([&](bool) {
        calls.append(u"fade"_s);
        spark->removeAnimation(u"fly"_s);
        other->removeAllAnimations();
        spark->removeFromSuperlayer();
        other->addAnimation(
            Animation::basic(LayerProperty::scale, 1, 3, 1).setOnComplete(record(u"grow"_s)), u"grow"_s);
        tree.step(1);
    }),
        u"fade"_s);
    spark->addAnimation(Animation::basic(QPointF(), QPointF(10, 10), 1).setOnComplete(record(u"fly"_s)), u"fly"_s);
    other->addAnimation(Animation::basic(LayerProperty::scale, 1, 2, 5).setOnComplete(record(u"pulse"_s)), u"pulse"_s);
    advanceTo(0.5); // shown once
    const LayerTree::Frame frame = advanceTo(1);
    EXPECT_THAT(calls, ElementsAre(u"fade"_s, u"pulse cut"_s, u"fly done"_s));
    EXPECT_EQ(root->sublayers().size(), 1u);
    EXPECT_TRUE(frame.dirtyArea.contains(QRectF(0, 0, 10, 10))) << "where the spark was last shown is repainted";
    EXPECT_TRUE(frame.animating);
    EXPECT_EQ(other->animation(u"grow"_s)->beginTime(), 1);
    advanceTo(2);
    advanceTo(3);
    EXPECT_THAT(calls, ElementsAre(u"fade"_s, u"pulse cut"_s, u"fly done"_s, u"grow done"_s));
}

// The tree asks to be stepped on the first change after a step that found nothing animating.
TEST_F(LayerTreeTest, DirtyAreaCoversWhereMovingLayersWereAndAreAndOnlyAnIdleTreeAsksForSteps)
{
    int asked = 0;
    QObject::connect(&tree, &LayerTree::needsStep, [&] { ++asked; });
    const auto still = box(QRectF(300, 300, 20, 20));
    const auto mover = box(QRectF(0, 0, 10, 10));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(advanceTo(0.1).dirtyArea, QRectF(0, 0, 320, 320));
    EXPECT_FALSE(advanceTo(0.2).changed);
    mover->addAnimation(Animation::basic(QPointF(5, 5), QPointF(105, 5), 1), u"fly"_s);
    EXPECT_EQ(asked, 2);
    const LayerTree::Frame first = advanceTo(0.7);
    EXPECT_TRUE(first.changed);
    EXPECT_EQ(first.dirtyArea, QRectF(0, 0, 60, 10));
    EXPECT_EQ(first.nextChange, 0.7);
    EXPECT_EQ(advanceTo(0.8).dirtyArea, QRectF(50, 0, 20, 10));
    // Ended: back to the model frame.
    EXPECT_EQ(advanceTo(1.5).dirtyArea, QRectF(0, 0, 70, 10));
    still->setHidden(true);
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(advanceTo(1.6).dirtyArea, QRectF(300, 300, 20, 20));
}

} // namespace
