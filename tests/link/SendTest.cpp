#include "link/UnitMask.h"
#include "link/ZbProtocol.h"
#include "model/StudioModel.h"
#include "support/RecordingLinkWriter.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

class SendTest : public ::testing::Test {
protected:
    StrobeData* UnitInSlot(int slot) {
        auto unit = std::make_unique<StrobeData>();
        StrobeData* raw = unit.get();
        model.PlaceUnit(*model.pStudio[0], slot, std::move(unit));
        return raw;
    }

    RecordingLinkWriter writer;
    CZbProtocol protocol{nullptr, &writer};
    StudioModel model;
};

}  // namespace

TEST_F(SendTest, ScanRequestNamesTheStudioLetter) {
    EXPECT_EQ(protocol.SendScanRequest(2), 1);
    EXPECT_EQ(protocol.SendScanRequest(0), 1);
    EXPECT_EQ(writer.writes,
              (std::vector<Bytes>{{0xFF, 0x05, 0x00, 0x00, 0x43}, {0xFF, 0x05, 0x00, 0x00, 0x41}}));
}

TEST_F(SendTest, UnitSettingsFrameCarriesEverySettingInOneWrite) {
    StrobeData* unit = UnitInSlot(2);
    unit->bFlashPow = 1;
    unit->nFlashValue = 56;
    unit->nModelValue = 41;
    unit->bFlashCell = 0;
    unit->bFlashSnd = 1;
    unit->nModelMode1 = 1;
    unit->nModelMode2 = 0;
    unit->bModelPow = 1;
    unit->bFlashCharge = 0;  // has no byte in the frame
    EXPECT_EQ(protocol.SendUnitSettings(0, unit), 1);
    EXPECT_EQ(writer.writes, (std::vector<Bytes>{{0xFF, 0x0E, 0x01, 0x00, 0x04, 0x01, 0x38, 0x29,
                                                  0x00, 0x01, 0x01, 0x00, 0x01, 0x00}}));
}

TEST_F(SendTest, UnitSettingsTakeAGivenMaskOrTheSlotsOwnAndSendLowBytesOfFileValues) {
    StrobeData* unit = UnitInSlot(7);
    unit->nFlashValue = 0x1234;  // values from a studio file are not range-checked
    protocol.SendUnitSettings(0x0201, unit);
    protocol.SendUnitSettings(0, unit);
    ASSERT_EQ(writer.writes.size(), 2u);
    EXPECT_EQ(writer.writes[0][3], 0x02);
    EXPECT_EQ(writer.writes[0][4], 0x01);
    EXPECT_EQ(writer.writes[1][3], 0x04);
    EXPECT_EQ(writer.writes[1][4], 0x00);
    EXPECT_EQ(writer.writes[1][6], 0x34);
}

TEST_F(SendTest, SlotOutsideTheTableStillSendsWithAllUnitsOrEmptyMask) {
    StrobeData unit;
    unit.nChNum = 11;
    protocol.SendUnitSettings(0, &unit);
    unit.nChNum = 10;
    protocol.SendUnitSettings(0, &unit);
    unit.nChNum = 12;
    protocol.SendSetting(0, &unit, SettingType::TestFlash);
    ASSERT_EQ(writer.writes.size(), 3u);
    EXPECT_EQ(Bytes(writer.writes[0].begin() + 3, writer.writes[0].begin() + 5),
              (Bytes{0x80, 0x80}));
    EXPECT_EQ(Bytes(writer.writes[1].begin() + 3, writer.writes[1].begin() + 5),
              (Bytes{0x00, 0x00}));
    EXPECT_EQ(writer.writes[2], (Bytes{0xFF, 0x07, 0x1B, 0x00, 0x00, 0x00, 0x00}));
}

TEST_F(SendTest, SettingFramesCarryTheFixedBitOfEachType) {
    StrobeData* unit = UnitInSlot(6);
    unit->bFlashCell = 1;
    protocol.SendSetting(0, unit, SettingType::PhotoCell);
    EXPECT_EQ(writer.writes.back(), (Bytes{0xFF, 0x07, 0x17, 0x02, 0x00, 0x00, 0x02}));

    unit->nFlashValue = 81;
    unit->nModelValue = 33;
    unit->nModelMode1 = 1;
    unit->nModelMode2 = 5;  // any non-zero value is on
    unit->bFlashSnd = 1;
    unit->bModelPow = 0;
    unit->bFlashPow = 1;
    struct Case {
        SettingType type;
        Bytes tail;  // command byte, then bytes 5 and 6
    };
    const Case cases[] = {
        {SettingType::FlashPower, {0x13, 81, 33}}, {SettingType::ModelPower, {0x14, 81, 33}},
        {SettingType::ModelMode1, {0x15, 0, 8}},   {SettingType::ModelMode2, {0x16, 0, 16}},
        {SettingType::Sound, {0x18, 0, 4}},        {SettingType::TestFlash, {0x1B, 0, 0}},
        {SettingType::ModelSwitch, {0x1C, 0, 0}},  {SettingType::FlashSwitch, {0x1D, 0, 1}},
    };
    for (const Case& c : cases) {
        writer.writes.clear();
        EXPECT_EQ(protocol.SendSetting(0x8080, unit, c.type), 1);
        ASSERT_EQ(writer.writes.size(), 1u);
        EXPECT_EQ(writer.writes[0],
                  (Bytes{0xFF, 0x07, c.tail[0], 0x80, 0x80, c.tail[1], c.tail[2]}))
            << int(c.type);
    }
    unit->nModelMode1 = 0;
    unit->bFlashSnd = 0;
    writer.writes.clear();
    protocol.SendSetting(0, unit, SettingType::ModelMode1);
    protocol.SendSetting(0, unit, SettingType::Sound);
    EXPECT_EQ(writer.writes, (std::vector<Bytes>{{0xFF, 0x07, 0x15, 0x02, 0x00, 0x00, 0x00},
                                                 {0xFF, 0x07, 0x18, 0x02, 0x00, 0x00, 0x00}}));
}

TEST_F(SendTest, ReportOnlyTypesWriteNothingAndANullUnitIsRefused) {
    StrobeData* unit = UnitInSlot(1);
    for (int type : {9, 10, 0, 1, 2, 14, 15}) {
        EXPECT_EQ(protocol.SendSetting(0, unit, static_cast<SettingType>(type)), 1) << type;
    }
    EXPECT_TRUE(writer.writes.empty());
    EXPECT_EQ(protocol.SendSetting(0, nullptr, SettingType::TestFlash), 0);
    EXPECT_EQ(protocol.SendUnitSettings(0, nullptr), 0);
    EXPECT_TRUE(writer.writes.empty());
}

TEST_F(SendTest, PowerTableListsUsedSlotsAndZerosElsewhere) {
    StrobeData* first = UnitInSlot(0);
    StrobeData* last = UnitInSlot(9);
    first->nFlashValue = 51;
    first->nModelValue = 31;
    last->nFlashValue = 79;
    last->nModelValue = 81;
    EXPECT_EQ(protocol.SendPowerTable(SettingType::FlashPowerTable, model.pStudio[0].get()), 1);
    EXPECT_EQ(protocol.SendPowerTable(SettingType::ModelPowerTable, model.pStudio[0].get()), 1);
    ASSERT_EQ(writer.writes.size(), 2u);
    Bytes expected = {0xFF, 0x17, 0x1E, 51, 31};
    expected.resize(21, 0x00);
    expected.insert(expected.end(), {79, 81});
    EXPECT_EQ(writer.writes[0], expected);
    expected[2] = 0x1F;
    EXPECT_EQ(writer.writes[1], expected);
}

TEST_F(SendTest, PowerTableOfOtherTypesOrNoStudioWritesNothing) {
    EXPECT_EQ(protocol.SendPowerTable(SettingType::FlashPower, model.pStudio[0].get()), 1);
    EXPECT_EQ(protocol.SendPowerTable(SettingType::FlashPowerTable, nullptr), 0);
    EXPECT_TRUE(writer.writes.empty());
}
