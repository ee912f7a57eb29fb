// The main window as the user finds it when the program starts: its size, its toolbar, its status
// line, the three panes, and the port it will try.

#include "panels/ControlFormView.h"
#include "support/FrameTestKit.h"
#include "support/PortSettingsText.h"
#include "views/NavigationFormView.h"
#include "views/StudioListFormView.h"

#include <QAction>
#include <QLabel>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

namespace {

using namespace orvane::test;

QLabel* ConnectionLabel(CMainFrame& frame) {
    return frame.statusBar()->findChild<QLabel*>(QStringLiteral("connectionText"));
}

bool ShowAndWait(CMainFrame& frame) {
    frame.show();
    return QTest::qWaitForWindowExposed(&frame, 5000);
}

// The left edge of a pane and its width, in the frame's coordinates.
struct Column {
    int left;
    int width;
};
Column ColumnOf(CMainFrame& frame, QWidget* pane) {
    return {pane->mapTo(&frame, QPoint(0, 0)).x(), pane->width()};
}

TEST(MainFrameStart, OpensAsOrvaneAt800By500AndNeverSmaller) {
    FrameInFolder f;
    CMainFrame& frame = f.Make();
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Orvane"));
    EXPECT_EQ(frame.size(), QSize(800, 500));
    EXPECT_EQ(frame.minimumSize(), QSize(800, 500));

    ASSERT_TRUE(ShowAndWait(frame));
    EXPECT_EQ(frame.size(), QSize(800, 500));
    frame.resize(700, 400);
    EXPECT_EQ(frame.size(), QSize(800, 500));
    frame.resize(801, 500);
    EXPECT_EQ(frame.size(), QSize(801, 500));
    frame.resize(1000, 700);
    EXPECT_EQ(frame.size(), QSize(1000, 700));
}

TEST(MainFrameStart, ToolbarOffersScanNameAndComButNotLoadOrSaveYet) {
    FrameInFolder f;
    CMainFrame& frame = f.Make();
    auto* toolbar = frame.findChild<QToolBar*>();
    ASSERT_NE(toolbar, nullptr);

    struct Expected {
        CMainFrame::Command command;
        const char* name;
        bool enabled;
    };
    const Expected expected[] = {
        {CMainFrame::Load, "Load", false}, {CMainFrame::Save, "Save", false},
        {CMainFrame::Scan, "Scan", true},  {CMainFrame::Name, "Name", true},
        {CMainFrame::Com, "Com", true},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.name);
        QAction* action = frame.CommandAction(e.command);
        ASSERT_NE(action, nullptr);
        // As the frame is built, before any pane has had a say.
        EXPECT_EQ(action->isEnabled(), e.enabled);
        EXPECT_EQ(frame.IsCommandEnabled(e.command), e.enabled);
        EXPECT_EQ(action->toolTip(), QString::fromLatin1(e.name));
        EXPECT_FALSE(action->icon().isNull());
    }
    ASSERT_TRUE(ShowAndWait(frame));
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.name);
        // The user sees the button, not the action: it must be on the toolbar and agree with it.
        QAction* action = frame.CommandAction(e.command);
        QWidget* button = toolbar->widgetForAction(action);
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->isVisible());
        EXPECT_EQ(button->isEnabled(), action->isEnabled());
        EXPECT_EQ(button->toolTip(), QString::fromLatin1(e.name));
    }
}

TEST(MainFrameStart, StatusLineSaysDisconnectedBeforeThePortIsOpen) {
    FrameInFolder f;
    CMainFrame& frame = f.Make();
    QLabel* label = ConnectionLabel(frame);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("Zigbee disconnected"));
    EXPECT_EQ(frame.ConnectionText(), QStringLiteral("Zigbee disconnected"));
    EXPECT_FALSE(frame.IsConnected());
    ASSERT_TRUE(ShowAndWait(frame));
    EXPECT_TRUE(label->isVisible());
}

TEST(MainFrameStart, PanesSitLeftToRightAsStudioListControlAndNavigation) {
    FrameInFolder f;
    CMainFrame& frame = f.Make();
    ASSERT_TRUE(ShowAndWait(frame));
    QWidget* studioList = frame.StudioListPane();
    QWidget* control = frame.ControlPane();
    QWidget* navigation = frame.NavigationPane();
    ASSERT_NE(qobject_cast<CStudioListFormView*>(studioList), nullptr);
    ASSERT_NE(qobject_cast<CControlFormView*>(control), nullptr);
    ASSERT_NE(qobject_cast<CNavigationFormView*>(navigation), nullptr);

    const Column list = ColumnOf(frame, studioList);
    const Column middle = ColumnOf(frame, control);
    const Column right = ColumnOf(frame, navigation);
    EXPECT_LT(list.left + list.width, middle.left + 1);
    EXPECT_LT(middle.left + middle.width, right.left + 1);
    // The split bars take a few pixels of the 800, so the ideal widths are met only roughly.
    EXPECT_NEAR(list.width, 200, 10);
    EXPECT_NEAR(middle.width, 325, 10);
    EXPECT_NEAR(right.width, 275, 10);
}

TEST(MainFrameStart, NoPaneCanBeSqueezedBelowAHundredPixels) {
    FrameInFolder f;
    CMainFrame& frame = f.Make();
    ASSERT_TRUE(ShowAndWait(frame));
    // Each splitter is asked to give its first pane nothing, then its second.
    for (QWidget* pane : {frame.StudioListPane(), frame.NavigationPane()}) {
        auto* splitter = qobject_cast<QSplitter*>(pane->parentWidget());
        ASSERT_NE(splitter, nullptr);
        const int total = splitter->sizes().value(0) + splitter->sizes().value(1);
        splitter->setSizes({0, total});
        EXPECT_GE(splitter->widget(0)->width(), 100);
        splitter->setSizes({total, 0});
        EXPECT_GE(splitter->widget(1)->width(), 100);
    }
    EXPECT_GE(frame.StudioListPane()->width(), 100);
    EXPECT_GE(frame.ControlPane()->width(), 100);
    EXPECT_GE(frame.NavigationPane()->width(), 100);
}

TEST(MainFrameStart, PortDefaultsToCom2At9600EightNoneOneWithoutOptionFile) {
    FrameInFolder f;
    const CMainFrame& frame = f.Make();
    EXPECT_EQ(SettingsLine(frame.Settings()), "COM2 9600 8 0 0");
    // Starting does not create the file: only a confirmed port choice does.
    EXPECT_FALSE(ReadOptionFile(f.Folder()).has_value());
}

TEST(MainFrameStart, PortNameAndBaudComeFromTheOptionFileOfTheWorkingFolder) {
    FrameInFolder f;
    ASSERT_TRUE(WriteOptionFile(f.Folder(), QStringLiteral("ttyUSB3"), 19200));
    const CMainFrame& frame = f.Make();
    EXPECT_EQ(SettingsLine(frame.Settings()), "ttyUSB3 19200 8 0 0");
}

}  // namespace
