// The pacer between the protocol and the link: at once while the line keeps up, held back while
// it is busy, and only the latest of a stream of the same change once it has room.

#include "link/ZbProtocol.h"
#include "model/StudioModel.h"
#include "support/PlaceUnit.h"
#include "support/RecordingLinkWriter.h"

#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

class LinePacerTest : public ::testing::Test {
protected:
    void SetUp() override {
        model.pSelTag = model.pStudio[0].get();
        model.pStudio[0]->nItemKind = TreeItemTag::StudioLine;
        StrobeSettings settings;
        settings.nModelValue = 40;
        unit = PlaceNewUnit(model, 0, 1, settings);
        ASSERT_NE(unit, nullptr);
    }

    // Sends flash power `value` to the unit, as the panel does after storing it.
    void SendFlash(int value) {
        unit->nFlashValue = value;
        protocol.SendSetting(0, unit, SettingType::FlashPower);
    }

    static Bytes Flash(int value) { return {0xFF, 0x07, 0x13, 0x00, 0x02, Low(value), 40}; }
    static std::uint8_t Low(int value) { return static_cast<std::uint8_t>(value); }

    StudioModel model;
    StrobeData* unit = nullptr;
    RecordingLinkWriter line;
    CZbProtocol protocol{nullptr, &line};
};

}  // namespace

TEST_F(LinePacerTest, WhileTheLineKeepsUpEachFrameIsWrittenBeforeItsSendReturns) {
    SendFlash(50);
    EXPECT_EQ(line.Rest(), (std::vector<Bytes>{Flash(50)}));
    protocol.SendScanRequest(0);
    EXPECT_EQ(line.Rest().size(), 1u);
    protocol.SendPowerTable(SettingType::FlashPowerTable, model.pStudio[0].get());
    EXPECT_EQ(line.Rest().size(), 1u);
    EXPECT_EQ(protocol.Pacer().Waiting(), 0u);
}

TEST_F(LinePacerTest, ABusyLineTakesOnlyTheLatestValueOnceItHasRoomInTheOrderAskedFor) {
    line.busy = 40ms;
    for (int value = 20; value <= 30; ++value) {
        SendFlash(value);
    }
    unit->bFlashCell = 1;
    protocol.SendSetting(0, unit, SettingType::PhotoCell);
    SendFlash(31);
    protocol.SendSetting(0, unit, SettingType::TestFlash);
    SendFlash(32);
    EXPECT_TRUE(line.writes.empty()) << "a busy line was handed a frame";
    EXPECT_EQ(protocol.Pacer().Waiting(), 4u);
    EXPECT_EQ(protocol.Pacer().Replaced(), 11u);

    // Still busy when the pacer looks again: it keeps waiting, and loses nothing.
    QTest::qWait(60);
    EXPECT_TRUE(line.writes.empty());
    line.busy = 0ms;
    ASSERT_TRUE(QTest::qWaitFor([&] { return line.writes.size() == 4; }, 5000));
    EXPECT_EQ(line.Rest(), (std::vector<Bytes>{{0xFF, 0x07, 0x17, 0x00, 0x02, 0x00, 0x02},
                                               Flash(31),
                                               {0xFF, 0x07, 0x1B, 0x00, 0x02, 0x00, 0x00},
                                               Flash(32)}));
}
