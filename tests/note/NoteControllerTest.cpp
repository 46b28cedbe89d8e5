#include "note/NoteController.h"
#include "common/FakeScreens.h"
#include "common/ManualScheduler.h"
#include "common/TestEnvironment.h"
#include "layers/Layer.h"
#include "layers/LayerTree.h"
#include "overlay/LayerHostView.h"
#include "overlay/OverlayPanel.h"

#include <gmock/gmock.h>

namespace {

using namespace Qt::StringLiterals;
using TestEnvironment::takeLogMessages;
using testing::ElementsAre;

// The controller with a stand-in picture of 280×98 points, a clock the test moves and one screen.
class NoteControllerTest : public testing::Test {
protected:
    ManualScheduler scheduler;
    FakeScreens screens;
    NoteController notes{scheduler, screens, [](const MonkeyEvent&, qreal ratio) {
                             QImage image(QSize(280, 98) * ratio, QImage::Format_ARGB32_Premultiplied);
                             image.fill(Qt::yellow);
                             image.setDevicePixelRatio(ratio);
                             return image;
                         }};
    int closed = 0;
    void SetUp() override { takeLogMessages(); }
    void show(double seconds)
    {
        notes.show(MonkeyEvent{u"sale"_s, u"Sale"_s, {}, {}, {}, {}}, {1000, 600}, seconds, [this] { ++closed; });
    }
    OverlayPanel* panel() { return topLevelWindow<OverlayPanel>(u"notePanel"_s); }
    LayerHostView* view() { return panel()->findChild<LayerHostView*>(); }
    Layer& note() { return *panel()->findChild<LayerTree*>()->root()->sublayers().front(); }
    // Moves the clock and lets the note's frame step run, as its window's timer would.
    void advance(double seconds)
    {
        scheduler.advance(seconds);
        if (panel())
            view()->stepFrame();
    }
};

TEST_F(NoteControllerTest, LandsTiltedFallsAwayAfterItsTimeUnlessHoveredAndClosesOnAClickNearIt)
{
    // Placed under and left of the hand, inside the usable area.
    const auto at
        = [](QPointF hand, QSizeF note = {280, 98}) { return NoteController::placement(hand, note, oneScreen); };
    EXPECT_EQ(at({1000, 600}), QRectF(1000 + 12 - 280 - 26, 600 - 75 - 12, 332, 150));
    EXPECT_EQ(at({100, 20}).topLeft(), QPointF(0, 0)) << "moved in from the left and bottom edges";
    EXPECT_EQ(at({1900, 1047}).bottom(), 1048) << "the panel bar is kept clear";
    EXPECT_EQ(at({50, 50}, {3000, 2000}).bottomRight(), QPointF(1920, 1048)) << "too big: right and top win";
    EXPECT_EQ(at({-500, 600}).left(), 0) << "a hand on no screen: kept on the first";
    EXPECT_EQ(NoteController::placement({-500, 600}, {280, 98}, {}).left(), -500 + 12 - 280 - 26);
    show(4);
    EXPECT_EQ(panel()->geometry(), QRect(706, 1080 - 513 - 150, 332, 150));
    EXPECT_EQ(panel()->inputRegion(), QRegion(20, 20, 292, 110))
        << "only the paper, and 6 points around it, takes the pointer";
    EXPECT_EQ(std::pair(note().rotation(), note().position()), std::pair(-0.035, QPointF(166, 75)));
    EXPECT_THAT(note().animationKeys(), testing::UnorderedElementsAre("scale", "turn", "fade-in"));
    advance(3.99);
    EXPECT_TRUE(takeLogMessages().isEmpty());
    advance(0.01);
    EXPECT_THAT(takeLogMessages(), ElementsAre("note closed (timeout)"));
    EXPECT_EQ(closed, 0) << "not before it has fallen";
    EXPECT_TRUE(panel()->ignoresMouseEvents());
    advance(0.28);
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(panel(), nullptr);
    // The close callback runs once per note whatever happens.
    show(1);
    advance(1); // falling...
    show(8);
    EXPECT_EQ(closed, 2) << "the falling note is finished before the next is shown";
    advance(1); // the old fall would have ended by now
    show(60);
    EXPECT_EQ(closed, 3);
    takeLogMessages();
    advance(20); // the replaced note's timer is void
    EXPECT_TRUE(takeLogMessages().isEmpty());
    // While the pointer rests on the note it stays, looked at again every 1.5 s. A click on it, or
    // within 6 points of it, closes it; one during the fall does nothing.
    show(4);
    takeLogMessages(); // the note it replaced
    Q_EMIT view()->hoverChanged(true);
    advance(4 + 1.5 + 1.5);
    Q_EMIT view()->hoverChanged(false);
    advance(1.49);
    Q_EMIT view()->clicked(QPointF(26 - 7, 100)); // 7 points left of the note
    Q_EMIT view()->clicked(QPointF(100, 26 + 98 + 7));
    EXPECT_TRUE(takeLogMessages().isEmpty());
    advance(0.01);
    EXPECT_THAT(takeLogMessages(), ElementsAre("note closed (timeout)"));
    show(60);
    Q_EMIT view()->clicked(QPointF(26 - 5, 100)); // 5 points left of it
    Q_EMIT view()->clicked(QPointF(100, 100));
    EXPECT_THAT(takeLogMessages(), ElementsAre("note closed (click)"));
}

} // namespace
