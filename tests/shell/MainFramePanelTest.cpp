// The control panel inside a shown main frame whose port is a pseudo-terminal the test plays the
// dongle on: what the dongle reports reaches the panel's controls through the frame, and the group
// panel inside the window writes its power table through the frame's own protocol and link. The
// navigation view is kept from acting on what it is told, so that only the panel's part shows.

#include "model/StudioModel.h"
#include "support/ControlInput.h"
#include "support/FrameTestKit.h"
#include "support/NotifyRecorder.h"
#include "support/PlaceUnit.h"
#include "support/PowerGroupControls.h"
#include "support/SettingFrame.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

using namespace orvane::test;
using Bytes = std::vector<std::uint8_t>;

constexpr int kSlot = 2;  // the unit under test: mask 0x0004

class MainFramePanel : public ::testing::Test, protected PowerGroupControls {
protected:
    void SetUp() override {
        ASSERT_TRUE(line.Start());
        CMainFrame& frame = line.Frame();
        navigation.Watch(frame.NavigationPane());
        panel = frame.ControlPane();
        // A unit in Studio A, slot 2, is the unit of the selection, as the tree and the grid make
        // it.
        unit = PlaceNewUnit(frame.Model(), 0, kSlot, {.nFlashValue = 50, .nModelValue = 40});
        ASSERT_NE(unit, nullptr);
        unit->nItemKind = TreeItemTag::UnitLine;
        frame.Model().pSelTag = unit;
        frame.Model().pScanStudio = frame.Model().Studio(0);
        SendWindowMessage(panel, Msg::ShowSelectedUnit);
        FindControls(*panel);
    }

    template <class Widget>
    Widget* Find(const char* name) {
        auto* widget = panel->findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    FrameOnPty line;
    NotifyRecorder navigation;
    QWidget* panel = nullptr;
    StrobeData* unit = nullptr;
};

TEST_F(MainFramePanel, ReportsOfTheUnitReachTheControls) {
    // A photo-cell report for slot 2, through the frame and the event handler.
    ASSERT_TRUE(line.pty.Send({0xFF, 0x07, 0x17, 0x00, 0x04, 0x00, 0x02}));
    EXPECT_TRUE(QTest::qWaitFor([this] { return cell->isChecked(); }, 5000));
    // Flash and lamp power in one report.
    ASSERT_TRUE(line.pty.Send({0xFF, 0x07, 0x13, 0x00, 0x04, 0x30, 0x20}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return flashLabel->text() == u"4.8"; }, 5000));
    EXPECT_EQ(modelLabel->text(), QStringLiteral("3.2"));
    EXPECT_EQ(modelSlider->GetPos(), 32);
    // The unit switched off by its own panel.
    ASSERT_TRUE(line.pty.Send({0xFF, 0x07, 0x1D, 0x00, 0x04, 0x00, 0x00}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !power->isChecked(); }, 5000));
    EXPECT_FALSE(flashSlider->isEnabled());
    // A full status report: the whole unit again.
    ASSERT_TRUE(line.pty.Send(
        {0xFF, 0x0E, 0x01, 0x00, 0x04, 0x01, 0x38, 0x29, 0x00, 0x01, 0x01, 0x01, 0x00, 0x00}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return flashLabel->text() == u"5.6"; }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return modelLabel->text() == u"OFF"; }, 5000));
    for (QAbstractButton* b :
         std::initializer_list<QAbstractButton*>{power, sound, propRadio, continuous, off}) {
        EXPECT_TRUE(b->isChecked()) << b->objectName().toStdString();
    }
    EXPECT_TRUE(flashSlider->isEnabled());
    EXPECT_EQ(unit->nFlashValue, 56);
    line.ExpectNothingWritten();
}

TEST_F(MainFramePanel, TheGroupPanelInsideTheMainWindowSendsItsPowerTable) {
    unit->bSelected = 1;
    line.Frame().Model().arUnits = {unit};
    auto* combo = Find<QComboBox>("modeCombo");
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    auto* spin = Find<QWidget>("selFlashSpin");
    ASSERT_TRUE(spin->isVisible());
    spin->setFocus();
    QTest::keyClick(spin, Qt::Key_Up);
    const Bytes table = line.pty.Receive(23);
    ASSERT_EQ(table.size(), 23u);
    EXPECT_EQ(Bytes(table.begin(), table.begin() + 3), (Bytes{0xFF, 0x17, 0x1E}));
    // One step of 0.1 on the ticked unit in slot 2; its lamp power rides along unchanged.
    EXPECT_EQ(std::abs(table[3 + 2 * kSlot] - 50), 1);
    EXPECT_EQ(table[4 + 2 * kSlot], 40);
    EXPECT_EQ(unit->nFlashValue, table[3 + 2 * kSlot]);
    line.ExpectNothingWritten();
}

TEST_F(MainFramePanel, CtrlZAndTheToolbarTakeAStepBackAndDoItAgainWithItsFrames) {
    CMainFrame& frame = line.Frame();
    QAction* undo = frame.UndoAction();
    QAction* redo = frame.RedoAction();
    auto* toolbar = frame.findChild<QToolBar*>(QStringLiteral("toolbar"));
    QWidget* undoButton = toolbar->widgetForAction(undo);
    ASSERT_NE(undoButton, nullptr);
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_FALSE(redo->isEnabled());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(undoButton)->text(QAccessible::Name),
              QStringLiteral("Undo"));

    // Two key steps within a moment are one step of the history.
    PressKey(flashSpin, Qt::Key_Up);
    PressKey(flashSpin, Qt::Key_Up);
    EXPECT_EQ(line.pty.Receive(7), SettingFrame(3, kSlot, 51, 40));
    EXPECT_EQ(line.pty.Receive(7), SettingFrame(3, kSlot, 52, 40));
    ASSERT_TRUE(undo->isEnabled());
    const QString step = QStringLiteral("Undo Flash Power CH-03 5.0 → 5.2");
    EXPECT_EQ(undoButton->toolTip(), step);
    EXPECT_EQ(undoButton->accessibleDescription(), step);

    QTest::keyClick(&frame, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(line.pty.Receive(7), SettingFrame(3, kSlot, 50, 40));
    EXPECT_EQ(flashLabel->text(), QStringLiteral("5.0"));
    EXPECT_FALSE(undo->isEnabled());
    ASSERT_TRUE(redo->isEnabled());
    EXPECT_EQ(toolbar->widgetForAction(redo)->accessibleDescription(),
              QStringLiteral("Redo Flash Power CH-03 5.0 → 5.2"));

    QTest::mouseClick(toolbar->widgetForAction(redo), Qt::LeftButton);
    EXPECT_EQ(line.pty.Receive(7), SettingFrame(3, kSlot, 52, 40));
    EXPECT_EQ(flashLabel->text(), QStringLiteral("5.2"));
    // Nothing left to redo: the keys send nothing.
    QTest::keyClick(&frame, Qt::Key_Y, Qt::ControlModifier);
    QTest::keyClick(&frame, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    line.ExpectNothingWritten();
    EXPECT_EQ(unit->nFlashValue, 52);
}

}  // namespace
