// The frame as switchboard: which pane hears of what, and whether before the sender's call
// returns (sent) or once the event loop gets round to it (posted). The panes talk to each other
// only through the frame, so a message sent to the wrong pane, or posted where the sender relies
// on it being handled already, leaves a view showing stale records.

#include "link/ChangeCode.h"
#include "model/StudioModel.h"
#include "platform/AlertEvent.h"
#include "support/FrameTestKit.h"

#include <QAction>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

#include <array>

namespace {

using namespace orvane::test;
using Pane = PaneMessageLog::Pane;
using Entry = PaneMessageLog::Entry;

class MainFrameRouting : public ::testing::Test {
protected:
    void SetUp() override {
        frame = &f.Make();
        log = std::make_unique<PaneMessageLog>(*frame);
        StudioModel& model = frame->Model();
        studioA = model.Studio(0);
        ASSERT_EQ(model.PlaceUnit(2, 0, std::make_unique<StrobeData>()), nullptr);
        ASSERT_EQ(model.PlaceUnit(4, 0, std::make_unique<StrobeData>()), nullptr);
        unit2 = studioA->Unit(2);
        unit4 = studioA->Unit(4);
        studioA->nItemKind = TreeItemTag::StudioLine;
        unit2->nItemKind = TreeItemTag::UnitLine;
        unit4->nItemKind = TreeItemTag::UnitLine;
        unit2->lightNameTag.nItemKind = TreeItemTag::LightNameLine;
        unit4->lightNameTag.nItemKind = TreeItemTag::LightNameLine;
    }

    void Select(TreeItemTag* tag) { frame->Model().pSelTag = tag; }

    // Shows the window and lets the panes finish what showing sets off among them.
    bool ShowAndSettle() {
        frame->show();
        const bool shown = QTest::qWaitForWindowExposed(frame, 5000) && log->Settle();
        log->entries.clear();
        return shown;
    }

    std::array<bool, CMainFrame::kCommandCount> CommandStates() const {
        std::array<bool, CMainFrame::kCommandCount> states{};
        for (int i = 0; i < CMainFrame::kCommandCount; ++i) {
            const auto command = static_cast<CMainFrame::Command>(i);
            states[i] = frame->CommandAction(command)->isEnabled();
            // What the frame believes and what the toolbar shows must never part.
            EXPECT_EQ(frame->IsCommandEnabled(command), states[i]) << "command " << i;
        }
        return states;
    }

    void EnableCommand(int index, int value) {
        SendWindowMessage(frame, Msg::EnableCommand, index, value);
    }

    // A click on the command's toolbar button, as the user makes it, during a logged call.
    void ClickButton(CMainFrame::Command command) {
        auto* toolbar = frame->findChild<QToolBar*>();
        ASSERT_NE(toolbar, nullptr);
        log->During([&] {
            QTest::mouseClick(toolbar->widgetForAction(frame->CommandAction(command)),
                              Qt::LeftButton);
        });
    }

    FrameInFolder f;
    CMainFrame* frame = nullptr;
    std::unique_ptr<PaneMessageLog> log;
    StudioData* studioA = nullptr;
    StrobeData* unit2 = nullptr;
    StrobeData* unit4 = nullptr;
};

bool SameMessage(const Entry& e, Pane pane, Msg message, std::intptr_t w, std::intptr_t l) {
    return e.pane == pane && e.message == message && e.wParam == w && e.lParam == l;
}

TEST_F(MainFrameRouting, EnableCommandSwitchesLoadAndSaveOnAndOff) {
    EnableCommand(CMainFrame::Load, 1);
    EXPECT_TRUE(frame->CommandAction(CMainFrame::Load)->isEnabled());
    EXPECT_FALSE(frame->CommandAction(CMainFrame::Save)->isEnabled());

    EnableCommand(CMainFrame::Save, 1);
    EXPECT_TRUE(frame->CommandAction(CMainFrame::Save)->isEnabled());

    EnableCommand(CMainFrame::Load, 0);
    EXPECT_FALSE(frame->CommandAction(CMainFrame::Load)->isEnabled());
    EXPECT_TRUE(frame->CommandAction(CMainFrame::Save)->isEnabled());

    EnableCommand(CMainFrame::Save, 0);
    EXPECT_FALSE(frame->CommandAction(CMainFrame::Save)->isEnabled());
    // The commands that start enabled are not touched by switching the others.
    EXPECT_EQ(CommandStates(), (std::array<bool, 5>{false, false, true, true, true}));
}

TEST_F(MainFrameRouting, EnableCommandOutsideTheFiveCommandsChangesNothing) {
    EnableCommand(CMainFrame::Save, 1);
    const auto before = CommandStates();
    for (int index : {5, -1, 6, 100}) {
        for (int value : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "index " << index << " value " << value);
            EnableCommand(index, value);
            EXPECT_EQ(CommandStates(), before);
        }
    }
    EXPECT_TRUE(log->Settle());
    EXPECT_TRUE(log->Routed().empty());
}

TEST_F(MainFrameRouting, LoadAndSaveButtonsReachTheControlPanelBeforeTheClickReturns) {
    ASSERT_TRUE(ShowAndSettle());
    EnableCommand(CMainFrame::Load, 1);
    EnableCommand(CMainFrame::Save, 1);
    ASSERT_NO_FATAL_FAILURE(ClickButton(CMainFrame::Load));
    ASSERT_NO_FATAL_FAILURE(ClickButton(CMainFrame::Save));
    ASSERT_TRUE(log->Settle());
    ASSERT_EQ(log->Routed().size(), 2u) << testing::PrintToString(log->entries);
    EXPECT_TRUE(SameMessage(log->Routed()[0], Pane::Control, Msg::LoadCommand, 0, 0));
    EXPECT_TRUE(SameMessage(log->Routed()[1], Pane::Control, Msg::SaveCommand, 0, 0));
    EXPECT_TRUE(log->Routed()[0].duringCall);
    EXPECT_TRUE(log->Routed()[1].duringCall);
}

TEST_F(MainFrameRouting, NameButtonAsksTheStudioListToApplyTheNameBeforeTheClickReturns) {
    ASSERT_TRUE(ShowAndSettle());
    // As an edited name does, whatever the list made of the selection meanwhile.
    EnableCommand(CMainFrame::Name, 1);
    ASSERT_NO_FATAL_FAILURE(ClickButton(CMainFrame::Name));
    ASSERT_TRUE(log->Settle());
    ASSERT_EQ(log->Routed().size(), 1u) << testing::PrintToString(log->entries);
    EXPECT_TRUE(SameMessage(log->Routed()[0], Pane::StudioList, Msg::ApplyName, 0, 0));
    EXPECT_TRUE(log->Routed()[0].duringCall);
}

TEST_F(MainFrameRouting, NewUnitIsPlacedInTheStudioListAndNowhereElse) {
    PostWindowMessage(frame, Msg::UnitCreated, 4, AsLParam(unit4));
    ASSERT_TRUE(log->WaitFor(Pane::StudioList, Msg::UnitPlaced));
    ASSERT_TRUE(log->Settle());
    ASSERT_EQ(log->Routed().size(), 1u) << testing::PrintToString(log->entries);
    EXPECT_TRUE(
        SameMessage(log->Routed()[0], Pane::StudioList, Msg::UnitPlaced, 4, AsLParam(unit4)));

    // Even when the frame is told at once, the list hears of the unit only once the loop runs.
    log->entries.clear();
    log->During([&] { SendWindowMessage(frame, Msg::UnitCreated, 2, AsLParam(unit2)); });
    EXPECT_TRUE(log->Routed().empty());
    ASSERT_TRUE(log->Settle());
    ASSERT_EQ(log->Routed().size(), 1u) << testing::PrintToString(log->entries);
    EXPECT_TRUE(
        SameMessage(log->Routed()[0], Pane::StudioList, Msg::UnitPlaced, 2, AsLParam(unit2)));
    EXPECT_FALSE(log->Routed()[0].duringCall);
}

TEST_F(MainFrameRouting, RefreshOfAUnitOutsideTheSelectionGoesToTheNavigationViewOnly) {
    struct Case {
        const char* name;
        TreeItemTag* selection;
    };
    const Case cases[] = {
        {"nothing selected", nullptr},
        {"its studio selected", studioA},
        {"another unit selected", unit2},
        {"another unit's light name selected", &unit2->lightNameTag},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log->entries.clear();
        Select(c.selection);
        log->During(
            [&] { PostWindowMessage(frame, Msg::UnitStatusRefreshed, 4, AsLParam(unit4)); });
        ASSERT_TRUE(log->Settle());
        ASSERT_EQ(log->Routed().size(), 1u) << testing::PrintToString(log->entries);
        EXPECT_TRUE(SameMessage(log->Routed()[0], Pane::Navigation, Msg::UnitRefreshed, 4,
                                AsLParam(unit4)));
        EXPECT_FALSE(log->Routed()[0].duringCall);
    }
}

TEST_F(MainFrameRouting, RefreshOfTheSelectedUnitAlsoReachesTheControlPanel) {
    for (TreeItemTag* selection : {static_cast<TreeItemTag*>(unit4), &unit4->lightNameTag}) {
        SCOPED_TRACE(selection == unit4 ? "unit line selected" : "light name selected");
        log->entries.clear();
        Select(selection);
        log->During(
            [&] { PostWindowMessage(frame, Msg::UnitStatusRefreshed, 4, AsLParam(unit4)); });
        ASSERT_TRUE(log->Settle());
        ASSERT_EQ(log->Of(Pane::Navigation).size(), 1u);
        ASSERT_EQ(log->Of(Pane::Control).size(), 1u);
        EXPECT_TRUE(log->Of(Pane::StudioList).empty());
        const Entry navigation = log->Of(Pane::Navigation)[0];
        const Entry control = log->Of(Pane::Control)[0];
        EXPECT_TRUE(
            SameMessage(navigation, Pane::Navigation, Msg::UnitRefreshed, 4, AsLParam(unit4)));
        EXPECT_TRUE(
            SameMessage(control, Pane::Control, Msg::SelectedUnitRefreshed, 4, AsLParam(unit4)));
        EXPECT_FALSE(navigation.duringCall);
        EXPECT_FALSE(control.duringCall);
    }

    // Told at once, the frame still passes the refresh on by posting: the views redraw later.
    log->entries.clear();
    log->During([&] { SendWindowMessage(frame, Msg::UnitStatusRefreshed, 4, AsLParam(unit4)); });
    EXPECT_TRUE(log->Routed().empty()) << testing::PrintToString(log->entries);
    ASSERT_TRUE(log->Settle());
    EXPECT_EQ(log->Count(Pane::Navigation, Msg::UnitRefreshed), 1);
    EXPECT_EQ(log->Count(Pane::Control, Msg::SelectedUnitRefreshed), 1);
}

TEST_F(MainFrameRouting, SettingReportOfTheSelectedUnitReachesBothViewsBeforeTheSendReturns) {
    const auto code = static_cast<std::intptr_t>(ChangeCode::PhotoCell);
    for (TreeItemTag* selection : {static_cast<TreeItemTag*>(unit2), &unit2->lightNameTag}) {
        SCOPED_TRACE(selection == unit2 ? "unit line selected" : "light name selected");
        log->entries.clear();
        Select(selection);
        log->During(
            [&] { SendWindowMessage(frame, Msg::UnitSettingReported, code, AsLParam(unit2)); });
        ASSERT_EQ(log->Routed().size(), 2u) << testing::PrintToString(log->entries);
        EXPECT_TRUE(SameMessage(log->Routed()[0], Pane::Navigation, Msg::UnitSettingChanged, code,
                                AsLParam(unit2)));
        EXPECT_TRUE(SameMessage(log->Routed()[1], Pane::Control, Msg::SelectedUnitSettingChanged,
                                code, AsLParam(unit2)));
        EXPECT_TRUE(log->Routed()[0].duringCall);
        EXPECT_TRUE(log->Routed()[1].duringCall);
        ASSERT_TRUE(log->Settle());
        EXPECT_EQ(log->Routed().size(), 2u) << testing::PrintToString(log->entries);
    }
}

TEST_F(MainFrameRouting, SettingReportOfAnotherUnitReachesTheNavigationViewOnly) {
    const auto code = static_cast<std::intptr_t>(ChangeCode::FlashPower);
    for (TreeItemTag* selection : {static_cast<TreeItemTag*>(nullptr),
                                   static_cast<TreeItemTag*>(studioA), &unit2->lightNameTag}) {
        log->entries.clear();
        Select(selection);
        log->During(
            [&] { SendWindowMessage(frame, Msg::UnitSettingReported, code, AsLParam(unit4)); });
        ASSERT_TRUE(log->Settle());
        ASSERT_EQ(log->Routed().size(), 1u) << testing::PrintToString(log->entries);
        EXPECT_TRUE(SameMessage(log->Routed()[0], Pane::Navigation, Msg::UnitSettingChanged, code,
                                AsLParam(unit4)));
        EXPECT_TRUE(log->Routed()[0].duringCall);
    }
}

TEST_F(MainFrameRouting, PostedHeatReportIsPassedOnOnceTheLoopRuns) {
    const auto heat = static_cast<std::intptr_t>(ChangeCode::Heat);
    Select(unit4);
    log->During([&] { PostWindowMessage(frame, Msg::UnitSettingReported, heat, AsLParam(unit4)); });
    EXPECT_TRUE(log->Routed().empty());
    ASSERT_TRUE(log->Settle());
    ASSERT_EQ(log->Routed().size(), 2u) << testing::PrintToString(log->entries);
    EXPECT_TRUE(SameMessage(log->Routed()[0], Pane::Navigation, Msg::UnitSettingChanged, heat,
                            AsLParam(unit4)));
    EXPECT_TRUE(SameMessage(log->Routed()[1], Pane::Control, Msg::SelectedUnitSettingChanged, heat,
                            AsLParam(unit4)));

    log->entries.clear();
    PostWindowMessage(frame, Msg::UnitSettingReported, heat, AsLParam(unit2));
    ASSERT_TRUE(log->Settle());
    ASSERT_EQ(log->Routed().size(), 1u) << testing::PrintToString(log->entries);
    EXPECT_TRUE(SameMessage(log->Routed()[0], Pane::Navigation, Msg::UnitSettingChanged, heat,
                            AsLParam(unit2)));
}

TEST_F(MainFrameRouting, AlertFromTheReaderThreadIsShownAsAMessageBox) {
    PostAlert(frame, QStringLiteral("CCommThread"), QStringLiteral("Buffer full"));
    EXPECT_TRUE(f.messages.texts.isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f.messages.texts.isEmpty(); }, 5000));
    ASSERT_TRUE(log->Settle());
    EXPECT_EQ(f.messages.texts, QStringList{QStringLiteral("Buffer full")});
    EXPECT_EQ(f.messages.captions, QStringList{QStringLiteral("CCommThread")});
    EXPECT_EQ(f.messages.lastButtons, CMessageBoxService::Buttons::Ok);
    EXPECT_TRUE(log->Routed().empty());
}

}  // namespace
