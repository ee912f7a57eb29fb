#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <variant>
#include <vector>

#include "SimWire.h"

namespace orvane::sim {
namespace {

using ::testing::ElementsAre;
using Bytes = std::vector<std::uint8_t>;

TEST(SimWireTest, SlotsMapOntoTwoGroupsOfFiveBits) {
    const std::uint16_t expected[kSlotCount] = {0x0001, 0x0002, 0x0004, 0x0008, 0x0010,
                                                0x0100, 0x0200, 0x0400, 0x0800, 0x1000};
    for (int slot = 0; slot < kSlotCount; ++slot) {
        EXPECT_EQ(maskForSlot(slot), expected[slot]) << "slot " << slot;
        EXPECT_TRUE(maskAddresses(kAllUnitsMask, slot));
        EXPECT_TRUE(maskAddresses(expected[slot], slot));
        EXPECT_FALSE(maskAddresses(static_cast<std::uint16_t>(0x1F1F & ~expected[slot]), slot));
    }
}

TEST(SimWireTest, ReportsNeverCarryTheStartByteInsideEvenAtTheLimits) {
    UnitState hottest;
    hottest.flash = kMaxLevel;
    hottest.model = kMaxLevel;
    hottest.heat = kMaxHeat;
    hottest.cell = hottest.sound = hottest.mode1 = hottest.mode2 = true;
    std::array<std::uint8_t, kSlotCount> levels{};
    levels.fill(kMaxLevel);

    std::vector<Frame> frames;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        frames.push_back(statusReport(slot, hottest));
        frames.push_back(settingReport(SettingType::FlashPower, slot, kMaxLevel, kMaxLevel));
        frames.push_back(stateReport(StateCode::Charge, slot, 1));
        frames.push_back(monitorReport(MonitorCode::Heat, slot, kMaxHeat));
    }
    frames.push_back(powerTableEcho(Command::FlashTable, levels, levels));

    for (const Frame& frame : frames) {
        ASSERT_GE(frame.size(), kMinFrameLength);
        EXPECT_EQ(frame[0], kStartByte);
        EXPECT_EQ(frame[1], frame.size()) << "length byte of command " << int{frame[2]};
        EXPECT_EQ(std::count(frame.begin() + 1, frame.end(), kStartByte), 0)
            << "command " << int{frame[2]};
    }
}

TEST(SimWireTest, StatusReportLaysOutEveryFieldAndUsesTheHighMaskByteForUpperSlots) {
    UnitState state;
    state.powered = false;
    state.flash = 33;
    state.model = 77;
    state.sound = true;
    state.mode2 = true;
    state.lamp = false;

    EXPECT_THAT(statusReport(8, state), ElementsAre(0xFF, 0x0E, 0x01, 0x08, 0x00, 0x00, 33, 77,
                                                    0x00, 0x01, 0x00, 0x01, 0x00, 0x00));
}

TEST(SimWireTest, ShortReportsPutTheirCodeOnTopOfTheirBase) {
    EXPECT_THAT(stateReport(StateCode::TestFlashDone, 2, 0),
                ElementsAre(0xFF, 0x07, 0x6B, 0x00, 0x04, 0x00, 0x00));
    EXPECT_THAT(monitorReport(MonitorCode::Heat, 5, 61),
                ElementsAre(0xFF, 0x07, 0x3A, 0x01, 0x00, 0x00, 61));
    EXPECT_THAT(settingReport(SettingType::UnitSwitch, 0, 0, 1),
                ElementsAre(0xFF, 0x07, 0x1D, 0x00, 0x01, 0x00, 0x01));
}

TEST(SimWireTest, DecodesEachRequestTheProgramSends) {
    const auto scan = decodeRequest(Bytes{0xFF, 0x05, 0x00, 0x00, 0x45});
    ASSERT_TRUE(scan && std::holds_alternative<ScanRequest>(*scan));
    EXPECT_EQ(std::get<ScanRequest>(*scan).studio, 4);

    const auto setting = decodeRequest(Bytes{0xFF, 0x07, 0x17, 0x12, 0x03, 0x00, 0x02});
    ASSERT_TRUE(setting && std::holds_alternative<SettingRequest>(*setting));
    EXPECT_EQ(std::get<SettingRequest>(*setting).type, SettingType::PhotoCell);
    EXPECT_EQ(std::get<SettingRequest>(*setting).mask, 0x1203);
    EXPECT_EQ(std::get<SettingRequest>(*setting).second, 0x02);

    const auto table = decodeRequest(Bytes{0xFF, 0x17, 0x1F, 1,  2,  3,  4,  5,  6,  7,  8, 9,
                                           10,   11,   12,   13, 14, 15, 16, 17, 18, 19, 20});
    ASSERT_TRUE(table && std::holds_alternative<PowerTableRequest>(*table));
    const auto& request = std::get<PowerTableRequest>(*table);
    EXPECT_EQ(request.table, Command::ModelTable);
    EXPECT_THAT(request.flash, ElementsAre(1, 3, 5, 7, 9, 11, 13, 15, 17, 19));
    EXPECT_THAT(request.model, ElementsAre(2, 4, 6, 8, 10, 12, 14, 16, 18, 20));
}

}  // namespace
}  // namespace orvane::sim
