#include "common/ManualScheduler.h"
#include "common/TestEnvironment.h"
#include "layers/Layer.h"
#include "note/NoteController.h"
#include "overlay/LayerHostView.h"
#include "overlay/OverlayPanel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;
using TestEnvironment::takeLogMessages;
using testing::ElementsAre;

using ScreenArea = NoteController::ScreenArea;

// A 1920×1080 screen (y up) whose top 32 points are a panel bar.
const QList<ScreenArea> oneScreen{{QRectF(0, 0, 1920, 1080), QRectF(0, 0, 1920, 1048), 1}};

TEST(NotePlacement, UnderAndLeftOfTheHandInsideTheUsableArea)
{
    const QSizeF note(280, 98);
    const QSizeF panel(332, 150);
    EXPECT_EQ(NoteController::placement(QPointF(1000, 600), note, oneScreen), QRectF(QPointF(1000 + 12 - 280 - 26, 600 - 75 - 12), panel));
    // Near the left and bottom edges it moves in instead of being cut off.
    EXPECT_EQ(NoteController::placement(QPointF(100, 20), note, oneScreen).topLeft(), QPointF(0, 0));
    // Near the top, the panel bar is kept clear.
    EXPECT_EQ(NoteController::placement(QPointF(1900, 1047), note, oneScreen).bottom(), 1048);
    // Larger than the area: the right and top limits win.
    const QRectF huge = NoteController::placement(QPointF(50, 50), QSizeF(3000, 2000), oneScreen);
    EXPECT_EQ(huge.right(), 1920);
    EXPECT_EQ(huge.bottom(), 1048);
    // A hand on no screen is kept on the first; with no screen at all nothing is clamped.
    EXPECT_EQ(NoteController::placement(QPointF(-500, 600), note, oneScreen).left(), 0);
    EXPECT_EQ(NoteController::placement(QPointF(-500, 600), note, {}).left(), -500 + 12 - 280 - 26);
}

// The controller with a stand-in picture of a fixed size, a clock the test moves and one screen.
class NoteControllerTest : public testing::Test {
protected:
    ManualScheduler scheduler;
    NoteController notes{scheduler, [] { return oneScreen; }, [](const MonkeyEvent&, qreal ratio) {
                             QImage image(QSize(280, 98) * ratio, QImage::Format_ARGB32_Premultiplied);
                             image.fill(QColor(255, 228, 92));
                             image.setDevicePixelRatio(ratio);
                             return image;
                         }};
    int closed = 0;

    void SetUp() override { takeLogMessages(); }

    void show(double seconds = 4)
    {
        notes.show(MonkeyEvent{u"sale"_s, u"New sale!"_s, {}, {}, {}, {}}, QPointF(1000, 600), seconds, [this] { ++closed; });
    }
    // Lets the note's frame steps run at the scheduler's time, as its window's timer would.
    void frames()
    {
        if (OverlayPanel* panel = notes.panel())
            panel->findChild<LayerHostView*>()->stepFrame();
    }
    void advance(double seconds)
    {
        scheduler.advance(seconds);
        frames();
    }
};

TEST_F(NoteControllerTest, LandsTiltedAndFallsAwayAfterItsTime)
{
    show(4);
    ASSERT_NE(notes.panel(), nullptr);
    EXPECT_EQ(notes.panelFrame().size(), QSizeF(332, 150));
    EXPECT_DOUBLE_EQ(notes.note()->rotation(), -0.035);
    EXPECT_EQ(notes.note()->position(), QPointF(166, 75));
    EXPECT_THAT(notes.note()->animationKeys(), testing::UnorderedElementsAre("scale", "turn", "fade-in"));

    advance(3.99);
    EXPECT_FALSE(notes.isClosing());
    advance(0.01);
    EXPECT_TRUE(notes.isClosing());
    EXPECT_THAT(takeLogMessages(), ElementsAre("note closed (timeout)"));
    EXPECT_EQ(closed, 0) << "not before it has fallen";
    advance(0.28);
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(notes.panel(), nullptr);
}

TEST_F(NoteControllerTest, APointerRestingOnTheNoteKeepsItUp)
{
    show(4);
    notes.hover(true);
    advance(4);
    advance(1.5);
    advance(1.5);
    EXPECT_FALSE(notes.isClosing());
    notes.hover(false);
    advance(1.49);
    EXPECT_FALSE(notes.isClosing());
    advance(0.01);
    EXPECT_TRUE(notes.isClosing());
}

TEST_F(NoteControllerTest, AClickNearTheNoteClosesItButNotOneFurtherOut)
{
    show(60);
    notes.click(QPointF(26 - 7, 100));   // 7 points left of the note
    notes.click(QPointF(100, 26 + 98 + 7));
    EXPECT_FALSE(notes.isClosing());
    notes.click(QPointF(26 - 5, 100));   // 5 points left of it
    EXPECT_TRUE(notes.isClosing());
    EXPECT_THAT(takeLogMessages(), ElementsAre("note closed (click)"));
    notes.click(QPointF(100, 100));      // during the fall: ignored
    EXPECT_TRUE(takeLogMessages().isEmpty());
}

TEST_F(NoteControllerTest, TheCloseCallbackRunsOncePerNoteWhateverHappens)
{
    show(1);
    advance(1);                          // falling...
    ASSERT_TRUE(notes.isClosing());
    show(8);
    EXPECT_EQ(closed, 1) << "the falling note is finished before the next is shown";
    advance(1);                          // the old fall would have ended by now
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(notes.isClosing());

    notes.finishNow();
    notes.finishNow();
    EXPECT_EQ(closed, 2);
    takeLogMessages();
    advance(20);                         // its timer is void
    EXPECT_TRUE(takeLogMessages().filter(u"timeout"_s).isEmpty());
}

} // namespace
