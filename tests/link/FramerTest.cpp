#include "RecordingHandler.h"
#include "link/ReceiveFramer.h"
#include "link/ReceiveQueue.h"
#include "link/ZbProtocol.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// The real decoder behind the real framer; only the events are recorded.
class FramerTest : public ::testing::Test {
protected:
    void Feed(const Bytes& bytes) { framer.Feed(bytes); }
    std::vector<QString> Events() const { return handler.events; }

    RecordingHandler handler;
    CZbProtocol protocol{&handler, nullptr};
    CReceiveFramer framer{protocol};
};

const Bytes kSettingReport = {0xFF, 0x07, 0x13, 0x00, 0x03, 0x30, 0x20};
const Bytes kStateReport = {0xFF, 0x07, 0x61, 0x00, 0x04, 0x00, 0x01};

}  // namespace

TEST_F(FramerTest, SettingReportForTwoSlotsCallsTheHandlerPerSlotInOrder) {
    Feed(kSettingReport);
    EXPECT_EQ(Events(), (std::vector<QString>{"setting 3 slot 0 value 0x3020",
                                              "setting 3 slot 1 value 0x3020"}));
}

TEST_F(FramerTest, StatusReportDecodesEveryFieldAndHandsOnChargeAsOne) {
    Feed({0xFF, 0x0E, 0x01, 0x02, 0x04, 0x01, 0x38, 0x29, 0x00, 0x01, 0x01, 0x00, 0x01, 0x00});
    EXPECT_EQ(Events(), (std::vector<QString>{
                            "status 2 pow=1 flash=56 model=41 cell=0 snd=1 m1=1 m2=0 lamp=1 "
                            "charge=1 r=0",
                            "status 6 pow=1 flash=56 model=41 cell=0 snd=1 m1=1 m2=0 lamp=1 "
                            "charge=1 r=0"}));
}

TEST_F(FramerTest, StatusBytesAreTakenUnsigned) {
    Feed({0xFF, 0x0E, 0x01, 0x00, 0x01, 0xFE, 0x80, 0xC8, 0x02, 0x03, 0x04, 0x05, 0x06, 0x00});
    EXPECT_EQ(Events(), (std::vector<QString>{"status 0 pow=254 flash=128 model=200 cell=2 snd=3 "
                                              "m1=4 m2=5 lamp=6 charge=1 r=0"}));
}

TEST_F(FramerTest, StateAndMonitorReportsCarryCodeAndValueByte) {
    Feed(kStateReport);
    Feed({0xFF, 0x07, 0x3A, 0x10, 0x00, 0x77, 0xF0});
    Feed({0xFF, 0x07, 0x6B, 0x00, 0x01, 0x00, 0x00});
    EXPECT_EQ(Events(),
              (std::vector<QString>{"state 1 slot 2 value 1", "monitor 10 slot 9 value 240",
                                    "state 11 slot 0 value 0"}));
}

TEST_F(FramerTest, SettingReportWithScatteredMaskGoesLowSlotFirst) {
    Feed({0xFF, 0x07, 0x1D, 0x02, 0x01, 0x00, 0x01});
    EXPECT_EQ(Events(), (std::vector<QString>{"setting 13 slot 0 value 0x0001",
                                              "setting 13 slot 6 value 0x0001"}));
}

TEST_F(FramerTest, PowerTableIsHandedOnOnceWithTheWholeFrame) {
    Bytes table = {0xFF, 0x17, 0x1E};
    for (int slot = 0; slot < 10; ++slot) {
        table.push_back(static_cast<std::uint8_t>(20 + slot));
        table.push_back(static_cast<std::uint8_t>(40 + slot));
    }
    Feed(table);
    ASSERT_EQ(Events(), (std::vector<QString>{"setting 14 slot 0 value 0x0000"}));
    ASSERT_GE(handler.lastFrame.size(), table.size());
    EXPECT_TRUE(std::equal(table.begin(), table.end(), handler.lastFrame.begin()));

    Feed({0xFF, 0x17, 0x1F, 0x00, 0x00});  // cut off by the next start byte: no call
    Feed({0xFF, 0x04, 0x1F, 0x00});        // complete though far too short: one call
    EXPECT_EQ(Events().size(), 2u);
    EXPECT_EQ(Events().back(), "setting 15 slot 0 value 0x0000");
}

TEST_F(FramerTest, AllUnitsMaskAndUnusedBitsNameNoSlot) {
    Feed({0xFF, 0x0E, 0x01, 0x80, 0x80, 1, 50, 40, 0, 0, 0, 0, 1, 0});
    Feed({0xFF, 0x07, 0x13, 0x60, 0x60, 0x30, 0x20});
    EXPECT_TRUE(Events().empty());
}

TEST_F(FramerTest, ValidCommandsWithoutEventsAndUnknownCommandsProduceNothing) {
    Feed({0xFF, 0x05, 0x00, 0x00, 0x41});
    Feed({0xFF, 0x07, 0x02, 0x00, 0x01, 0x00, 0x01});
    Feed({0xFF, 0x07, 0x25, 0x00, 0x01, 0x00, 0x01});  // unknown class
    Feed({0xFF, 0x07, 0x0F, 0x00, 0x01, 0x00, 0x01});  // unknown below 0x10
    Feed(kStateReport);
    EXPECT_EQ(Events(), (std::vector<QString>{"state 1 slot 2 value 1"}));
}

TEST_F(FramerTest, StartByteInsideABodyCutsTheFrameAndStartsAnother) {
    Feed({0xFF, 0x07, 0x13, 0x00, 0xFF, 0x07, 0x61, 0x00, 0x04, 0x00, 0x01});
    EXPECT_EQ(Events(), (std::vector<QString>{"state 1 slot 2 value 1"}));
}

TEST_F(FramerTest, GarbageAroundFramesIsDroppedAndBackToBackFramesBothDecode) {
    Bytes stream = {0x00, 0x13, 0x41, 0x7E};
    stream.insert(stream.end(), kSettingReport.begin(), kSettingReport.end());
    stream.insert(stream.end(), {0x01, 0x02, 0x03});  // after a complete frame: dropped
    stream.insert(stream.end(), kStateReport.begin(), kStateReport.end());
    stream.insert(stream.end(), kStateReport.begin(), kStateReport.end());
    Feed(stream);
    EXPECT_EQ(Events(), (std::vector<QString>{"setting 3 slot 0 value 0x3020",
                                              "setting 3 slot 1 value 0x3020",
                                              "state 1 slot 2 value 1", "state 1 slot 2 value 1"}));
}

TEST_F(FramerTest, FrameSplitAcrossWakeUpsDecodesWhenItsLastByteArrives) {
    ReceiveQueue queue;
    for (std::size_t cut = 1; cut < kSettingReport.size(); ++cut) {
        handler.events.clear();
        ASSERT_TRUE(queue.Push(std::span(kSettingReport).first(cut)));
        framer.Run(queue);
        EXPECT_TRUE(Events().empty()) << "cut at " << cut;
        ASSERT_TRUE(queue.Push(std::span(kSettingReport).subspan(cut)));
        framer.Run(queue);
        EXPECT_EQ(Events().size(), 2u) << "cut at " << cut;
        EXPECT_EQ(queue.Count(), 0);
    }
}

TEST_F(FramerTest, ShortLengthsNeverCompleteAndAreAbandonedAtTheNextStart) {
    for (std::uint8_t length : {0, 1, 2, 3}) {
        Feed({0xFF, length, 0x61, 0x00, 0x04, 0x00, 0x01, 0x00, 0x01});
        EXPECT_TRUE(Events().empty()) << int(length);
    }
    Feed(kStateReport);
    EXPECT_EQ(Events().size(), 1u);
}

TEST_F(FramerTest, ShortFrameReadsMissingBytesAsZeroAndExtraBytesAreIgnored) {
    Feed({0xFF, 0x05, 0x61, 0x00, 0x04});  // no value bytes: value 0
    Feed({0xFF, 0x09, 0x61, 0x00, 0x04, 0x00, 0x01, 0x55, 0x66});
    EXPECT_EQ(Events(), (std::vector<QString>{"state 1 slot 2 value 0", "state 1 slot 2 value 1"}));
}

TEST_F(FramerTest, OverlongRunWithoutStartByteIsGivenUpWithinTheBuffer) {
    // Lengths the buffer cannot hold, and short ones that never complete, followed by long runs.
    for (std::uint8_t length : {2, 51, 200, 0xFE}) {
        Bytes stream = {0xFF, length, 0x13, 0x00, 0x01};
        stream.resize(stream.size() + 400, 0x30);
        Feed(stream);
        EXPECT_EQ(framer.CurrentPhase(), CReceiveFramer::Phase::Hunting) << int(length);
    }
    EXPECT_TRUE(Events().empty());
    // A 50-byte frame still fits exactly.
    Bytes longest = {0xFF, 50, 0x61, 0x00, 0x01};
    longest.resize(50, 0x01);
    Feed(longest);
    EXPECT_EQ(Events(), (std::vector<QString>{"state 1 slot 0 value 1"}));
    Feed(kStateReport);
    EXPECT_EQ(Events().size(), 2u);
}

TEST(ReceiveQueue, BatchFitsOnlyWhenItLeavesOneSlotEmpty) {
    ReceiveQueue queue;
    std::vector<std::uint8_t> batch(2000, 0x11);
    ASSERT_TRUE(queue.Push(batch));
    ASSERT_TRUE(queue.Push(batch));
    ASSERT_EQ(queue.Count(), 4000);
    EXPECT_FALSE(queue.Push(std::vector<std::uint8_t>(96, 0x22)));
    EXPECT_EQ(queue.Count(), 4000);
    EXPECT_TRUE(queue.Push(std::vector<std::uint8_t>(95, 0x33)));
    EXPECT_EQ(queue.Count(), 4095);
    EXPECT_FALSE(queue.Push(std::vector<std::uint8_t>(1, 0x44)));
    // Oldest first, across the wrap.
    for (int i = 0; i < 4000; ++i) {
        ASSERT_EQ(queue.TakeOldest(), 0x11);
    }
    ASSERT_TRUE(queue.Push(std::vector<std::uint8_t>(3000, 0x55)));
    for (int i = 0; i < 95; ++i) {
        ASSERT_EQ(queue.TakeOldest(), 0x33);
    }
    EXPECT_EQ(queue.Count(), 3000);
    EXPECT_EQ(queue.TakeOldest(), 0x55);
}
