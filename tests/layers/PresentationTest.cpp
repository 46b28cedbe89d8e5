#include "common/ManualScheduler.h"
#include "layers/Layer.h"
#include "layers/LayerTree.h"

#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;

// Animations are added at uptime 2 so that begin times are not zero by accident.
class PresentationTest : public testing::Test {
protected:
    ManualScheduler scheduler;
    LayerTree tree{scheduler};
    std::shared_ptr<Layer> layer = Layer::create();
    void SetUp() override
    {
        scheduler.advance(2);
        tree.root()->addSublayer(layer);
    }
};

TEST_F(PresentationTest, BasicKeyframeSwayAndSpringAnimationsFollowTheirCurves)
{
    layer->setOpacity(1);
    layer->addAnimation(Animation::basic(LayerProperty::opacity, 0, 1, 2).setTimingFunction(TimingFunction::easeInEaseOut()), u"fade"_s);
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
    layer->addAnimation(Animation::keyframe(LayerProperty::rotationZ, {0, a, 0, -a, 0}, 2).setRepeatForever(true).setAdditive(true), u"sway"_s);
    EXPECT_NEAR(layer->presentationRotation(2.5), 0.3 + a, 1e-9);
    EXPECT_NEAR(layer->presentationRotation(3.5), 0.3 - a, 1e-9);
    EXPECT_NEAR(layer->presentationRotation(4), 0.3, 1e-9);
    EXPECT_NEAR(layer->presentationRotation(2 + 1000 * 2 + 0.25), 0.3 + a / 2, 1e-9);
    // The model can change underneath while it sways.
    layer->setRotation(-1);
    EXPECT_NEAR(layer->presentationRotation(6.5), -1 + a, 1e-9);
    EXPECT_EQ(layer->rotation(), -1);
    // A spring runs on seconds, not on progress through its duration.
    const Spring spring(1, 26, 6.2);
    layer->addAnimation(Animation::spring(QPointF(0, 0), QPointF(0, 100), spring), u"drop"_s);
    EXPECT_EQ(layer->animation(u"drop"_s)->duration(), spring.settlingDuration());
    EXPECT_NEAR(layer->presentationPosition(2.8).y(), 100 * spring.valueAt(0.8), 1e-9);
}

// Later animations apply on top of earlier ones: an additive over a replacing one adds to it,
// a replacing one added later hides everything before.
TEST_F(PresentationTest, LaterAnimationsApplyOnTopAndBeginTimesWait)
{
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
    EXPECT_FALSE(layer->hasAnimations());
    // A delayed begin, and layers outside the tree.
    layer->addAnimation(Animation::basic(LayerProperty::opacity, 0, 0, 1).setBeginTime(5), u"blink"_s);
    EXPECT_EQ(layer->presentationOpacity(4.9), 1);
    EXPECT_EQ(layer->presentationOpacity(5.5), 0);
    // Added outside a tree, an animation starts when its layer joins one.
    const auto spark = Layer::create();
    spark->addAnimation(Animation::basic(LayerProperty::scale, 0, 4, 1), u"pop"_s);
    EXPECT_FALSE(spark->animation(u"pop"_s)->hasBeginTime());
    EXPECT_EQ(spark->presentationScale(2.5), 1);
    scheduler.advance(1);
    layer->addSublayer(spark);
    EXPECT_EQ(spark->presentationScale(3.5), 2);
}

} // namespace
