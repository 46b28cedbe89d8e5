#include "common/ManualScheduler.h"
#include "layers/Layer.h"
#include "layers/LayerTree.h"

#include <gmock/gmock.h>

namespace {

using namespace Qt::StringLiterals;
using testing::ElementsAre;

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
    Animation::Completion record(const QString& name) { return [this, name](bool finished) { calls << name + (finished ? u" done"_s : u" cut"_s); }; }
    LayerTree::Frame advanceTo(double t)
    {
        scheduler.advance(t - scheduler.uptime());
        return tree.step(t);
    }
};

TEST_F(LayerTreeTest, CompletionsRunOnceWithHowTheyEndedAndALayerLeavesWhenItsLastAnimationEnds)
{
    const auto layer = box(QRectF(0, 0, 10, 10));
    layer->addAnimation(Animation::basic(LayerProperty::opacity, 0, 1, 1).setOnComplete(record(u"fade"_s)), u"fade"_s);
    layer->addAnimation(Animation::basic(LayerProperty::scale, 1, 2, 1).setOnComplete(record(u"grow"_s)), u"grow"_s);
    layer->addAnimation(Animation::basic(LayerProperty::scale, 2, 1, 1).setOnComplete(record(u"shrink"_s)), u"grow"_s);
    layer->addAnimation(Animation::keyframe(LayerProperty::rotationZ, {0, 1}, 1).setRepeatForever(true).setOnComplete(record(u"sway"_s)), u"sway"_s);
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
    // "Remove the spark when everything I started on it has ended", however each one ends.
    const auto spark = box(QRectF(100, 100, 8, 8));
    auto remaining = std::make_shared<int>(3);
    const std::weak_ptr<Layer> weakSpark = spark;
    const auto countDown = [remaining, weakSpark](bool) {
        if (--*remaining == 0)
            if (const auto alive = weakSpark.lock())
                alive->removeFromSuperlayer();
    };
    spark->addAnimation(Animation::basic(QPointF(104, 104), QPointF(204, 154), 1).setOnComplete(countDown), u"fly"_s);
    spark->addAnimation(Animation::basic(LayerProperty::opacity, 1, 0, 2).setOnComplete(countDown), u"fade"_s);
    spark->addAnimation(Animation::basic(LayerProperty::scale, 1, 2, 5).setOnComplete(countDown), u"grow"_s);
    advanceTo(4);
    spark->removeAnimation(u"grow"_s);
    EXPECT_EQ(root->sublayers().size(), 2u);
    const LayerTree::Frame last = advanceTo(5);
    EXPECT_EQ(root->sublayers().size(), 1u);
    EXPECT_FALSE(last.animating);
    // Where the spark was last shown gets repainted.
    EXPECT_TRUE(last.dirtyArea.contains(QRectF(100, 100, 8, 8)));
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
        other->addAnimation(Animation::basic(LayerProperty::scale, 1, 3, 1).setOnComplete(record(u"grow"_s)), u"grow"_s);
        tree.step(1);
    }), u"fade"_s);
    spark->addAnimation(Animation::basic(QPointF(), QPointF(10, 10), 1).setOnComplete(record(u"fly"_s)), u"fly"_s);
    other->addAnimation(Animation::basic(LayerProperty::scale, 1, 2, 5).setOnComplete(record(u"pulse"_s)), u"pulse"_s);
    const LayerTree::Frame frame = advanceTo(1);
    EXPECT_THAT(calls, ElementsAre(u"fade"_s, u"pulse cut"_s, u"fly done"_s));
    EXPECT_EQ(root->sublayers().size(), 1u);
    EXPECT_TRUE(frame.animating);
    EXPECT_EQ(other->animation(u"grow"_s)->beginTime(), 1);
    advanceTo(2);
    advanceTo(3);
    EXPECT_THAT(calls, ElementsAre(u"fade"_s, u"pulse cut"_s, u"fly done"_s, u"grow done"_s));
}

TEST_F(LayerTreeTest, DirtyAreaCoversWhereMovingLayersWereAndAre)
{
    const auto still = box(QRectF(300, 300, 20, 20));
    const auto mover = box(QRectF(0, 0, 10, 10));
    EXPECT_EQ(advanceTo(0.1).dirtyArea, QRectF(0, 0, 320, 320));
    EXPECT_FALSE(advanceTo(0.2).changed);
    mover->addAnimation(Animation::basic(QPointF(5, 5), QPointF(105, 5), 1), u"fly"_s);
    const LayerTree::Frame first = advanceTo(0.7);
    EXPECT_TRUE(first.changed);
    EXPECT_EQ(first.dirtyArea, QRectF(0, 0, 60, 10));
    EXPECT_EQ(first.nextChange, 0.7);
    EXPECT_EQ(advanceTo(0.8).dirtyArea, QRectF(50, 0, 20, 10));
    // Ended: back to the model frame.
    EXPECT_EQ(advanceTo(1.5).dirtyArea, QRectF(0, 0, 70, 10));
    still->setHidden(true);
    EXPECT_EQ(advanceTo(1.6).dirtyArea, QRectF(300, 300, 20, 20));
}

TEST_F(LayerTreeTest, AsksForStepsOnlyWhenIdle)
{
    int asked = 0;
    QObject::connect(&tree, &LayerTree::needsStep, [&] { ++asked; });
    const auto layer = box(QRectF(0, 0, 10, 10));
    layer->addAnimation(Animation::basic(LayerProperty::opacity, 1, 0, 1).setBeginTime(2), u"fade"_s);
    EXPECT_EQ(asked, 1);
    const LayerTree::Frame waiting = advanceTo(0.5);
    EXPECT_TRUE(waiting.animating);
    EXPECT_EQ(waiting.nextChange, 2);
    layer->setPosition(QPointF(1, 1));
    EXPECT_EQ(asked, 1);
    advanceTo(3);
    layer->setOpacity(0.5);
    EXPECT_EQ(asked, 2);
}

} // namespace
