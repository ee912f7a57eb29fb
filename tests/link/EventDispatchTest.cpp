#include "link/ChangeCode.h"
#include "link/ReceiveFramer.h"
#include "link/StrobeEventHandler.h"
#include "link/ZbProtocol.h"
#include "model/StudioModel.h"
#include "support/NotifyRecorder.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes StatusReport(std::uint16_t mask, std::uint8_t pow, std::uint8_t flash, std::uint8_t model,
                   std::uint8_t cell = 0, std::uint8_t snd = 0, std::uint8_t m1 = 0,
                   std::uint8_t m2 = 0, std::uint8_t lamp = 1) {
    return {0xFF,
            0x0E,
            0x01,
            static_cast<std::uint8_t>(mask >> 8),
            static_cast<std::uint8_t>(mask),
            pow,
            flash,
            model,
            cell,
            snd,
            m1,
            m2,
            lamp,
            0x00};
}

Bytes Report7(std::uint8_t command, std::uint16_t mask, std::uint8_t b5, std::uint8_t b6) {
    return {
        0xFF, 0x07, command, static_cast<std::uint8_t>(mask >> 8), static_cast<std::uint8_t>(mask),
        b5,   b6};
}

// The whole receive path below the main frame: framer, decoder, event handler, model. The main
// frame is a recorder, so the test sees which messages were sent (recorded before the frame's
// bytes are through) and which were posted (recorded only once the event loop runs).
class EventDispatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        studioB = model.pStudio[1].get();
        studioB->nItemKind = TreeItemTag::StudioLine;
        model.pSelTag = studioB;
        // As after a scan of Studio B: its units are the ones that answer.
        model.pScanStudio = studioB;
    }

    // Feeds the bytes and returns what was sent during the feed; posted messages follow in
    // `posted` once the event loop has run.
    std::vector<NotifyRecorder::Message> Receive(const Bytes& bytes) {
        frame.messages.clear();
        framer.Feed(bytes);
        auto sent = frame.messages;
        frame.messages.clear();
        QCoreApplication::sendPostedEvents(&frame);
        posted = frame.messages;
        return sent;
    }

    StrobeData* AddUnit(int slot) {
        auto unit = std::make_unique<StrobeData>();
        StrobeData* raw = unit.get();
        model.PlaceUnit(*studioB, slot, std::move(unit));
        raw->nFlashValue = 50;
        raw->nModelValue = 40;
        return raw;
    }

    static NotifyRecorder::Message Changed(ChangeCode code, StrobeData* unit) {
        return {Msg::UnitSettingReported, static_cast<int>(code), AsLParam(unit)};
    }

    NotifyRecorder frame;
    StudioModel model;
    StudioData* studioB = nullptr;
    CStrobeEventHandler handler{&frame, &model};
    CZbProtocol protocol{&handler, nullptr};
    CReceiveFramer framer{protocol};
    std::vector<NotifyRecorder::Message> posted;
};

}  // namespace

TEST_F(EventDispatchTest, StatusReportCreatesTheUnitThenRefreshesTheSameRecord) {
    EXPECT_TRUE(Receive(StatusReport(0x0008, 1, 56, 41, 1, 0, 1, 0, 1)).empty());
    StrobeData* unit = studioB->Unit(3);
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(studioB->nChItemCnt, 1);
    EXPECT_EQ(posted,
              (std::vector<NotifyRecorder::Message>{{Msg::UnitCreated, 3, AsLParam(unit)}}));
    EXPECT_EQ(unit->nFlashValue, 56);
    EXPECT_EQ(unit->nModelValue, 41);
    EXPECT_EQ(unit->bFlashCell, 1);
    EXPECT_EQ(unit->nModelMode1, 1);
    EXPECT_EQ(unit->sModelName, "Not define");

    unit->bFlashCharge = 0;
    unit->sModelName = QStringLiteral("Key");
    unit->nHeatLevel = 44;
    EXPECT_TRUE(Receive(StatusReport(0x0008, 0, 70, 30)).empty());
    EXPECT_EQ(studioB->Unit(3), unit);
    EXPECT_EQ(studioB->nChItemCnt, 1);
    EXPECT_EQ(
        posted,
        (std::vector<NotifyRecorder::Message>{{Msg::UnitStatusRefreshed, 3, AsLParam(unit)}}));
    EXPECT_EQ(unit->bFlashCharge, 1);  // a status report always arrives charged
    EXPECT_EQ(unit->bFlashPow, 0);
    EXPECT_EQ(unit->nFlashValue, 70);
    EXPECT_EQ(unit->bFlashCell, 0);
    EXPECT_EQ(unit->sModelName, "Key");
    EXPECT_EQ(unit->nHeatLevel, 44);
}

TEST_F(EventDispatchTest, StatusReportForTwoSlotsCreatesBothInSlotOrderWithoutRangeCheck) {
    Receive(StatusReport(0x0201, 1, 200, 5));
    ASSERT_NE(studioB->Unit(0), nullptr);
    ASSERT_NE(studioB->Unit(6), nullptr);
    EXPECT_EQ(studioB->Unit(6)->nFlashValue, 200);
    EXPECT_EQ(studioB->nChItemCnt, 2);
    EXPECT_EQ(posted, (std::vector<NotifyRecorder::Message>{
                          {Msg::UnitCreated, 0, AsLParam(studioB->Unit(0))},
                          {Msg::UnitCreated, 6, AsLParam(studioB->Unit(6))}}));
}

TEST_F(EventDispatchTest, ReportsGoToTheTunedStudioWhateverTheUserLooksAt) {
    StrobeData* unit = AddUnit(2);
    unit->nItemKind = TreeItemTag::UnitLine;
    unit->lightNameTag.nItemKind = TreeItemTag::LightNameLine;
    model.pSelTag = &unit->lightNameTag;
    Receive(StatusReport(0x0010, 1, 30, 30));
    EXPECT_NE(studioB->Unit(4), nullptr);
    EXPECT_EQ(model.pStudio[0]->nChItemCnt, 0);

    // The user moves to the empty Studio C, which starts no scan: B's units still answer, and
    // their reports reach B's records, never C.
    StudioData& studioC = *model.pStudio[2];
    studioC.nItemKind = TreeItemTag::StudioLine;
    model.pSelTag = &studioC;
    Receive(StatusReport(0x0004, 1, 61, 30));
    EXPECT_EQ(studioC.nChItemCnt, 0);
    EXPECT_EQ(unit->nFlashValue, 61);
}

TEST_F(EventDispatchTest, BeforeAnyScanEveryReportIsDropped) {
    model.pSelTag = nullptr;
    model.pScanStudio = nullptr;
    Bytes table = {0xFF, 0x17, 0x1E};
    table.resize(23, 0x30);
    for (const Bytes& report : {StatusReport(0x0001, 1, 50, 40), Report7(0x13, 0x0001, 48, 48),
                                table, Report7(0x61, 0x0001, 0, 1), Report7(0x3A, 0x0001, 0, 90)}) {
        EXPECT_TRUE(Receive(report).empty());
        EXPECT_TRUE(posted.empty());
    }
    for (const auto& studio : model.pStudio) {
        EXPECT_EQ(studio->nChItemCnt, 0);
    }
}

TEST_F(EventDispatchTest, PowerSettingsAreStoredOnlyWithinElevenToEightyOne) {
    StrobeData* unit = AddUnit(1);
    struct Case {
        std::uint8_t command, hi, lo;
        int flash, model;
        ChangeCode code;
    };
    const Case cases[] = {
        {0x13, 90, 48, 50, 40, ChangeCode::None},        // flash out of range: nothing stored
        {0x13, 48, 5, 48, 40, ChangeCode::FlashPower},   // lamp out of range: kept
        {0x13, 81, 11, 81, 11, ChangeCode::FlashPower},  // both ends of the range
        {0x13, 10, 50, 81, 11, ChangeCode::None},
        {0x14, 5, 48, 81, 48, ChangeCode::ModelPower},  // flash out of range: kept
        {0x14, 60, 82, 81, 48, ChangeCode::None},
        {0x14, 33, 22, 33, 22, ChangeCode::ModelPower},
    };
    for (const Case& c : cases) {
        const auto sent = Receive(Report7(c.command, 0x0002, c.hi, c.lo));
        EXPECT_EQ(sent, (std::vector<NotifyRecorder::Message>{Changed(c.code, unit)}))
            << int(c.command) << " " << int(c.hi) << "," << int(c.lo);
        EXPECT_TRUE(posted.empty());
        EXPECT_EQ(unit->nFlashValue, c.flash);
        EXPECT_EQ(unit->nModelValue, c.model);
    }
}

TEST_F(EventDispatchTest, SwitchSettingsTakeAnyNonZeroLowByteAsOn) {
    StrobeData* unit = AddUnit(9);
    struct Case {
        std::uint8_t command;
        int StrobeData::*field;
        ChangeCode code;
    };
    const Case cases[] = {
        {0x15, &StrobeData::nModelMode1, ChangeCode::ModelMode1},
        {0x16, &StrobeData::nModelMode2, ChangeCode::ModelMode2},
        {0x17, &StrobeData::bFlashCell, ChangeCode::PhotoCell},
        {0x18, &StrobeData::bFlashSnd, ChangeCode::Sound},
        {0x1C, &StrobeData::bModelPow, ChangeCode::ModelSwitch},
        {0x1D, &StrobeData::bFlashPow, ChangeCode::FlashSwitch},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Receive(Report7(c.command, 0x1000, 0x00, 0x10)),
                  (std::vector<NotifyRecorder::Message>{Changed(c.code, unit)}));
        EXPECT_EQ(unit->*c.field, 1) << int(c.command);
        // Only the low byte counts.
        Receive(Report7(c.command, 0x1000, 0x01, 0x00));
        EXPECT_EQ(unit->*c.field, 0) << int(c.command);
    }
}

TEST_F(EventDispatchTest, OtherSettingTypesAndEmptySlotsAreDroppedSilently) {
    StrobeData* unit = AddUnit(0);
    for (std::uint8_t command : {0x19, 0x1A, 0x1B, 0x10, 0x11}) {
        EXPECT_TRUE(Receive(Report7(command, 0x0001, 48, 48)).empty()) << int(command);
        EXPECT_TRUE(posted.empty());
    }
    EXPECT_EQ(unit->nFlashValue, 50);
    EXPECT_TRUE(Receive(Report7(0x13, 0x0002, 48, 48)).empty());  // slot 1 has no unit
    EXPECT_TRUE(Receive(Report7(0x61, 0x0002, 0, 1)).empty());
    Receive(Report7(0x3A, 0x0002, 0, 1));
    EXPECT_TRUE(posted.empty());
    EXPECT_EQ(studioB->nChItemCnt, 1);
}

TEST_F(EventDispatchTest, PowerTableUpdatesUsedSlotsWhoseBytesAreBothNonZero) {
    StrobeData* first = AddUnit(0);
    StrobeData* second = AddUnit(1);
    Bytes table = {0xFF, 0x17, 0x1E, 0x3C, 0x28, 0x00, 0x20};
    table.resize(23, 0x00);
    table[3 + 2 * 5] = 0x30;  // slot 5 has no unit
    table[4 + 2 * 5] = 0x30;
    EXPECT_EQ(Receive(table),
              (std::vector<NotifyRecorder::Message>{Changed(ChangeCode::FlashPower, first)}));
    EXPECT_EQ(first->nFlashValue, 0x3C);
    EXPECT_EQ(first->nModelValue, 0x28);
    EXPECT_EQ(second->nFlashValue, 50);
    EXPECT_EQ(second->nModelValue, 40);
    EXPECT_EQ(studioB->nChItemCnt, 2);

    // Type 15 follows the same rule, without the power range check.
    table[2] = 0x1F;
    table[5] = 0x05;
    table[6] = 0x07;
    EXPECT_EQ(Receive(table).size(), 2u);
    EXPECT_EQ(second->nFlashValue, 5);
    EXPECT_EQ(second->nModelValue, 7);
}

TEST_F(EventDispatchTest, ChargeStateIsSentAndTestFlashReplyNamesTheUnitOnly) {
    StrobeData* unit = AddUnit(4);
    const StrobeSettings before = unit->Settings();
    EXPECT_EQ(Receive(Report7(0x61, 0x0010, 0, 0)),
              (std::vector<NotifyRecorder::Message>{Changed(ChangeCode::Charge, unit)}));
    EXPECT_EQ(unit->bFlashCharge, 0);
    EXPECT_EQ(Receive(Report7(0x61, 0x0010, 0, 7)),
              (std::vector<NotifyRecorder::Message>{Changed(ChangeCode::Charge, unit)}));
    EXPECT_EQ(unit->bFlashCharge, 1);

    EXPECT_EQ(Receive(Report7(0x6B, 0x0010, 0, 0)),
              (std::vector<NotifyRecorder::Message>{Changed(ChangeCode::None, unit)}));
    EXPECT_EQ(unit->Settings(), before);
    EXPECT_TRUE(Receive(Report7(0x62, 0x0010, 0, 1)).empty());
    EXPECT_TRUE(posted.empty());
}

TEST_F(EventDispatchTest, HeatIsPostedNotSent) {
    StrobeData* unit = AddUnit(7);
    EXPECT_TRUE(Receive(Report7(0x3A, 0x0400, 0, 60)).empty());
    EXPECT_EQ(posted, (std::vector<NotifyRecorder::Message>{Changed(ChangeCode::Heat, unit)}));
    EXPECT_EQ(unit->nHeatLevel, 60);
    Receive(Report7(0x3A, 0x0400, 0, 250));  // 0xFF would start a new frame
    EXPECT_EQ(unit->nHeatLevel, 250);

    EXPECT_TRUE(Receive(Report7(0x39, 0x0400, 0, 10)).empty());
    EXPECT_TRUE(posted.empty());
    EXPECT_EQ(unit->nHeatLevel, 250);
}
