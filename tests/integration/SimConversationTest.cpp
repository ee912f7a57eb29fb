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

#include <filesystem>
#include <memory>

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
