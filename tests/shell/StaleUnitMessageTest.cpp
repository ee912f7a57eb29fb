// Messages about a unit wait in the event queue, and a scan may free the unit before they are
// delivered; a new unit may even be made at the freed address. Run under AddressSanitizer, these
// cases show whether anything still follows such a message's pointer.

#include "link/ChangeCode.h"
#include "model/StudioModel.h"
#include "support/FrameTestKit.h"

#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

using namespace orvane::test;
using Pane = PaneMessageLog::Pane;

class StaleUnitMessage : public ::testing::Test {
protected:
    void SetUp() override {
        frame = &f.Make();
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame, 5000));
        log = std::make_unique<PaneMessageLog>(*frame);
        ASSERT_TRUE(log->Settle());
        studioA = frame->Model().Studio(0);
        // Studio A picked in the tree, as the user does before a scan.
        auto* tree = frame->StudioListPane()->findChild<QTreeWidget*>();
        ASSERT_NE(tree, nullptr);
        tree->setCurrentItem(tree->topLevelItem(0));
        ASSERT_EQ(frame->Model().SelectedStudio(), studioA);
        ASSERT_TRUE(log->Settle());
        log->entries.clear();
    }

    StrobeData* Place(int slot) {
        EXPECT_EQ(frame->Model().PlaceUnit(slot, 0, std::make_unique<StrobeData>()), nullptr);
        StrobeData* unit = studioA->Unit(slot);
        unit->nItemKind = TreeItemTag::UnitLine;
        return unit;
    }

    // As the event handler posts what a report did to a unit.
    void PostAbout(Msg message, std::intptr_t wParam, const StrobeData* unit, std::uint64_t stamp) {
        PostWindowMessage(frame, message, wParam, AsLParam(unit), stamp);
    }

    int Heard() const {
        return log->Count(Pane::StudioList, Msg::UnitPlaced) +
               log->Count(Pane::Navigation, Msg::UnitRefreshed) +
               log->Count(Pane::Navigation, Msg::UnitSettingChanged) +
               log->Count(Pane::Control, Msg::SelectedUnitRefreshed) +
               log->Count(Pane::Control, Msg::SelectedUnitSettingChanged);
    }

    FrameInFolder f;
    CMainFrame* frame = nullptr;
    std::unique_ptr<PaneMessageLog> log;
    StudioData* studioA = nullptr;
};

}  // namespace

TEST_F(StaleUnitMessage, AScanThatFreesTheUnitsDropsEveryMessageStillQueuedForThem) {
    StrobeData* placed = Place(0);
    StrobeData* refreshed = Place(1);
    frame->Model().pSelTag = refreshed;
    PostAbout(Msg::UnitCreated, 0, placed, placed->nSerial);
    PostAbout(Msg::UnitStatusRefreshed, 1, refreshed, refreshed->nSerial);
    PostAbout(Msg::UnitSettingReported, static_cast<int>(ChangeCode::Heat), refreshed,
              refreshed->nSerial);

    frame->Model().ClearStudio(*studioA);
    ASSERT_TRUE(log->Settle());
    EXPECT_EQ(Heard(), 0) << "the frame passed on a message about a freed unit";
}

TEST_F(StaleUnitMessage, ANewUnitAtTheFreedAddressIsNotTakenForTheOldOne) {
    StrobeData* old = Place(3);
    const std::uint64_t oldStamp = old->nSerial;
    frame->Model().ClearStudio(*studioA);
    StrobeData* fresh = Place(3);
    ASSERT_NE(fresh->nSerial, oldStamp);
    // The allocator may or may not hand the same address out again; the message below names the
    // new unit's address with the old unit's stamp, which is what it looks like when it does.
    PostAbout(Msg::UnitStatusRefreshed, 3, fresh, oldStamp);
    ASSERT_TRUE(log->Settle());
    EXPECT_EQ(Heard(), 0) << "the frame took the new unit for the old one";
    // The second hop, queued for a pane by the frame before the scan: the pane drops it too, so
    // the studio tree gives the new unit no line on the old unit's behalf.
    PostWindowMessage(frame->StudioListPane(), Msg::UnitPlaced, 3, AsLParam(fresh), oldStamp);
    ASSERT_TRUE(log->Settle());
    EXPECT_EQ(fresh->hTreeItem, nullptr);

    // The same messages with the new unit's own stamp go through.
    PostAbout(Msg::UnitStatusRefreshed, 3, fresh, fresh->nSerial);
    PostWindowMessage(frame->StudioListPane(), Msg::UnitPlaced, 3, AsLParam(fresh), fresh->nSerial);
    ASSERT_TRUE(log->Settle());
    EXPECT_EQ(log->Count(Pane::Navigation, Msg::UnitRefreshed), 1);
    EXPECT_NE(fresh->hTreeItem, nullptr);
}

TEST_F(StaleUnitMessage, MessagesAboutLiveUnitsKeepTheirRoutes) {
    StrobeData* unit = Place(5);
    frame->Model().pSelTag = unit;
    PostAbout(Msg::UnitStatusRefreshed, 5, unit, unit->nSerial);
    PostAbout(Msg::UnitSettingReported, static_cast<int>(ChangeCode::Heat), unit, unit->nSerial);
    ASSERT_TRUE(log->Settle());
    EXPECT_EQ(log->Count(Pane::Navigation, Msg::UnitRefreshed), 1);
    EXPECT_EQ(log->Count(Pane::Control, Msg::SelectedUnitRefreshed), 1);
    EXPECT_EQ(log->Count(Pane::Navigation, Msg::UnitSettingChanged), 1);
    EXPECT_EQ(log->Count(Pane::Control, Msg::SelectedUnitSettingChanged), 1);
}
