// Drives the real simulator binary through its pseudo-terminal, the way the program will: every
// frame sent here is written out byte by byte, and every answer is compared as raw bytes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "SlaveTerminal.h"
#include "support/SimProcess.h"

namespace orvane::sim::test {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Optional;
using ::testing::StartsWith;
using ::testing::UnorderedElementsAre;
using Clock = std::chrono::steady_clock;

// Generous: the simulator answers scans within three seconds, everything else much sooner.
constexpr auto kWait = 5s;
const Bytes kScanA{0xFF, 0x05, 0x00, 0x00, 0x41};

std::string readFile(const std::filesystem::path& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

bool linkExists(const std::filesystem::path& path) {
    return std::filesystem::is_symlink(std::filesystem::symlink_status(path));
}

class DongleSimProcessTest : public ::testing::Test {
protected:
    std::filesystem::path linkPath() const { return dir_.path() / "dongle"; }
    std::filesystem::path errorPath() const { return dir_.path() / "stderr.txt"; }
    std::string errorOutput() const { return readFile(errorPath()); }

    // Starts the simulator behind our link and opens its device as the program would.
    void launch(std::vector<std::string> args) {
        args.insert(args.begin(), {"--link", linkPath().string()});
        sim_ = std::make_unique<SimProcess>(args, errorPath());
        ASSERT_TRUE(sim_->started());
        const auto path = sim_->readLine(kWait);
        ASSERT_TRUE(path.has_value()) << "no device path; stderr: " << errorOutput();
        devicePath_ = *path;
        ASSERT_EQ(std::filesystem::read_symlink(linkPath()), devicePath_);
        device_ = std::make_unique<SlaveTerminal>(linkPath().string());
        ASSERT_TRUE(device_->isOpen());
    }

    // Waits for the next frame, but never past an overall deadline: heat reports keep arriving
    // every second, so waiting per frame alone could go on for a long time.
    std::optional<Bytes> nextFrameBefore(Clock::time_point deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        return left > 0ms ? device_->nextFrame(left) : std::nullopt;
    }

    std::vector<Bytes> collect(std::size_t count) {
        const auto deadline = Clock::now() + kWait;
        std::vector<Bytes> frames;
        while (frames.size() < count) {
            const auto frame = nextFrameBefore(deadline);
            if (!frame) {
                break;
            }
            frames.push_back(*frame);
        }
        return frames;
    }

    // Tunes the dongle to Studio A and takes the status reports of its heads off the line.
    void tuneToStudioA(std::size_t heads) {
        ASSERT_TRUE(device_->write(kScanA));
        ASSERT_EQ(collect(heads).size(), heads) << "not every head answered the scan";
    }

    TempDir dir_;
    std::unique_ptr<SimProcess> sim_;
    std::unique_ptr<SlaveTerminal> device_;
    std::string devicePath_;
};

TEST_F(DongleSimProcessTest, ScanOfStudioAGetsEveryHeadThereAndNothingFromStudioB) {
    ASSERT_NO_FATAL_FAILURE(launch({"--unit", "A:0:56,41", "--unit", "A:5", "--unit", "B:2"}));

    const auto scanned = Clock::now();
    ASSERT_TRUE(device_->write(kScanA));

    EXPECT_THAT(
        collect(2),
        UnorderedElementsAre(
            ElementsAre(0xFF, 0x0E, 0x01, 0x00, 0x01, 0x01, 56, 41, 0, 0, 0, 0, 0x01, 0x00),
            ElementsAre(0xFF, 0x0E, 0x01, 0x01, 0x00, 0x01, 50, 40, 0, 0, 0, 0, 0x01, 0x00)));
    // The scan window is three seconds; stay on the line a little past it.
    const auto rest =
        std::chrono::duration_cast<std::chrono::milliseconds>(scanned + 3500ms - Clock::now());
    EXPECT_TRUE(device_->staysQuiet(std::max(rest, 0ms))) << "something else answered the scan";
}

TEST_F(DongleSimProcessTest, SettingForOneHeadIsConfirmedByThatHeadWithBothLevels) {
    ASSERT_NO_FATAL_FAILURE(launch({"--unit", "A:0:56,41", "--unit", "A:5"}));
    ASSERT_NO_FATAL_FAILURE(tuneToStudioA(2));

    ASSERT_TRUE(device_->write({0xFF, 0x07, 0x13, 0x01, 0x00, 0x3C, 0x28}));

    EXPECT_THAT(device_->nextFrame(kWait),
                Optional(ElementsAre(0xFF, 0x07, 0x13, 0x01, 0x00, 0x3C, 0x28)));
    EXPECT_TRUE(device_->staysQuiet(500ms)) << "a head that was not addressed answered";
}

TEST_F(DongleSimProcessTest, AllUnitsMaskReachesEveryHeadOfTheStudio) {
    ASSERT_NO_FATAL_FAILURE(launch({"--unit", "A:0", "--unit", "A:5", "--unit", "B:0"}));
    ASSERT_NO_FATAL_FAILURE(tuneToStudioA(2));

    ASSERT_TRUE(device_->write({0xFF, 0x07, 0x1C, 0x80, 0x80, 0x00, 0x00}));

    EXPECT_THAT(collect(2),
                UnorderedElementsAre(ElementsAre(0xFF, 0x07, 0x1C, 0x00, 0x01, 0x00, 0x00),
                                     ElementsAre(0xFF, 0x07, 0x1C, 0x01, 0x00, 0x00, 0x00)));
}

TEST_F(DongleSimProcessTest, PowerTableIsEchoedWithTheResultingLevels) {
    ASSERT_NO_FATAL_FAILURE(launch({"--unit", "A:0:56,41", "--unit", "A:5"}));
    ASSERT_NO_FATAL_FAILURE(tuneToStudioA(2));

    ASSERT_TRUE(device_->write({0xFF, 0x17, 0x1E, 0x3C, 0x29, 0x46, 0x46, 0, 0, 0, 0, 0,
                                0,    0x00, 0x28, 0,    0,    0,    0,    0, 0, 0, 0}));

    EXPECT_THAT(device_->nextFrame(kWait),
                Optional(ElementsAre(0xFF, 0x17, 0x1E, 0x3C, 0x29, 0, 0, 0, 0, 0, 0, 0, 0, 0x32,
                                     0x28, 0, 0, 0, 0, 0, 0, 0, 0)));
}

TEST_F(DongleSimProcessTest, TestFlashIsFollowedByDischargeAndRecharge) {
    ASSERT_NO_FATAL_FAILURE(launch({"--unit", "A:0:56,41"}));
    ASSERT_NO_FATAL_FAILURE(tuneToStudioA(1));

    ASSERT_TRUE(device_->write({0xFF, 0x07, 0x1B, 0x00, 0x01, 0x00, 0x00}));

    const auto deadline = Clock::now() + kWait;
    std::vector<Bytes> states;
    while (states.size() < 3) {
        const auto frame = nextFrameBefore(deadline);
        ASSERT_TRUE(frame.has_value()) << "got only " << states.size() << " state reports";
        if ((*frame)[2] != 0x3A) {  // heat reports may come in between
            states.push_back(*frame);
        }
    }
    EXPECT_THAT(states, ElementsAre(ElementsAre(0xFF, 0x07, 0x6B, 0x00, 0x01, 0x00, 0x00),
                                    ElementsAre(0xFF, 0x07, 0x61, 0x00, 0x01, 0x00, 0x00),
                                    ElementsAre(0xFF, 0x07, 0x61, 0x00, 0x01, 0x00, 0x01)));
}

TEST_F(DongleSimProcessTest, BurstOfFullPowerFlashesDrivesTheHeatPastTheOverheatMark) {
    ASSERT_NO_FATAL_FAILURE(launch({"--unit", "A:3:81,40"}));
    ASSERT_NO_FATAL_FAILURE(tuneToStudioA(1));

    Bytes burst;
    for (int flash = 0; flash < 8; ++flash) {
        burst.insert(burst.end(), {0xFF, 0x07, 0x1B, 0x00, 0x08, 0x00, 0x00});
    }
    ASSERT_TRUE(device_->write(burst));

    const auto deadline = Clock::now() + kWait;
    int hottest = -1;
    while (hottest <= 60) {
        const auto frame = nextFrameBefore(deadline);
        if (!frame) {
            break;
        }
        if ((*frame)[2] == 0x3A) {
            EXPECT_THAT(*frame, ElementsAre(0xFF, 0x07, 0x3A, 0x00, 0x08, 0x00, testing::_));
            hottest = std::max(hottest, int{(*frame)[6]});
        }
    }
    EXPECT_GT(hottest, 60);
}

TEST_F(DongleSimProcessTest, GarbageCommandSendsRandomBytesWithoutAStartByte) {
    ASSERT_NO_FATAL_FAILURE(launch({}));

    // Enough bytes that a generator allowed to produce the start byte would all but surely do so.
    EXPECT_EQ(sim_->command("garbage 4000", kWait), "ok");
    const Bytes bytes = device_->readBytes(4000, kWait);

    ASSERT_EQ(bytes.size(), 4000u);
    EXPECT_EQ(std::ranges::count(bytes, 0xFF), 0);
    EXPECT_EQ(std::set<std::uint8_t>(bytes.begin(), bytes.end()).size(), 255u);
}

TEST_F(DongleSimProcessTest, MalformedAndUnknownFramesDoNotStopIt) {
    ASSERT_NO_FATAL_FAILURE(launch({"--unit", "A:0"}));

    Bytes junk{0xFF, 0x02, 0x13, 0x37};                                   // too short
    junk.insert(junk.end(), {0xFF, 0x07, 0x25, 0x00, 0x01, 0x00, 0x00});  // unknown command
    junk.insert(junk.end(), {0xFF, 60});  // too long, with a long run
    junk.insert(junk.end(), 58, 0x11);
    junk.insert(junk.end(), 2000, 0x00);                // no start byte at all
    junk.insert(junk.end(), {0xFF, 0x07, 0x1B, 0x00});  // cut off by the next frame
    junk.insert(junk.end(), kScanA.begin(), kScanA.end());
    ASSERT_TRUE(device_->write(junk));

    EXPECT_THAT(device_->nextFrame(kWait), Optional(ElementsAre(0xFF, 0x0E, 0x01, 0x00, 0x01, 0x01,
                                                                50, 40, 0, 0, 0, 0, 0x01, 0x00)));
    EXPECT_EQ(sim_->command("add A 1", kWait), "ok");
}

TEST_F(DongleSimProcessTest, UnplugHangsUpTheDeviceAndPlugPutsANewOneBehindTheLink) {
    ASSERT_NO_FATAL_FAILURE(launch({"--unit", "A:0"}));

    EXPECT_EQ(sim_->command("unplug", kWait), "ok");
    EXPECT_TRUE(device_->waitForHangup(kWait));
    EXPECT_FALSE(linkExists(linkPath()));
    EXPECT_THAT(sim_->command("garbage 5", kWait), Optional(StartsWith("error:")));
    EXPECT_THAT(sim_->command("unplug", kWait), Optional(StartsWith("error:")));

    const auto newPath = sim_->command("plug", kWait);
    ASSERT_TRUE(newPath.has_value());
    EXPECT_EQ(sim_->readLine(kWait), "ok");
    ASSERT_EQ(std::filesystem::read_symlink(linkPath()), *newPath);

    device_ = std::make_unique<SlaveTerminal>(linkPath().string());
    ASSERT_TRUE(device_->isOpen());
    ASSERT_TRUE(device_->write(kScanA));
    EXPECT_THAT(device_->nextFrame(kWait), Optional(ElementsAre(0xFF, 0x0E, 0x01, 0x00, 0x01, 0x01,
                                                                50, 40, 0, 0, 0, 0, 0x01, 0x00)));
}

TEST_F(DongleSimProcessTest, LogRecordsFramesInBothDirectionsAsHex) {
    const auto logPath = dir_.path() / "frames.log";
    ASSERT_NO_FATAL_FAILURE(launch({"--unit", "A:0:56,41", "--log", logPath.string()}));

    ASSERT_TRUE(device_->write({0xFF, 0x07, 0x25, 0x00, 0x01, 0x00, 0x00}));
    ASSERT_NO_FATAL_FAILURE(tuneToStudioA(1));
    EXPECT_EQ(sim_->command("garbage 4", kWait), "ok");
    ASSERT_EQ(device_->readBytes(4, kWait).size(), 4u);

    const std::vector<std::regex> expected = {
        std::regex(R"((^|\n)\d+\.\d{3} in-garbage FF 07 25 00 01 00 00\n)"),
        std::regex(R"((^|\n)\d+\.\d{3} in FF 05 00 00 41\n)"),
        std::regex(R"((^|\n)\d+\.\d{3} out FF 0E 01 00 01 01 38 29 00 00 00 00 01 00\n)"),
        std::regex(R"((^|\n)\d+\.\d{3} out-garbage( [0-9A-E][0-9A-F]){4}\n)"),
    };
    // The log line may trail the bytes on the wire by a moment; wait for it, don't assume it.
    const auto deadline = Clock::now() + kWait;
    std::string log;
    const auto complete = [&] {
        return std::ranges::all_of(
            expected, [&](const std::regex& line) { return std::regex_search(log, line); });
    };
    while (!complete() && Clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
        log = readFile(logPath);
    }
    for (const std::regex& line : expected) {
        EXPECT_TRUE(std::regex_search(log, line)) << log;
    }
}

TEST_F(DongleSimProcessTest, BaudRateHoldsOutputToTheLineSpeed) {
    ASSERT_NO_FATAL_FAILURE(launch({"--baud", "1200"}));

    const auto started = Clock::now();
    EXPECT_EQ(sim_->command("garbage 150", kWait), "ok");
    const Bytes bytes = device_->readBytes(150, 10s);
    const auto took = Clock::now() - started;

    // 1200 baud is 120 bytes a second: the last of 150 bytes cannot leave before 149 byte times.
    ASSERT_EQ(bytes.size(), 150u);
    EXPECT_GE(took, 1200ms);
}

TEST_F(DongleSimProcessTest, BaudRateHoldsWhatTheProgramSendsToTheLineSpeed) {
    const std::filesystem::path logPath = dir_.path() / "frames.log";
    ASSERT_NO_FATAL_FAILURE(launch({"--baud", "1200", "--log", logPath.string()}));

    // 20 frames of 7 bytes written at once: 140 bytes take 1.17 s at 1200 baud.
    constexpr int kFrames = 20;
    Bytes burst;
    for (int i = 0; i < kFrames; ++i) {
        burst.insert(burst.end(),
                     {0xFF, 0x07, 0x17, 0x10, 0x00, 0x00, static_cast<std::uint8_t>(i)});
    }
    const auto written = Clock::now();
    ASSERT_TRUE(device_->write(burst));
    const auto frameLines = [&] {
        std::vector<std::string> lines;
        std::istringstream log(readFile(logPath));
        for (std::string line; std::getline(log, line);) {
            if (line.find("FF 07 17 10 00 00") != std::string::npos) {
                lines.push_back(line.substr(line.size() - 2));
            }
        }
        return lines;
    };
    const auto deadline = written + 10s;
    while (frameLines().size() < kFrames && Clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    const auto took = Clock::now() - written;

    std::vector<std::string> expected;
    for (int i = 0; i < kFrames; ++i) {
        constexpr char kHex[] = "0123456789ABCDEF";
        expected.push_back({kHex[i >> 4], kHex[i & 0x0F]});
    }
    EXPECT_EQ(frameLines(), expected) << "every frame taken whole and in order";
    // The last byte cannot be taken before 139 byte times have passed.
    EXPECT_GE(took, 1100ms);
}

TEST_F(DongleSimProcessTest, ConsoleCommandsAnswerOkOrError) {
    ASSERT_NO_FATAL_FAILURE(launch({"--unit", "A:0"}));
    ASSERT_NO_FATAL_FAILURE(tuneToStudioA(1));

    EXPECT_EQ(sim_->command("add A 7", kWait), "ok");
    EXPECT_THAT(sim_->command("add A 7", kWait), Optional(StartsWith("error:")));
    EXPECT_EQ(sim_->command("remove A 7", kWait), "ok");
    EXPECT_THAT(sim_->command("remove A 7", kWait), Optional(StartsWith("error:")));
    EXPECT_THAT(sim_->command("frobnicate", kWait), Optional(StartsWith("error:")));
    EXPECT_THAT(sim_->command("heat A 7 70", kWait), Optional(StartsWith("error:")));

    EXPECT_EQ(sim_->command("heat A 0 70", kWait), "ok");
    EXPECT_THAT(device_->nextFrame(kWait),
                Optional(ElementsAre(0xFF, 0x07, 0x3A, 0x00, 0x01, 0x00, 70)));
    EXPECT_THAT(errorOutput(), HasSubstr("frobnicate"));
}

TEST_F(DongleSimProcessTest, AddedHeadAnswersTheNextScanWithDefaults) {
    ASSERT_NO_FATAL_FAILURE(launch({}));

    EXPECT_EQ(sim_->command("add b 4", kWait), "ok");
    ASSERT_TRUE(device_->write({0xFF, 0x05, 0x00, 0x00, 0x42}));

    EXPECT_THAT(device_->nextFrame(kWait), Optional(ElementsAre(0xFF, 0x0E, 0x01, 0x00, 0x10, 0x01,
                                                                50, 40, 0, 0, 0, 0, 0x01, 0x00)));
}

TEST_F(DongleSimProcessTest, EndOfStandardInputLeavesItRunning) {
    ASSERT_NO_FATAL_FAILURE(launch({"--unit", "A:0"}));

    sim_->closeInput();
    ASSERT_TRUE(device_->write(kScanA));

    EXPECT_TRUE(device_->nextFrame(kWait).has_value());
    sim_->signal(SIGTERM);
    EXPECT_EQ(sim_->waitExit(kWait), 0);
}

TEST_F(DongleSimProcessTest, QuitExitsCleanlyAndTakesTheLinkAway) {
    ASSERT_NO_FATAL_FAILURE(launch({}));

    EXPECT_EQ(sim_->command("quit", kWait), "ok");

    EXPECT_EQ(sim_->waitExit(kWait), 0);
    EXPECT_FALSE(linkExists(linkPath()));
}

TEST_F(DongleSimProcessTest, StopSignalsExitCleanlyAndTakeTheLinkAway) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        ASSERT_NO_FATAL_FAILURE(launch({}));

        sim_->signal(signal);

        EXPECT_EQ(sim_->waitExit(kWait), 0);
        EXPECT_FALSE(linkExists(linkPath()));
    }
}

TEST_F(DongleSimProcessTest, ReplacesAStaleLinkButNeverAFileOrDirectory) {
    std::filesystem::create_symlink("/nonexistent/device", linkPath());
    ASSERT_NO_FATAL_FAILURE(launch({}));
    sim_.reset();

    {
        std::ofstream(linkPath()) << "keep me";
        SimProcess refused({"--link", linkPath().string()}, errorPath());
        EXPECT_EQ(refused.waitExit(kWait), 1);
        EXPECT_EQ(readFile(linkPath()), "keep me");
        EXPECT_THAT(errorOutput(), HasSubstr("refusing"));
    }
    std::filesystem::remove(linkPath());
    std::filesystem::create_directory(linkPath());
    SimProcess refused({"--link", linkPath().string()}, errorPath());
    EXPECT_EQ(refused.waitExit(kWait), 1);
    EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::symlink_status(linkPath())));
}

TEST_F(DongleSimProcessTest, BadArgumentsExitWithStatusTwoAndCreateNothing) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--link", linkPath().string(), "--unit", "F:1"},
        {"--link", linkPath().string(), "--bogus"},
    };
    for (const auto& args : bad) {
        SimProcess sim(args, errorPath());
        EXPECT_EQ(sim.waitExit(kWait), 2);
        EXPECT_FALSE(errorOutput().empty());
        EXPECT_FALSE(linkExists(linkPath()));
    }
}

TEST_F(DongleSimProcessTest, HelpPrintsUsageAndExitsZero) {
    SimProcess sim({"--help"}, errorPath());

    EXPECT_THAT(sim.readLine(kWait), Optional(StartsWith("Usage:")));
    EXPECT_EQ(sim.waitExit(kWait), 0);
}

}  // namespace
}  // namespace orvane::sim::test
