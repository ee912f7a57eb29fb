// Whether units took what was sent: frames go out through the real protocol, reports come back
// through its decoder into the tracker and on to the program's own event handler, which puts them
// into the records; time moves by hand.

#include "link/ConfirmationTracker.h"
#include "link/ReceiveFramer.h"
#include "link/ReceiveQueue.h"
#include "link/StrobeEventHandler.h"
#include "link/ZbProtocol.h"
#include "model/StudioModel.h"
#include "support/NotifyRecorder.h"
#include "support/PlaceUnit.h"
#include "support/RecordingLinkWriter.h"

#include <QTest>

#include <gtest/gtest.h>

#include <chrono>

#include <map>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

class ConfirmationTrackerTest : public ::testing::Test {
protected:
    void SetUp() override {
        studio = model.Studio(0);
        studio->nItemKind = TreeItemTag::StudioLine;
        model.pSelTag = studio;
        model.pScanStudio = studio;
        tracker.SetOnChanged([this](StrobeData& unit) { ++told[&unit]; });
        protocol.SetSendObserver(&tracker);
        StrobeSettings settings;
        settings.nFlashValue = 50;
        settings.nModelValue = 40;
        for (int slot : {0, 1, 6}) {
            ASSERT_NE(PlaceNewUnit(model, 0, slot, settings), nullptr);
        }
    }

    StrobeData& Unit(int slot) { return *studio->Unit(slot); }

    // Bytes arriving from the dongle, cut into frames and decoded as the program does.
    void Receive(const Bytes& bytes) {
        ReceiveQueue queue;
        ASSERT_TRUE(queue.Push(bytes));
        framer.Run(queue);
    }

    void Wait(std::int64_t ms) {
        now += ms;
        tracker.Tick();
    }

    Confirmation State(int slot) { return tracker.StateOf(Unit(slot)); }

    std::int64_t now = 0;
    StudioModel model;
    StudioData* studio = nullptr;
    NotifyRecorder frame;
    CStrobeEventHandler handler{&frame, &model};
    CConfirmationTracker tracker{handler, model, [this] { return now; }};
    RecordingLinkWriter line;
    CZbProtocol protocol{&tracker, &line};
    CReceiveFramer framer{protocol};
    std::map<StrobeData*, int> told;
};

}  // namespace

TEST_F(ConfirmationTrackerTest, AQuickAnswerIsNeverShownAsWaiting) {
    Unit(1).nFlashValue = 60;
    protocol.SendSetting(0, &Unit(1), SettingType::FlashPower);
    Wait(100);
    EXPECT_EQ(State(1), Confirmation::Confirmed);
    // The unit reports the power it took: flash 60, lamp 40.
    Receive({0xFF, 0x07, 0x13, 0x00, 0x02, 60, 40});
    Wait(2000);
    EXPECT_EQ(State(1), Confirmation::Confirmed);
    EXPECT_TRUE(told.empty()) << "a quick answer changed what is shown";
    EXPECT_EQ(frame.Count(Msg::UnitSettingReported), 1) << "the report did not reach the handler";
}

TEST_F(ConfirmationTrackerTest, WithoutAnAnswerTheUnitWaitsThenIsNotConfirmedUntilItReports) {
    Unit(0).bFlashCell = 1;
    protocol.SendSetting(0, &Unit(0), SettingType::PhotoCell);
    Wait(CConfirmationTracker::kWaitingShownMs - 1);
    EXPECT_EQ(State(0), Confirmation::Confirmed);
    Wait(1);
    EXPECT_EQ(State(0), Confirmation::Waiting);
    EXPECT_EQ(tracker.StateOf(Unit(0), ConfirmationGroup::Flash), Confirmation::Waiting);
    EXPECT_EQ(tracker.StateOf(Unit(0), ConfirmationGroup::Model), Confirmation::Confirmed);
    Wait(CConfirmationTracker::kConfirmTimeoutMs);
    EXPECT_EQ(State(0), Confirmation::NotConfirmed);
    EXPECT_EQ(State(1), Confirmation::Confirmed) << "a unit that was sent nothing";
    EXPECT_EQ(told[&Unit(0)], 2);

    // A late answer still confirms.
    Wait(5000);
    Receive({0xFF, 0x07, 0x17, 0x00, 0x01, 0x00, 0x01});
    EXPECT_EQ(State(0), Confirmation::Confirmed);
    EXPECT_EQ(told[&Unit(0)], 3);
}

TEST_F(ConfirmationTrackerTest, OnlyTheLatestValueSentCounts) {
    Unit(6).nModelValue = 45;
    protocol.SendSetting(0, &Unit(6), SettingType::ModelPower);
    Unit(6).nModelValue = 46;
    protocol.SendSetting(0, &Unit(6), SettingType::ModelPower);
    // The answer to the first frame: the handler stores 45, which is not what was sent last.
    Receive({0xFF, 0x07, 0x14, 0x02, 0x00, 50, 45});
    Wait(CConfirmationTracker::kConfirmTimeoutMs);
    EXPECT_EQ(State(6), Confirmation::NotConfirmed);
    EXPECT_EQ(tracker.StateOf(Unit(6), ConfirmationGroup::Model), Confirmation::NotConfirmed);
    EXPECT_EQ(tracker.StateOf(Unit(6), ConfirmationGroup::Flash), Confirmation::Confirmed);
    // A status report carrying the value confirms it as well.
    Receive({0xFF, 0x0E, 0x01, 0x02, 0x00, 1, 50, 46, 0, 0, 0, 0, 1, 0});
    EXPECT_EQ(State(6), Confirmation::Confirmed);
}

TEST_F(ConfirmationTrackerTest, AValueReplacedWhileItWaitedForTheLineIsNeverWaitedFor) {
    line.busy = std::chrono::milliseconds(30);
    Unit(1).nFlashValue = 60;
    protocol.SendSetting(0, &Unit(1), SettingType::FlashPower);
    Unit(1).nFlashValue = 61;
    protocol.SendSetting(0, &Unit(1), SettingType::FlashPower);
    // Nothing went out yet, so nothing is waited for.
    Wait(CConfirmationTracker::kConfirmTimeoutMs);
    EXPECT_EQ(State(1), Confirmation::Confirmed);

    line.busy = {};
    ASSERT_TRUE(QTest::qWaitFor([&] { return line.writes.size() == 1; }, 5000));
    EXPECT_EQ(line.writes.front(), (Bytes{0xFF, 0x07, 0x13, 0x00, 0x02, 61, 40}));
    // An answer to the value that never went out confirms nothing; the one that went out does.
    Receive({0xFF, 0x07, 0x13, 0x00, 0x02, 60, 40});
    Wait(CConfirmationTracker::kConfirmTimeoutMs);
    EXPECT_EQ(State(1), Confirmation::NotConfirmed);
    Receive({0xFF, 0x07, 0x13, 0x00, 0x02, 61, 40});
    EXPECT_EQ(State(1), Confirmation::Confirmed);
}

TEST_F(ConfirmationTrackerTest, AFrameThatWaitedIsWaitedForWithTheValuesItWasBuiltWith) {
    // A flash power frame waits behind a busy line while the record moves on (a drag that sends
    // only on release); the frame still carries 62, and 62 is what its answer must show.
    line.busy = std::chrono::milliseconds(30);
    Unit(0).nFlashValue = 62;
    protocol.SendSetting(0, &Unit(0), SettingType::FlashPower);
    Unit(0).nFlashValue = 63;
    line.busy = {};
    ASSERT_TRUE(QTest::qWaitFor([&] { return line.writes.size() == 1; }, 5000));
    Receive({0xFF, 0x07, 0x13, 0x00, 0x01, 62, 40});
    Wait(CConfirmationTracker::kConfirmTimeoutMs);
    EXPECT_EQ(State(0), Confirmation::Confirmed);
}

TEST_F(ConfirmationTrackerTest, GroupFramesAndTablesWaitForEveryUnitTheyReached) {
    // One setting frame for the units in slots 0 and 6: slot 1 is not asked anything.
    Unit(0).bFlashSnd = Unit(6).bFlashSnd = 1;
    protocol.SendSetting(0x0201, &Unit(6), SettingType::Sound);
    Wait(CConfirmationTracker::kConfirmTimeoutMs);
    EXPECT_EQ(State(0), Confirmation::NotConfirmed);
    EXPECT_EQ(State(1), Confirmation::Confirmed);
    EXPECT_EQ(State(6), Confirmation::NotConfirmed);
    Receive({0xFF, 0x07, 0x18, 0x02, 0x01, 0x00, 0x01});
    EXPECT_EQ(State(0), Confirmation::Confirmed);
    EXPECT_EQ(State(6), Confirmation::Confirmed);

    // A flash power table reaches every unit of the studio; its echo confirms those that took it.
    Unit(1).nFlashValue = 61;
    protocol.SendPowerTable(SettingType::FlashPowerTable, studio);
    Bytes echo(23, 0);
    echo[0] = 0xFF, echo[1] = 0x17, echo[2] = 0x1E;
    echo[3] = 50, echo[4] = 40;    // slot 0 as sent
    echo[5] = 60, echo[6] = 40;    // slot 1 kept 60: it did not take 61
    echo[15] = 50, echo[16] = 40;  // slot 6 as sent
    Receive(echo);
    Wait(CConfirmationTracker::kConfirmTimeoutMs);
    EXPECT_EQ(State(0), Confirmation::Confirmed);
    EXPECT_EQ(State(1), Confirmation::NotConfirmed);
    EXPECT_EQ(State(6), Confirmation::Confirmed);
}

TEST_F(ConfirmationTrackerTest, AReportWhoseValueTheHandlerCannotUseConfirmsNothing) {
    // The record already holds what was sent; a report the handler throws away leaves it so.
    Unit(0).nFlashValue = 61;
    Unit(1).nFlashValue = 62;
    protocol.SendPowerTable(SettingType::FlashPowerTable, studio);
    Bytes echo(23, 0);
    echo[0] = 0xFF, echo[1] = 0x17, echo[2] = 0x1E;
    echo[5] = 62, echo[6] = 40;  // slot 1 took it; slots 0 and 6 carry nothing
    Receive(echo);
    Unit(6).nFlashValue = 63;
    protocol.SendSetting(0, &Unit(6), SettingType::FlashPower);
    Receive({0xFF, 0x07, 0x13, 0x02, 0x00, 0x05, 40});  // flash power 0.5: out of range
    Wait(CConfirmationTracker::kConfirmTimeoutMs);
    EXPECT_EQ(State(0), Confirmation::NotConfirmed);
    EXPECT_EQ(State(1), Confirmation::Confirmed);
    EXPECT_EQ(State(6), Confirmation::NotConfirmed);
    EXPECT_EQ(Unit(6).nFlashValue, 63) << "the handler was to keep the record";
}

TEST_F(ConfirmationTrackerTest, ATestFlashWaitsForTheUnitToSayItFired) {
    protocol.SendSetting(0, &Unit(1), SettingType::TestFlash);
    Wait(CConfirmationTracker::kConfirmTimeoutMs);
    EXPECT_EQ(State(1), Confirmation::NotConfirmed);
    // Charge reports are no answer to a test flash; "fired" is.
    Receive({0xFF, 0x07, 0x61, 0x00, 0x02, 0x00, 0x00});
    EXPECT_EQ(State(1), Confirmation::NotConfirmed);
    Receive({0xFF, 0x07, 0x6B, 0x00, 0x02, 0x00, 0x00});
    EXPECT_EQ(State(1), Confirmation::Confirmed);
}

TEST_F(ConfirmationTrackerTest, AScanStartsEveryUnitAfresh) {
    protocol.SendUnitSettings(0, &Unit(0));
    Wait(CConfirmationTracker::kConfirmTimeoutMs);
    EXPECT_EQ(State(0), Confirmation::NotConfirmed);
    model.ClearStudio(*studio);
    ASSERT_NE(PlaceNewUnit(model, 0, 0), nullptr);
    Wait(10);
    EXPECT_EQ(State(0), Confirmation::Confirmed);
}
