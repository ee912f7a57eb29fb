#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "SimTiming.h"
#include "SimWorld.h"
#include "support/PowerTable.h"

namespace orvane::sim {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;
using Bytes = std::vector<std::uint8_t>;

// A head's answer to a switch set to off: the command and the off value, under the head's own mask.
Bytes Echo(std::uint8_t command, std::uint8_t maskHigh, std::uint8_t maskLow) {
    return {0xFF, 0x07, command, maskHigh, maskLow, 0x00, 0x00};
}

constexpr int kA = 0;
constexpr int kB = 1;
constexpr int kC = 2;
constexpr std::uint8_t kHeatReport = 0x3A;
constexpr std::uint8_t kChargeReport = 0x61;
constexpr std::uint8_t kFlashDoneReport = 0x6B;

class SimWorldTest : public ::testing::Test {
protected:
    struct Sent {
        std::int64_t atMs;
        Frame frame;
    };

    SimWorldTest()
        : world_(7, [this](const Frame& frame) {
              sent_.push_back({world_.nowMs(), frame});
          }) {}

    void addHead(int studio, int slot, int flash = 50, int model = 40) {
        UnitState state;
        state.flash = flash;
        state.model = model;
        ASSERT_TRUE(world_.addUnit({studio, slot}, state));
    }

    void addHeads(int studio, std::initializer_list<int> slots) {
        for (const int slot : slots) {
            addHead(studio, slot);
        }
    }

    void receive(const Bytes& bytes) { ASSERT_TRUE(world_.receive(bytes)); }

    void runFor(std::int64_t ms) { world_.advanceTo(world_.nowMs() + ms); }

    // Scans a studio, lets every answer arrive, and forgets them.
    void tuneTo(char studio) {
        receive({0xFF, 0x05, 0x00, 0x00, static_cast<std::uint8_t>(studio)});
        runFor(timing::kScanWindowMs);
        sent_.clear();
    }

    std::vector<Frame> frames() const {
        std::vector<Frame> result;
        for (const Sent& sent : sent_) {
            result.push_back(sent.frame);
        }
        return result;
    }

    std::vector<Frame> framesWithCommand(std::initializer_list<std::uint8_t> commands) const {
        std::vector<Frame> result;
        for (const Sent& sent : sent_) {
            if (std::ranges::find(commands, sent.frame[2]) != commands.end()) {
                result.push_back(sent.frame);
            }
        }
        return result;
    }

    std::vector<int> heatReports() const {
        std::vector<int> heats;
        for (const Frame& frame : framesWithCommand({kHeatReport})) {
            heats.push_back(frame[6]);
        }
        return heats;
    }

    std::vector<Sent> sent_;
    SimWorld world_;
};

// --- scanning -------------------------------------------------------------------------------

TEST_F(SimWorldTest, ScanIsAnsweredByEveryHeadOfThatStudioWithinTheWindowAndByNoOther) {
    addHead(kA, 0, 56, 41);
    addHead(kA, 5);
    addHead(kB, 2);

    receive({0xFF, 0x05, 0x00, 0x00, 0x41});
    runFor(timing::kScanWindowMs);

    EXPECT_THAT(
        frames(),
        UnorderedElementsAre(
            ElementsAre(0xFF, 0x0E, 0x01, 0x00, 0x01, 0x01, 56, 41, 0, 0, 0, 0, 0x01, 0x00),
            ElementsAre(0xFF, 0x0E, 0x01, 0x01, 0x00, 0x01, 50, 40, 0, 0, 0, 0, 0x01, 0x00)));
    runFor(60'000);
    EXPECT_EQ(sent_.size(), 2u) << "a head answered twice or a head of Studio B answered";
    EXPECT_EQ(world_.tunedStudio(), kA);
}

TEST_F(SimWorldTest, NothingButAScanIsHeardBeforeTheFirstScan) {
    addHead(kA, 0);
    EXPECT_FALSE(world_.tunedStudio().has_value());

    receive({0xFF, 0x07, 0x13, 0x80, 0x80, 0x3C, 0x28});
    receive({0xFF, 0x07, 0x1B, 0x80, 0x80, 0x00, 0x00});
    runFor(10'000);

    EXPECT_THAT(sent_, IsEmpty());
    EXPECT_EQ(world_.unit({kA, 0})->flash, 50);
    EXPECT_EQ(world_.unit({kA, 0})->heat, 0);
}

TEST_F(SimWorldTest, ScanningAnotherStudioSilencesAnswersStillDueFromTheLastScan) {
    addHeads(kA, {0, 1});
    addHead(kB, 2);

    receive({0xFF, 0x05, 0x00, 0x00, 0x41});
    runFor(timing::kScanAnswerMinMs / 2);
    ASSERT_THAT(sent_, IsEmpty());
    receive({0xFF, 0x05, 0x00, 0x00, 0x42});
    runFor(timing::kScanWindowMs * 2);

    EXPECT_THAT(frames(), ElementsAre(ElementsAre(0xFF, 0x0E, 0x01, 0x00, 0x04, 0x01, 50, 40, 0, 0,
                                                  0, 0, 0x01, 0x00)));
}

TEST_F(SimWorldTest, RepeatedScanOfTheSameStudioGetsOneAnswerPerHead) {
    addHeads(kA, {0, 9});

    receive({0xFF, 0x05, 0x00, 0x00, 0x41});
    runFor(timing::kScanAnswerMinMs / 2);
    receive({0xFF, 0x05, 0x00, 0x00, 0x41});
    runFor(timing::kScanWindowMs * 2);

    EXPECT_THAT(
        frames(),
        UnorderedElementsAre(
            ElementsAre(0xFF, 0x0E, 0x01, 0x00, 0x01, 0x01, 50, 40, 0, 0, 0, 0, 0x01, 0x00),
            ElementsAre(0xFF, 0x0E, 0x01, 0x10, 0x00, 0x01, 50, 40, 0, 0, 0, 0, 0x01, 0x00)));
}

TEST_F(SimWorldTest, ScanAnswerTellsTheStateAtTheMomentItIsSent) {
    addHead(kA, 0, 56, 41);
    receive({0xFF, 0x05, 0x00, 0x00, 0x41});
    // Already tuned, so a change made while the answer is on its way shows up in that answer.
    receive({0xFF, 0x07, 0x13, 0x00, 0x01, 0x46, 0x29});
    runFor(timing::kScanWindowMs);

    const auto status = framesWithCommand({0x01});
    ASSERT_EQ(status.size(), 1u);
    EXPECT_EQ(status[0][6], 0x46);
}

TEST_F(SimWorldTest, ScanAnswerTimesFollowTheSeedAndDifferBetweenHeads) {
    const auto answerTimes = [](std::uint32_t seed) {
        std::vector<std::int64_t> times(kSlotCount, -1);
        SimWorld world(seed);
        world.setSink([&](const Frame& frame) {
            const int mask = (frame[3] << 8) | frame[4];
            const int slot = mask < 0x100 ? std::countr_zero(static_cast<unsigned>(mask))
                                          : std::countr_zero(static_cast<unsigned>(mask)) - 3;
            times[slot] = world.nowMs();
        });
        for (int slot : {0, 2, 4, 6, 8}) {
            world.addUnit({kC, slot});
        }
        world.receive(Bytes{0xFF, 0x05, 0x00, 0x00, 0x43});
        world.advanceTo(timing::kScanWindowMs);
        return times;
    };

    const auto first = answerTimes(3);
    EXPECT_EQ(first, answerTimes(3));
    EXPECT_NE(first, answerTimes(4));
    for (int slot : {0, 2, 4, 6, 8}) {
        EXPECT_GT(first[slot], 0) << "slot " << slot << " did not answer";
    }
    EXPECT_GT(std::ranges::max(first), std::ranges::min(first)) << "every head answered at once";
}

// --- settings -------------------------------------------------------------------------------

TEST_F(SimWorldTest, PowerSettingsTakeTheirOwnByteAndReportBothLevels) {
    addHead(kA, 0, 56, 41);
    addHead(kA, 1, 56, 41);
    tuneTo('A');

    // The flash power setting takes the first byte, the lamp power setting the second.
    receive({0xFF, 0x07, 0x13, 0x00, 0x01, 0x3C, 0x14});
    receive({0xFF, 0x07, 0x14, 0x00, 0x02, 0x14, 0x1E});
    runFor(1000);

    EXPECT_THAT(frames(),
                UnorderedElementsAre(ElementsAre(0xFF, 0x07, 0x13, 0x00, 0x01, 0x3C, 0x29),
                                     ElementsAre(0xFF, 0x07, 0x14, 0x00, 0x02, 0x38, 0x1E)));
    EXPECT_EQ(world_.unit({kA, 0})->flash, 60);
    EXPECT_EQ(world_.unit({kA, 0})->model, 41);
}

TEST_F(SimWorldTest, LevelsArePulledIntoRangeAndZeroLeavesThemAlone) {
    addHead(kA, 0, 56, 41);
    tuneTo('A');

    receive({0xFF, 0x07, 0x13, 0x00, 0x01, 0x5A, 0x29});
    receive({0xFF, 0x07, 0x13, 0x00, 0x01, 0x05, 0x29});
    receive({0xFF, 0x07, 0x13, 0x00, 0x01, 0x00, 0x29});
    runFor(1000);

    EXPECT_THAT(frames(), ElementsAre(ElementsAre(0xFF, 0x07, 0x13, 0x00, 0x01, 81, 41),
                                      ElementsAre(0xFF, 0x07, 0x13, 0x00, 0x01, 11, 41),
                                      ElementsAre(0xFF, 0x07, 0x13, 0x00, 0x01, 11, 41)));
}

TEST_F(SimWorldTest, EverySwitchTurnsOnForAnyNonZeroValueAndReportsOneOrZero) {
    struct SwitchCase {
        std::uint8_t command;
        std::uint8_t onValue;
        bool UnitState::*field;
    };
    const SwitchCase cases[] = {
        {0x15, 0x08, &UnitState::mode1}, {0x16, 0x10, &UnitState::mode2},
        {0x17, 0x02, &UnitState::cell},  {0x18, 0x04, &UnitState::sound},
        {0x1C, 0x01, &UnitState::lamp},  {0x1D, 0x01, &UnitState::powered},
    };
    addHead(kA, 7);
    tuneTo('A');

    for (const SwitchCase& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.command));
        for (const std::uint8_t on : {c.onValue, std::uint8_t{0x40}}) {
            sent_.clear();
            receive({0xFF, 0x07, c.command, 0x04, 0x00, 0x00, 0x00});
            receive({0xFF, 0x07, c.command, 0x04, 0x00, 0x00, on});
            runFor(1000);
            EXPECT_TRUE(world_.unit({kA, 7})->*c.field);
            EXPECT_THAT(frames(),
                        ElementsAre(ElementsAre(0xFF, 0x07, c.command, 0x04, 0x00, 0x00, 0x00),
                                    ElementsAre(0xFF, 0x07, c.command, 0x04, 0x00, 0x00, 0x01)));
        }
    }
}

TEST_F(SimWorldTest, AllUnitsMaskReachesEveryHeadOfTheTunedStudioOnly) {
    addHeads(kA, {0, 5});
    addHead(kB, 2);
    tuneTo('A');

    receive({0xFF, 0x07, 0x1D, 0x80, 0x80, 0x00, 0x00});
    runFor(1000);

    EXPECT_THAT(frames(), UnorderedElementsAre(Echo(0x1D, 0x00, 0x01), Echo(0x1D, 0x01, 0x00)));
    EXPECT_FALSE(world_.unit({kA, 0})->powered);
    EXPECT_FALSE(world_.unit({kA, 5})->powered);
    EXPECT_TRUE(world_.unit({kB, 2})->powered);
}

TEST_F(SimWorldTest, MaskSelectsExactlyTheHeadsWhoseBitsAreSet) {
    addHeads(kA, {0, 4, 5, 9});
    tuneTo('A');

    // Slots 0 and 9 plus slot 1, which has no head.
    receive({0xFF, 0x07, 0x1C, 0x10, 0x03, 0x00, 0x00});
    runFor(1000);

    EXPECT_THAT(frames(), UnorderedElementsAre(Echo(0x1C, 0x00, 0x01), Echo(0x1C, 0x10, 0x00)));
    EXPECT_TRUE(world_.unit({kA, 4})->lamp);
    EXPECT_TRUE(world_.unit({kA, 5})->lamp);
}

TEST_F(SimWorldTest, AnswersFromOneHeadNeverOvertakeEachOther) {
    addHead(kA, 3);
    tuneTo('A');

    for (const std::uint8_t level : {20, 30, 40, 50, 60, 70}) {
        receive({0xFF, 0x07, 0x13, 0x00, 0x08, level, 0x28});
    }
    runFor(1000);

    std::vector<int> reported;
    for (const Frame& frame : frames()) {
        reported.push_back(frame[5]);
    }
    EXPECT_THAT(reported, ElementsAre(20, 30, 40, 50, 60, 70));
}

TEST_F(SimWorldTest, UnitSettingsApplyEveryFieldAndAreConfirmedWithAStatusReport) {
    addHead(kA, 0, 56, 41);
    addHead(kA, 1);
    tuneTo('A');

    receive({0xFF, 0x0E, 0x01, 0x00, 0x01, 0x00, 0x3C, 0x1E, 0x02, 0x04, 0x08, 0x10, 0x00, 0x00});
    runFor(1000);

    EXPECT_THAT(frames(), ElementsAre(ElementsAre(0xFF, 0x0E, 0x01, 0x00, 0x01, 0x00, 0x3C, 0x1E,
                                                  0x01, 0x01, 0x01, 0x01, 0x00, 0x00)));
    const UnitState& head = *world_.unit({kA, 0});
    EXPECT_FALSE(head.powered);
    EXPECT_FALSE(head.lamp);
    EXPECT_TRUE(head.cell && head.sound && head.mode1 && head.mode2);
    EXPECT_TRUE(world_.unit({kA, 1})->powered) << "slot 1 was not addressed";
}

TEST_F(SimWorldTest, UnitSettingsWithZeroLevelsKeepTheLevels) {
    addHead(kA, 0, 56, 41);
    tuneTo('A');

    receive({0xFF, 0x0E, 0x01, 0x80, 0x80, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00});
    runFor(1000);

    EXPECT_THAT(frames(), ElementsAre(ElementsAre(0xFF, 0x0E, 0x01, 0x00, 0x01, 0x01, 56, 41, 0, 0,
                                                  0, 0, 0x01, 0x00)));
}

TEST_F(SimWorldTest, ReportsStillOnTheirWayAreLostWhenTheDongleRetunes) {
    addHead(kA, 0);
    addHead(kB, 2);
    tuneTo('A');

    receive({0xFF, 0x07, 0x13, 0x00, 0x01, 0x3C, 0x28});
    receive({0xFF, 0x05, 0x00, 0x00, 0x42});
    runFor(timing::kScanWindowMs);

    EXPECT_THAT(framesWithCommand({0x13}), IsEmpty());
    EXPECT_EQ(framesWithCommand({0x01}).size(), 1u);
    EXPECT_EQ(world_.unit({kA, 0})->flash, 60) << "the head itself did take the setting";
}

// --- power tables ---------------------------------------------------------------------------

TEST_F(SimWorldTest, FlashTableSetsNonZeroFlashLevelsAndEchoesEveryHead) {
    addHead(kA, 0, 56, 41);
    addHead(kA, 5);
    addHead(kB, 1);
    tuneTo('A');

    // slot 0: 60/22, slot 1 (no head in A): 70/70, slot 5: 0/33
    receive(PowerTable(0x1E, {{0, 0x3C, 0x16}, {1, 0x46, 0x46}, {5, 0x00, 0x21}}));
    runFor(1000);

    EXPECT_THAT(frames(), ElementsAre(PowerTable(0x1E, {{0, 0x3C, 0x29}, {5, 0x32, 0x28}})));
    EXPECT_EQ(world_.unit({kB, 1})->flash, 50) << "a head of another studio took the table";
}

TEST_F(SimWorldTest, ModelTableSetsNonZeroLampLevelsAndEchoesEveryHead) {
    addHead(kA, 0, 56, 41);
    addHead(kA, 5);
    tuneTo('A');

    receive(PowerTable(0x1F, {{0, 0x3C, 0x16}, {1, 0x46, 0x46}, {5, 0x00, 0x21}}));
    runFor(1000);

    EXPECT_THAT(frames(), ElementsAre(PowerTable(0x1F, {{0, 0x38, 0x16}, {5, 0x32, 0x21}})));
}

TEST_F(SimWorldTest, PowerTableBeforeAnyScanChangesNothing) {
    addHead(kA, 0, 56, 41);

    receive({0xFF, 0x17, 0x1E, 0x3C, 0x16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    runFor(1000);

    EXPECT_THAT(sent_, IsEmpty());
    EXPECT_EQ(world_.unit({kA, 0})->flash, 56);
}

// --- test flash and heat --------------------------------------------------------------------

TEST_F(SimWorldTest, TestFlashReportsDoneThenDischargedThenChargedAgain) {
    addHead(kA, 0, 56, 41);
    tuneTo('A');

    receive({0xFF, 0x07, 0x1B, 0x00, 0x01, 0x00, 0x00});
    EXPECT_FALSE(world_.unit({kA, 0})->charged);
    runFor(5000);

    EXPECT_THAT(framesWithCommand({kFlashDoneReport, kChargeReport}),
                ElementsAre(ElementsAre(0xFF, 0x07, 0x6B, 0x00, 0x01, 0x00, 0x00),
                            ElementsAre(0xFF, 0x07, 0x61, 0x00, 0x01, 0x00, 0x00),
                            ElementsAre(0xFF, 0x07, 0x61, 0x00, 0x01, 0x00, 0x01)));
    EXPECT_TRUE(world_.unit({kA, 0})->charged);
}

TEST_F(SimWorldTest, RechargeTakesLongerAtHigherPower) {
    addHead(kA, 0, 20, 40);
    addHead(kA, 1, 80, 40);
    tuneTo('A');

    receive({0xFF, 0x07, 0x1B, 0x00, 0x03, 0x00, 0x00});
    runFor(5000);

    const auto rechargeMs = [&](std::uint8_t maskLow) {
        std::int64_t fired = -1;
        std::int64_t ready = -1;
        for (const Sent& sent : sent_) {
            if (sent.frame[4] != maskLow) {
                continue;
            }
            if (sent.frame[2] == kFlashDoneReport) {
                fired = sent.atMs;
            } else if (sent.frame[2] == kChargeReport && sent.frame[6] == 1) {
                ready = sent.atMs;
            }
        }
        EXPECT_GE(fired, 0);
        EXPECT_GE(ready, 0);
        return ready - fired;
    };
    const std::int64_t low = rechargeMs(0x01);
    const std::int64_t high = rechargeMs(0x02);
    EXPECT_GT(low, 0);
    EXPECT_GT(high, low);
}

TEST_F(SimWorldTest, SwitchedOffHeadIgnoresTestFlash) {
    addHead(kA, 0);
    tuneTo('A');
    receive({0xFF, 0x07, 0x1D, 0x00, 0x01, 0x00, 0x00});
    runFor(1000);
    sent_.clear();

    receive({0xFF, 0x07, 0x1B, 0x00, 0x01, 0x00, 0x00});
    runFor(5000);

    EXPECT_THAT(sent_, IsEmpty());
    EXPECT_TRUE(world_.unit({kA, 0})->charged);
    EXPECT_EQ(world_.unit({kA, 0})->heat, 0);
}

TEST_F(SimWorldTest, BurstOfFullPowerFlashesOverheatsAHead) {
    addHead(kA, 0, 81, 40);
    tuneTo('A');

    for (int flash = 0; flash < 8; ++flash) {
        receive({0xFF, 0x07, 0x1B, 0x00, 0x01, 0x00, 0x00});
        runFor(50);
    }
    runFor(1000);

    const std::vector<int> heats = heatReports();
    ASSERT_FALSE(heats.empty());
    EXPECT_GT(std::ranges::max(heats), 60);
    EXPECT_TRUE(std::ranges::is_sorted(heats.begin(), std::ranges::max_element(heats)))
        << "heat fell during the burst";
}

TEST_F(SimWorldTest, FlashingDuringRechargeRestartsItWithOneReadyReport) {
    addHead(kA, 0, 81, 40);
    tuneTo('A');

    receive({0xFF, 0x07, 0x1B, 0x00, 0x01, 0x00, 0x00});
    runFor(100);
    receive({0xFF, 0x07, 0x1B, 0x00, 0x01, 0x00, 0x00});
    runFor(5000);

    const auto states = framesWithCommand({kFlashDoneReport, kChargeReport});
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(framesWithCommand({kFlashDoneReport}).size(), 2u);
    const auto ready = std::ranges::count_if(
        states, [](const Frame& frame) { return frame[2] == kChargeReport && frame[6] == 1; });
    EXPECT_EQ(ready, 1);
    EXPECT_EQ(states.back()[6], 1) << "the head must end up charged";
}

TEST_F(SimWorldTest, HeatCoolsOneStepAtATimeToZeroAndThenTheDongleIsIdle) {
    addHead(kA, 0, 81, 40);
    tuneTo('A');
    for (int flash = 0; flash < 3; ++flash) {
        receive({0xFF, 0x07, 0x1B, 0x00, 0x01, 0x00, 0x00});
    }
    runFor(10 * 60 * 1000);

    const std::vector<int> heats = heatReports();
    const auto peak = std::ranges::max_element(heats);
    ASSERT_NE(peak, heats.end());
    for (auto it = peak + 1; it != heats.end(); ++it) {
        EXPECT_EQ(*it, *(it - 1) - 1);
    }
    EXPECT_EQ(heats.back(), 0);
    EXPECT_EQ(world_.unit({kA, 0})->heat, 0);
    EXPECT_FALSE(world_.nextDueMs().has_value()) << "something keeps a cold dongle busy";
}

TEST_F(SimWorldTest, SetHeatIsReportedOnlyOnTheTunedChannel) {
    addHead(kA, 0);
    addHead(kB, 2);
    tuneTo('A');

    EXPECT_TRUE(world_.setHeat({kA, 0}, 70));
    EXPECT_TRUE(world_.setHeat({kB, 2}, 70));
    runFor(10);

    EXPECT_THAT(frames(), ElementsAre(ElementsAre(0xFF, 0x07, 0x3A, 0x00, 0x01, 0x00, 70)));
    EXPECT_EQ(world_.unit({kB, 2})->heat, 70);
}

TEST_F(SimWorldTest, SetHeatRefusesMissingHeadsAndValuesThatCannotBeSent) {
    addHead(kA, 0);
    EXPECT_FALSE(world_.setHeat({kA, 1}, 10));
    EXPECT_FALSE(world_.setHeat({kA, 0}, 255));
    EXPECT_FALSE(world_.setHeat({kA, 0}, -1));
    EXPECT_EQ(world_.unit({kA, 0})->heat, 0);
}

// --- heads coming and going -----------------------------------------------------------------

TEST_F(SimWorldTest, HeadRemovedOrReplacedBeforeItsAnswerStaysSilent) {
    addHeads(kA, {0, 1});
    receive({0xFF, 0x05, 0x00, 0x00, 0x41});

    EXPECT_TRUE(world_.removeUnit({kA, 0}));
    EXPECT_TRUE(world_.removeUnit({kA, 1}));
    addHead(kA, 1);
    runFor(timing::kScanWindowMs);

    EXPECT_THAT(sent_, IsEmpty());
}

TEST_F(SimWorldTest, AddAndRemoveRefuseOccupiedEmptyAndInvalidSlots) {
    addHead(kA, 0);
    EXPECT_FALSE(world_.addUnit({kA, 0}));
    EXPECT_FALSE(world_.addUnit({5, 0}));
    EXPECT_FALSE(world_.addUnit({kA, 10}));
    EXPECT_FALSE(world_.removeUnit({kA, 1}));
    EXPECT_TRUE(world_.removeUnit({kA, 0}));
    EXPECT_EQ(world_.unit({kA, 0}), nullptr);
}

// --- frames it does not understand ----------------------------------------------------------

TEST_F(SimWorldTest, AMutedHeadHearsAndSaysNothingUntilItIsUnmuted) {
    addHead(kA, 0, 56, 41);
    addHead(kA, 1, 30, 30);
    tuneTo('A');
    ASSERT_TRUE(world_.setMuted({kA, 0}, true));
    EXPECT_FALSE(world_.setMuted({kA, 2}, true)) << "no head in that slot";

    // A setting for both heads reaches only the one in range.
    receive({0xFF, 0x07, 0x13, 0x00, 0x03, 0x3C, 0x14});
    // A flash table: the muted head keeps its level, and the dongle's echo says so.
    receive(
        {0xFF, 0x17, 0x1E, 0x46, 0x29, 0x46, 0x1E, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    // A scan finds only the head in range.
    receive({0xFF, 0x05, 0x00, 0x00, 0x41});
    runFor(timing::kScanWindowMs);
    EXPECT_EQ(world_.unit({kA, 0})->flash, 56);
    EXPECT_EQ(world_.unit({kA, 1})->flash, 70);
    for (const Frame& frame : framesWithCommand({0x01, 0x13})) {
        EXPECT_EQ(frame[4], 0x02) << "the muted head in slot 0 answered";
    }
    EXPECT_THAT(framesWithCommand({0x1E}),
                ElementsAre(ElementsAre(0xFF, 0x17, 0x1E, 56, 41, 70, 30, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                        0, 0, 0, 0, 0, 0, 0)));

    sent_.clear();
    ASSERT_TRUE(world_.setMuted({kA, 0}, false));
    receive({0xFF, 0x07, 0x13, 0x00, 0x01, 0x3C, 0x14});
    runFor(1000);
    EXPECT_THAT(frames(), ElementsAre(ElementsAre(0xFF, 0x07, 0x13, 0x00, 0x01, 0x3C, 0x29)));
}

TEST_F(SimWorldTest, FramesItDoesNotUnderstandAreRefusedAndChangeNothing) {
    addHead(kA, 0, 56, 41);
    tuneTo('A');
    const std::vector<Bytes> refused = {
        {0xFF, 0x07, 0x25, 0x00, 0x01, 0x00, 0x00},  // unknown command
        {0xFF, 0x07, 0x19, 0x00, 0x01, 0x3C, 0x28},  // setting type 9 does not exist
        {0xFF, 0x07, 0x10, 0x00, 0x01, 0x3C, 0x28},  // nor does type 0
        {0xFF, 0x06, 0x13, 0x00, 0x01, 0x3C},        // setting one byte short
        {0xFF, 0x05, 0x00, 0x00, 0x46},              // studio F
        {0xFF, 0x05, 0x00, 0x01, 0x42},              // scan with a stray byte
        {0xFF, 0x07, 0x00, 0x00, 0x42, 0x00, 0x00},  // scan of the wrong length
        {0xFF, 0x07, 0x1E, 0x00, 0x01, 0x3C, 0x28},  // table of the wrong length
        {0xFF, 0x09, 0x13, 0x00, 0x01, 0x3C, 0x28},  // length byte disagrees with the frame
        {0xFF, 0x0D, 0x01, 0x00, 0x01, 0x00, 0x3C, 0x1E, 0x02, 0x04, 0x08, 0x10, 0x00},
    };
    for (const Bytes& frame : refused) {
        EXPECT_FALSE(world_.receive(frame)) << "frame with command " << int{frame[2]};
    }
    runFor(5000);

    EXPECT_THAT(sent_, IsEmpty());
    EXPECT_EQ(world_.tunedStudio(), kA);
    const UnitState& head = *world_.unit({kA, 0});
    EXPECT_EQ(head.flash, 56);
    EXPECT_EQ(head.model, 41);
    EXPECT_TRUE(head.powered && head.lamp);
}

}  // namespace
}  // namespace orvane::sim
