// The program's own link, framer, decoder and event handler talking to the real simulated dongle
// over a pseudo-terminal: what the program encodes, the simulator decodes with code of its own,
// and the other way round, so the two check each other.

#include "link/CommThread.h"
#include "link/ReceiveFramer.h"
#include "link/StrobeEventHandler.h"
#include "link/ZbProtocol.h"
#include "model/StudioModel.h"
#include "support/NotifyRecorder.h"
#include "support/SimProcess.h"

#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using orvane::sim::test::SimProcess;
using orvane::sim::test::TempDir;

// Stands where the main frame stands: runs the framer on every BytesWaiting, records the rest.
class ConversationTest : public ::testing::Test {
protected:
    void Start(const std::vector<std::string>& units) {
        std::vector<std::string> args = {"--link", (dir.path() / "dongle").string()};
        args.insert(args.end(), units.begin(), units.end());
        sim = std::make_unique<SimProcess>(args, dir.path() / "stderr.txt");
        ASSERT_TRUE(sim->started());
        ASSERT_TRUE(sim->readLine(5s).has_value());
        frame.onMessage = [this](const WindowMessageEvent& m) {
            if (m.Message() == Msg::BytesWaiting) {
                framer.Run(link.Queue());
            }
        };
        PortSettings settings;
        settings.sPortName = QString::fromStdString((dir.path() / "dongle").string());
        ASSERT_EQ(link.Open(settings), 1);
    }

    // The value byte at `at` of every frame the simulator logged as taken that starts with
    // `prefix` ("FF 07 13 00 01"), in the order taken.
    std::vector<int> Taken(const std::string& prefix, std::size_t at) const {
        std::vector<int> values;
        std::ifstream log(dir.path() / "frames.log");
        const std::string wanted = " in " + prefix;
        for (std::string line; std::getline(log, line);) {
            const std::size_t found = line.find(wanted);
            if (found != std::string::npos) {
                values.push_back(std::stoi(line.substr(found + 4 + 3 * at, 2), nullptr, 16));
            }
        }
        return values;
    }

    void Select(int studio) {
        model.pStudio[studio]->nItemKind = TreeItemTag::StudioLine;
        model.pSelTag = model.pStudio[studio].get();
        model.pScanStudio = model.pStudio[studio].get();
    }

    TempDir dir;
    std::unique_ptr<SimProcess> sim;
    NotifyRecorder frame;
    StudioModel model;
    CCommThread link{&frame};
    CStrobeEventHandler handler{&frame, &model};
    CZbProtocol protocol{&handler, &link};
    CReceiveFramer framer{protocol};
};

}  // namespace

TEST_F(ConversationTest, ScanFillsTheSelectedStudioWithTheUnitsThatAnswer) {
    Start({"--unit", "A:0", "--unit", "A:5:56,41", "--unit", "B:1"});
    Select(0);
    protocol.SendScanRequest(0);
    StudioData& studioA = *model.pStudio[0];
    ASSERT_TRUE(QTest::qWaitFor([&] { return studioA.nChItemCnt == 2; }, 5000));
    QTest::qWait(300);  // nothing else may follow: Studio B's unit is on another channel
    EXPECT_EQ(studioA.nChItemCnt, 2);
    ASSERT_NE(studioA.Unit(5), nullptr);
    EXPECT_EQ(studioA.Unit(5)->nFlashValue, 56);
    EXPECT_EQ(studioA.Unit(5)->nModelValue, 41);
    EXPECT_EQ(studioA.Unit(0)->nFlashValue, 50);
    EXPECT_EQ(studioA.Unit(0)->bFlashPow, 1);
    EXPECT_EQ(frame.Count(Msg::UnitCreated), 2);
    EXPECT_EQ(model.pStudio[1]->nChItemCnt, 0);
}

TEST_F(ConversationTest, SettingsSentAreConfirmedAndAppliedToTheRecords) {
    Start({"--unit", "C:2:30,30", "--unit", "C:7:40,40"});
    Select(2);
    protocol.SendScanRequest(2);
    StudioData& studioC = *model.pStudio[2];
    ASSERT_TRUE(QTest::qWaitFor([&] { return studioC.nChItemCnt == 2; }, 5000));
    StrobeData& two = *studioC.Unit(2);
    StrobeData& seven = *studioC.Unit(7);

    // The panel stores the new value and sends it; the unit's answer confirms it.
    two.nFlashValue = 72;
    protocol.SendSetting(0, &two, SettingType::FlashPower);
    two.nFlashValue = 0;  // only the unit's report may bring the value back
    ASSERT_TRUE(QTest::qWaitFor([&] { return two.nFlashValue == 72; }, 5000));

    seven.bFlashCell = 1;
    protocol.SendSetting(0, &seven, SettingType::PhotoCell);
    seven.bFlashCell = 0;
    ASSERT_TRUE(QTest::qWaitFor([&] { return seven.bFlashCell == 1; }, 5000));

    // A group change: the power table echo sets both units.
    two.nModelValue = 61;
    seven.nModelValue = 62;
    protocol.SendPowerTable(SettingType::ModelPowerTable, &studioC);
    two.nModelValue = seven.nModelValue = 0;
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return two.nModelValue == 61 && seven.nModelValue == 62; }, 5000));

    // A test flash drains the charge and the unit reports it back once recharged.
    protocol.SendSetting(0, &two, SettingType::TestFlash);
    ASSERT_TRUE(QTest::qWaitFor([&] { return two.bFlashCharge == 0; }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return two.bFlashCharge == 1; }, 5000));
}

// Changes come every 2 ms, faster than a 9600-baud line carries their frames (7.3 ms a setting,
// 24 ms a power table), to a simulator that takes bytes no faster than that line.
TEST_F(ConversationTest, AStreamFasterThanTheLineLeavesEveryUnitWithTheLastValueAskedFor) {
    Start({"--baud", "9600", "--log", (dir.path() / "frames.log").string(), "--unit", "A:0",
           "--unit", "A:1"});
    Select(0);
    protocol.SendScanRequest(0);
    StudioData& studioA = *model.pStudio[0];
    ASSERT_TRUE(QTest::qWaitFor([&] { return studioA.nChItemCnt == 2; }, 5000));
    StrobeData& zero = *studioA.Unit(0);
    StrobeData& one = *studioA.Unit(1);

    constexpr int kChanges = 40;
    for (int n = 0; n < kChanges; ++n) {
        zero.nFlashValue = 20 + n;
        protocol.SendSetting(0, &zero, SettingType::FlashPower);
        QTest::qWait(2);
    }
    QTest::qWait(50);  // the line falls idle, so the first table goes out at once too
    for (int n = 0; n < kChanges; ++n) {
        zero.nModelValue = 20 + n;
        one.nModelValue = 21 + n;
        protocol.SendPowerTable(SettingType::ModelPowerTable, &studioA);
        QTest::qWait(2);
    }
    // Only the units' reports may bring the values back.
    zero.nFlashValue = zero.nModelValue = one.nModelValue = 0;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return zero.nFlashValue == 59 && zero.nModelValue == 59 && one.nModelValue == 60; },
        5000));

    const std::vector<int> settings = Taken("FF 07 13 00 01", 5);
    const std::vector<int> tables = Taken("FF 17 1F", 4);
    for (const std::vector<int>* values : {&settings, &tables}) {
        ASSERT_FALSE(values->empty());
        EXPECT_TRUE(std::is_sorted(values->begin(), values->end())) << "taken out of order";
        EXPECT_EQ(values->front(), 20) << "the first change waited for nothing";
        EXPECT_EQ(values->back(), 59);
        EXPECT_LT(values->size(), std::size_t{kChanges}) << "nothing was left out";
    }
}

TEST_F(ConversationTest, UnpluggedDongleEndsTheReaderAndPlugLetsTheLinkReopen) {
    Start({"--unit", "A:3"});
    ASSERT_EQ(sim->command("unplug", 5s), "ok");
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame.Count(Msg::ReaderEnded) == 1; }, 5000));
    ASSERT_TRUE(sim->command("plug", 5s).has_value());
    PortSettings settings;
    settings.sPortName = QString::fromStdString((dir.path() / "dongle").string());
    // The new device may take a moment to appear behind the link: retry as the reconnect does.
    ASSERT_TRUE(QTest::qWaitFor([&] { return link.Open(settings) == 1; }, 5000));
    Select(0);
    protocol.SendScanRequest(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.pStudio[0]->nChItemCnt == 1; }, 5000));
    EXPECT_EQ(frame.Count(Msg::ReaderEnded), 1);
}
