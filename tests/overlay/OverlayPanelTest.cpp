#include "overlay/OverlayPanel.h"

#include <QGuiApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <xcb/xcb.h>

namespace {

// The session's display, with no compositor: a panel is mapped only once it draws something.
xcb_connection_t* connection() { return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection(); }

// Top-level windows from the bottom of the stack to its top.
QList<xcb_window_t> stack()
{
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection())).data->root;
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(connection(), xcb_query_tree(connection(), root), nullptr);
    const xcb_window_t* children = xcb_query_tree_children(tree);
    QList<xcb_window_t> windows(children, children + xcb_query_tree_children_length(tree));
    free(tree);
    return windows;
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
    const QList<xcb_window_t> order = stack();
    EXPECT_LT(order.indexOf(xcb_window_t(note.winId())), order.indexOf(xcb_window_t(monkey.winId())));
    // Unmanaged: nothing may list it, frame it or keep it to one workspace.
    xcb_get_window_attributes_reply_t* attributes
        = xcb_get_window_attributes_reply(connection(), xcb_get_window_attributes(connection(), xcb_window_t(note.winId())), nullptr);
    EXPECT_TRUE(attributes->override_redirect);
    free(attributes);
}

} // namespace
