// A unit out of the radio's reach, as the simulated dongle plays it: what the window shows and a
// screen reader hears while the unit has not confirmed a change, and once it has.

#include "model/StudioModel.h"
#include "panels/UserStatic.h"
#include "support/ControlInput.h"
#include "support/FrameTestKit.h"
#include "support/OptionXml.h"
#include "toolkit/CoolSliderCtrl.h"
#include "views/NavigationGrid.h"

#include <QAccessible>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

using namespace orvane::test;

QString DescriptionOf(QAccessibleInterface* reader) {
    return reader ? reader->text(QAccessible::Description) : QStringLiteral("(no interface)");
}

class ConfirmationShown : public ::testing::Test {
protected:
    void SetUp() override {
        dongle = std::make_unique<Dongle>(
            std::vector<std::string>{"--unit", "A:0:50,40", "--unit", "A:5:60,30"});
        ASSERT_TRUE(dongle->Start());
        ASSERT_TRUE(WriteOptionFile(f.Folder(), dongle->LinkPath(), 9600));
        frame = &f.Make();
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame, 5000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return frame->IsConnected(); }, 5000));

        // Studio A picked in the tree and scanned, as the user does.
        auto* tree = frame->StudioListPane()->findChild<QTreeWidget*>();
        ASSERT_NE(tree, nullptr);
        tree->setCurrentItem(tree->topLevelItem(0));
        frame->OnScan();
        StudioData* studioA = frame->Model().Studio(0);
        // The dialog's dots are short here; the answers come in their own time.
        ASSERT_TRUE(QTest::qWaitFor([&] { return studioA->Unit(0) && studioA->Unit(5); }, 5000))
            << "the scan did not find both units";
        grid = frame->NavigationPane()->findChild<CNavigationGrid*>();
        flashLabel = frame->ControlPane()->findChild<CUserStatic*>(QStringLiteral("flashValue"));
        flashSlider =
            frame->ControlPane()->findChild<COXCoolSliderCtrl*>(QStringLiteral("flashSlider"));
        ASSERT_TRUE(grid && flashLabel && flashSlider);
        // The first unit made current, as a click on its block does.
        frame->Model().pSelTag = studioA->Unit(0);
        SendWindowMessage(frame->ControlPane(), Msg::ShowSelectedUnit);
        ASSERT_EQ(flashLabel->text(), QStringLiteral("5.0"));
    }

    // What a screen reader hears of the first unit's name row.
    QString NameRowDescription() const {
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid);
        QAccessibleTableInterface* cells = table ? table->tableInterface() : nullptr;
        return DescriptionOf(cells ? cells->cellAt(1, 0) : nullptr);
    }
    QString LabelDescription() const {
        return DescriptionOf(QAccessible::queryAccessibleInterface(flashLabel));
    }

    FrameInFolder f{100};
    std::unique_ptr<Dongle> dongle;
    CMainFrame* frame = nullptr;
    CNavigationGrid* grid = nullptr;
    CUserStatic* flashLabel = nullptr;
    COXCoolSliderCtrl* flashSlider = nullptr;
};

}  // namespace

TEST_F(ConfirmationShown, AMutedUnitIsMarkedUntilItConfirmsAChange) {
    ASSERT_TRUE(dongle->Command("mute A 0"));
    PressKey(flashSlider, Qt::Key_Right);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dongle->Logged("in FF 07 13 00 01 33 28"); }, 5000))
        << "the change did not reach the dongle";
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return NameRowDescription().contains("not confirmed"); }, 5000))
        << NameRowDescription().toStdString();
    EXPECT_TRUE(LabelDescription().contains(QStringLiteral("not confirmed")))
        << LabelDescription().toStdString();
    EXPECT_FALSE(flashLabel->toolTip().isEmpty());
    EXPECT_TRUE(flashLabel->MarkColor().isValid());

    // Back in reach, the next change is answered: the marks go.
    ASSERT_TRUE(dongle->Command("unmute A 0"));
    PressKey(flashSlider, Qt::Key_Right);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !LabelDescription().contains("not confirmed"); }, 5000));
    EXPECT_FALSE(NameRowDescription().contains(QStringLiteral("not confirmed")));
    EXPECT_FALSE(flashLabel->MarkColor().isValid());
}

TEST_F(ConfirmationShown, TheValueReadOutsTellTheirValueAndEachChange) {
    QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(flashLabel);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->text(QAccessible::Name), QStringLiteral("Flash Power value"));
    EXPECT_EQ(reader->text(QAccessible::Value), QStringLiteral("5.0"));
    ASSERT_NE(reader->textInterface(), nullptr);
    EXPECT_EQ(reader->textInterface()->text(0, reader->textInterface()->characterCount()),
              QStringLiteral("5.0"));

    // A change is read as the new value at once. (The change event itself reaches only a running
    // accessibility bridge, which the offscreen platform of the suite does not have.)
    PressKey(flashSlider, Qt::Key_Right);
    EXPECT_EQ(reader->text(QAccessible::Value), QStringLiteral("5.1"));
    EXPECT_EQ(reader->textInterface()->text(0, 3), QStringLiteral("5.1"));
}
