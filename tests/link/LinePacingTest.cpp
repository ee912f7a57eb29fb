// The protocol and the serial link on a real pseudo-terminal at 9600 baud: a pseudo-terminal takes
// any write at once, so whatever pacing the test sees is the link's own reckoning of the line.

#include "link/CommThread.h"
#include "link/ZbProtocol.h"
#include "model/StrobeData.h"
#include "support/NotifyRecorder.h"
#include "support/PseudoTerminal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

class LinePacingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.IsOpen()) << "no pseudo-terminal available";
        PortSettings settings;
        settings.sPortName = pty.SlavePath();
        settings.nBaudRate = 9600;
        ASSERT_EQ(link.Open(settings), 1);
        unit.nChNum = 1;
        unit.nModelValue = 40;
    }

    NotifyRecorder recorder;
    PseudoTerminal pty;
    CCommThread link{&recorder};
    CZbProtocol protocol{nullptr, &link};
    StrobeData unit;
};

}  // namespace

TEST_F(LinePacingTest, AStreamFasterThanTheLineSendsItsFirstValueAtOnceAndThenOnlyTheLatest) {
    for (int value = 20; value < 50; ++value) {
        unit.nFlashValue = value;
        protocol.SendSetting(0, &unit, SettingType::FlashPower);
    }
    // One frame went to the device at once; the rest wait where they can still be replaced.
    EXPECT_LE(pty.Pending(), 2u * kSettingLength);

    std::vector<int> values;
    while (values.empty() || values.back() != 49) {
        const Bytes frame = pty.Receive(kSettingLength);
        ASSERT_EQ(frame.size(), std::size_t{kSettingLength}) << "the latest value never came";
        ASSERT_EQ(Bytes(frame.begin(), frame.begin() + 5), (Bytes{0xFF, 0x07, 0x13, 0x00, 0x02}));
        values.push_back(frame[5]);
    }
    EXPECT_EQ(values.front(), 20);
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end())) << "values went out of order";
    // The line carries a frame in 7.3 ms; the loop above took far less, preempted or not.
    EXPECT_LE(values.size(), 5u);
    EXPECT_EQ(pty.Drain(), 0u) << "something followed the latest value";
}

TEST_F(LinePacingTest, FramesThatReplaceNothingAllGoOutInOrderAtTheLinesPace) {
    Bytes expected;
    const Clock::time_point start = Clock::now();
    for (int slot = 0; slot < 10; ++slot) {
        unit.nChNum = slot;
        unit.nFlashValue = 20 + slot;
        protocol.SendUnitSettings(0, &unit);
        const auto mask = static_cast<std::uint16_t>(slot < 5 ? 1 << slot : 0x100 << (slot - 5));
        expected.insert(expected.end(),
                        {0xFF, 0x0E, 0x01, static_cast<std::uint8_t>(mask >> 8),
                         static_cast<std::uint8_t>(mask & 0xFF), 1,
                         static_cast<std::uint8_t>(20 + slot), 40, 0, 0, 0, 0, 1, 0});
    }
    EXPECT_LE(pty.Pending(), 2u * kUnitSettingsLength);
    EXPECT_EQ(pty.Receive(expected.size()), expected);
    // Ten frames of 14 bytes are 146 ms of line at 9600 baud: the last cannot be handed over
    // before nine of them have gone.
    EXPECT_GE(Clock::now() - start, 120ms);
}
