// The "Scan" command against the real simulated dongle: the studio of the selection is emptied,
// the dongle is asked for the units on that studio's channel, and the units that answer are
// created and shown while the "Channel scan" dialog counts its six dots.

#include "link/ZbProtocol.h"
#include "model/StudioModel.h"
#include "shell/WaitingDlg.h"
#include "support/FrameTestKit.h"

#include <QLabel>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace orvane::test;
using Pane = PaneMessageLog::Pane;

// Studio A has units in slots 0 and 5, Studio B one in slot 1.
const std::vector<std::string> kUnits = {"--unit", "A:0", "--unit", "A:5:56,41", "--unit", "B:1"};

class MainFrameScan : public ::testing::Test {
protected:
    // scanTickMs: one dot of the dialog. seed: the simulator's answer delays.
    void Start(int scanTickMs, const std::string& seed = "1") {
        f = std::make_unique<FrameInFolder>(scanTickMs);
        std::vector<std::string> args = kUnits;
        args.insert(args.end(), {"--seed", seed});
        dongle = std::make_unique<Dongle>(args);
        ASSERT_TRUE(dongle->Start());
        ASSERT_TRUE(WriteOptionFile(f->Folder(), dongle->LinkPath(), 9600));
        frame = &f->Make();
        ASSERT_TRUE(QTest::qWaitFor([&] { return frame->IsConnected(); }, 5000));
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame, 5000));
        log = std::make_unique<PaneMessageLog>(*frame);
        studioA = frame->Model().Studio(0);
        // Whatever showing the window set off among the panes is over before the test begins.
        ASSERT_TRUE(log->Settle());
        log->entries.clear();
    }

    void SelectStudioA() {
        studioA->nItemKind = TreeItemTag::StudioLine;
        frame->Model().pSelTag = studioA;
    }

    std::vector<std::intptr_t> PlacedSlots() const {
        std::vector<std::intptr_t> placed;
        for (const PaneMessageLog::Entry& e : log->Of(Pane::StudioList)) {
            if (e.message == Msg::UnitPlaced) {
                placed.push_back(e.wParam);
            }
        }
        std::sort(placed.begin(), placed.end());
        return placed;
    }

    std::unique_ptr<FrameInFolder> f;
    std::unique_ptr<Dongle> dongle;
    CMainFrame* frame = nullptr;
    std::unique_ptr<PaneMessageLog> log;
    StudioData* studioA = nullptr;
};

TEST_F(MainFrameScan, EmptiesTheStudioAsksTheDongleAndFillsItWhileTheDialogCounts) {
    ASSERT_NO_FATAL_FAILURE(Start(700));
    SelectStudioA();
    // A unit from an earlier scan that will not answer this time.
    ASSERT_EQ(frame->Model().PlaceUnit(9, 0, std::make_unique<StrobeData>()), nullptr);

    int unitsWhenListToldOfScan = -1;
    log->onEntry = [&](const PaneMessageLog::Entry& e) {
        if (e.message == Msg::ScanStarted) {
            unitsWhenListToldOfScan = studioA->nChItemCnt;
        }
    };

    struct Seen {
        bool dialog = false;
        bool slotNineGone = false;
        StudioData* scanStudio = nullptr;
        bool unitsWhileOpen = false;
        int placedWhileOpen = 0;
        QString title;
        QString finalLabel;
        int finalTicks = -1;
        int result = -1;
    } seen;
    ModalHand hand([&](QWidget* modal) {
        auto* dialog = qobject_cast<CWaitingDlg*>(modal);
        if (!dialog) {
            return false;
        }
        if (!seen.dialog) {
            seen.dialog = true;
            seen.title = dialog->windowTitle();
            seen.slotNineGone = studioA->Unit(9) == nullptr && studioA->bChUsed[9] == 0;
            seen.scanStudio = frame->Model().pScanStudio;
            QObject::connect(dialog, &QDialog::finished, dialog, [&seen, dialog](int result) {
                const auto* label = dialog->findChild<QLabel*>(QStringLiteral("scanLabel"));
                seen.finalLabel = label ? label->text() : QString();
                seen.finalTicks = dialog->Ticks();
                seen.result = result;
            });
        }
        if (dialog->isVisible()) {
            seen.unitsWhileOpen = studioA->Unit(0) && studioA->Unit(5);
            seen.placedWhileOpen = log->Count(Pane::StudioList, Msg::UnitPlaced);
        }
        return false;  // the dialog is left to close itself
    });
    frame->OnScan();

    EXPECT_FALSE(hand.GaveUp()) << "the scan dialog did not close by itself";
    ASSERT_TRUE(seen.dialog);
    EXPECT_EQ(seen.title, QStringLiteral("Channel scan"));
    EXPECT_EQ(seen.result, QDialog::Accepted);
    EXPECT_EQ(seen.finalTicks, CWaitingDlg::kTickLimit);
    EXPECT_EQ(seen.finalLabel, QStringLiteral("Studio A scanning ......"));

    // The studio list hears of the scan first, with the studio already emptied.
    ASSERT_FALSE(log->entries.empty());
    const PaneMessageLog::Entry first = log->entries.front();
    EXPECT_FALSE(first.fromPane);
    EXPECT_EQ(first.pane, Pane::StudioList);
    EXPECT_EQ(first.message, Msg::ScanStarted);
    EXPECT_EQ(first.lParam, AsLParam(studioA));
    EXPECT_EQ(unitsWhenListToldOfScan, 0);
    EXPECT_TRUE(seen.slotNineGone);
    EXPECT_EQ(seen.scanStudio, studioA);
    EXPECT_EQ(frame->Model().pScanStudio, studioA);

    EXPECT_TRUE(dongle->Logged(kScanStudioA));
    EXPECT_TRUE(seen.unitsWhileOpen) << "the answering units were not shown during the scan";
    EXPECT_EQ(seen.placedWhileOpen, 2);

    EXPECT_EQ(studioA->nChItemCnt, 2);
    ASSERT_NE(studioA->Unit(0), nullptr);
    ASSERT_NE(studioA->Unit(5), nullptr);
    EXPECT_EQ(studioA->Unit(9), nullptr);
    EXPECT_EQ(studioA->Unit(5)->nFlashValue, 56);
    EXPECT_EQ(studioA->Unit(5)->nModelValue, 41);
    EXPECT_EQ(frame->Model().Studio(1)->nChItemCnt, 0);
    EXPECT_EQ(PlacedSlots(), (std::vector<std::intptr_t>{0, 5}));
}

TEST_F(MainFrameScan, EscapeEndsTheDialogEarlyAndUnitsAnsweringLaterAreStillAdded) {
    // With this seed both units answer only after more than two seconds.
    ASSERT_NO_FATAL_FAILURE(Start(700, "4"));
    SelectStudioA();
    int unitsWhenEscaped = -1;
    int ticksWhenEscaped = -1;
    ModalHand hand([&](QWidget* modal) {
        auto* dialog = qobject_cast<CWaitingDlg*>(modal);
        if (!dialog) {
            return false;
        }
        unitsWhenEscaped = studioA->nChItemCnt;
        ticksWhenEscaped = dialog->Ticks();
        QTest::keyClick(dialog, Qt::Key_Escape);
        return true;
    });
    // As the user starts it: the toolbar button, whose click returns once the dialog has closed.
    auto* toolbar = frame->findChild<QToolBar*>();
    ASSERT_NE(toolbar, nullptr);
    QTest::mouseClick(toolbar->widgetForAction(frame->CommandAction(CMainFrame::Scan)),
                      Qt::LeftButton);
    const int unitsWhenScanReturned = studioA->nChItemCnt;

    ASSERT_TRUE(hand.Finished());
    EXPECT_FALSE(hand.GaveUp());
    EXPECT_LT(ticksWhenEscaped, CWaitingDlg::kTickLimit);
    // Nothing had answered yet, so what follows is the late answers' doing.
    ASSERT_LT(unitsWhenEscaped, 2);
    ASSERT_LT(unitsWhenScanReturned, 2);
    EXPECT_EQ(frame->Model().pScanStudio, studioA);

    ASSERT_TRUE(
        QTest::qWaitFor([&] { return log->Count(Pane::StudioList, Msg::UnitPlaced) == 2; }, 5000));
    EXPECT_EQ(studioA->nChItemCnt, 2);
    EXPECT_NE(studioA->Unit(0), nullptr);
    EXPECT_NE(studioA->Unit(5), nullptr);
    EXPECT_EQ(PlacedSlots(), (std::vector<std::intptr_t>{0, 5}));
}

TEST_F(MainFrameScan, WithoutASelectionNothingIsClearedShownOrSent) {
    ASSERT_NO_FATAL_FAILURE(Start(100));
    ASSERT_EQ(frame->Model().PlaceUnit(3, 0, std::make_unique<StrobeData>()), nullptr);
    frame->Model().pSelTag = nullptr;
    // Any dialog that did open is closed again at once, so that the test can report it.
    ModalHand hand([](QWidget* modal) {
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        }
        return false;
    });
    frame->OnScan();
    ASSERT_TRUE(log->Settle());

    EXPECT_EQ(hand.ModalsSeen(), 0);
    EXPECT_TRUE(log->entries.empty()) << testing::PrintToString(log->entries);
    EXPECT_EQ(frame->Model().pScanStudio, nullptr);
    EXPECT_NE(studioA->Unit(3), nullptr);
    // A frame of our own as a marker: the line keeps order, so whatever the scan had written
    // would be logged before it.
    frame->Protocol().SendScanRequest(2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dongle->Logged(kScanStudioC); }, 5000));
    std::vector<std::string> received;
    for (const std::string& line : dongle->LoggedFrames()) {
        if (line.starts_with("in")) {
            received.push_back(line);
        }
    }
    EXPECT_EQ(received, std::vector<std::string>{kScanStudioC});
}

}  // namespace
