// The frame and the serial port, against the real simulated dongle: keeping the port open through
// unplugging and replugging, the "Com" command, what the dongle reports reaching the views, and
// letting go of the port when the program ends.

#include "link/CommThread.h"
#include "link/ZbProtocol.h"
#include "link/ui/ComSettingDlg.h"
#include "model/StudioModel.h"
#include "shell/WaitingDlg.h"
#include "support/FrameTestKit.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <termios.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace {

using namespace orvane::test;
using Pane = PaneMessageLog::Pane;

const QString kConnected = QStringLiteral("Zigbee connected");
const QString kDisconnected = QStringLiteral("Zigbee disconnected");

bool HoldsOpen(const std::string& device) {
    const std::vector<std::string> files = OpenFilesOfThisProcess();
    return std::find(files.begin(), files.end(), device) != files.end();
}

// The line settings of the pty as this process holds it open, read through its own descriptor.
std::optional<termios> LineSettingsOf(const std::string& device) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error).string() != device || error) {
            continue;
        }
        termios tio{};
        if (::tcgetattr(std::stoi(entry.path().filename().string()), &tio) == 0) {
            return tio;
        }
    }
    return std::nullopt;
}

// A frame whose Option.xml names the simulator's link, built once the simulator runs.
class FrameOnDongle : public ::testing::Test {
protected:
    bool StartDongle(std::vector<std::string> args) {
        dongle = std::make_unique<Dongle>(std::move(args));
        return dongle->Start();
    }

    CMainFrame& MakeFrame(int baud = 9600) {
        EXPECT_TRUE(WriteOptionFile(f.Folder(), dongle->LinkPath(), baud));
        return f.Make();
    }

    bool WaitConnected(CMainFrame& frame) {
        return QTest::qWaitFor([&] { return frame.ConnectionText() == kConnected; }, 5000);
    }

    using DialogStep = std::function<bool(CComSettingDlg&)>;

    // Runs "Com" and answers the "Com Setting" dialog the frame opens: `act` runs on it from a
    // timer of the dialog's own event loop until it returns true.
    static void RunComDialog(CMainFrame& frame, DialogStep act) {
        const ModalHand hand([act = std::move(act)](QWidget* modal) {
            auto* dialog = qobject_cast<CComSettingDlg*>(modal);
            return dialog && act(*dialog);
        });
        frame.OnComSetting();
        ASSERT_TRUE(hand.Finished());
        EXPECT_FALSE(hand.GaveUp());
    }

    // The dialog's answer: a port picked in the list, then the button pressed.
    static DialogStep Choose(const QString& port, const char* button) {
        return [=](CComSettingDlg& dialog) {
            ChoosePort(dialog, port);
            Click(dialog, button);
            return true;
        };
    }

    static void ChoosePort(CComSettingDlg& dialog, const QString& port) {
        const int index = dialog.PortBox()->findText(port);
        ASSERT_GE(index, 0) << port.toStdString();
        dialog.PortBox()->setCurrentIndex(index);
    }

    static void Click(CComSettingDlg& dialog, const char* button) {
        auto* push = dialog.findChild<QPushButton*>(QString::fromLatin1(button));
        ASSERT_NE(push, nullptr) << button;
        QTest::mouseClick(push, Qt::LeftButton);
    }

    std::unique_ptr<Dongle> dongle;
    FrameInFolder f{300};
};

TEST_F(FrameOnDongle, HoldsTheSavedPortAtTheSavedRateOnceBuiltWithoutRetrying) {
    ASSERT_TRUE(StartDongle({"--unit", "A:0"}));
    CMainFrame& frame = MakeFrame(19200);
    // Before the window shows or any event is handled: nothing a start can be kept waiting for
    // (the desktop's bus, the X server, a tick) may stand between the program and its dongle.
    EXPECT_TRUE(HoldsOpen(dongle->DevicePath()));
    EXPECT_TRUE(frame.IsConnected());
    EXPECT_EQ(frame.ConnectionText(), kConnected);
    EXPECT_FALSE(frame.IsReconnecting());
    // The line runs at the rate Option.xml names, eight bits, no parity, one stop bit.
    const std::optional<termios> line = LineSettingsOf(dongle->DevicePath());
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(::cfgetospeed(&*line), static_cast<speed_t>(B19200));
    EXPECT_EQ(line->c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(line->c_cflag & PARENB, 0u);
    EXPECT_EQ(line->c_cflag & CSTOPB, 0u);
    EXPECT_TRUE(f.messages.texts.isEmpty()) << f.messages.texts.join(u'|').toStdString();
}

TEST_F(FrameOnDongle, UnpluggedDongleShowsDisconnectedAndReplugReconnects) {
    ASSERT_TRUE(StartDongle({"--unit", "A:0"}));
    CMainFrame& frame = MakeFrame();
    ASSERT_TRUE(WaitConnected(frame));

    ASSERT_TRUE(dongle->Command("unplug").has_value());
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame.ConnectionText() == kDisconnected; }, 5000));
    EXPECT_FALSE(frame.IsConnected());
    EXPECT_TRUE(frame.IsReconnecting());
    // The dead line must not be held: a replugged dongle is a new device.
    EXPECT_FALSE(HoldsOpen(dongle->DevicePath()));

    const auto plugged = dongle->Command("plug");
    ASSERT_TRUE(plugged.has_value());
    ASSERT_EQ(plugged->size(), 2u);
    const std::string newDevice = plugged->front();
    ASSERT_TRUE(WaitConnected(frame));
    EXPECT_FALSE(frame.IsReconnecting());
    EXPECT_TRUE(HoldsOpen(newDevice));

    // And the new line carries what the program sends.
    frame.Protocol().SendScanRequest(0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return dongle->Logged(kScanStudioA); }, 5000));
    EXPECT_TRUE(f.messages.texts.isEmpty()) << f.messages.texts.join(u'|').toStdString();
}

TEST_F(FrameOnDongle, WithoutTheDongleKeepsRetryingUntilItAppears) {
    dongle = std::make_unique<Dongle>(std::vector<std::string>{"--unit", "A:0"});
    CMainFrame& frame = MakeFrame();
    // Several ticks find nothing behind the name; none of them may give up.
    EXPECT_FALSE(QTest::qWaitFor([&] { return frame.IsConnected(); }, 1500));
    EXPECT_EQ(frame.ConnectionText(), kDisconnected);
    EXPECT_TRUE(frame.IsReconnecting());

    ASSERT_TRUE(dongle->Start());
    ASSERT_TRUE(WaitConnected(frame));
    EXPECT_FALSE(frame.IsReconnecting());
    EXPECT_TRUE(HoldsOpen(dongle->DevicePath()));
    // Failing to open is the normal state of a missing dongle, not something to bother the user
    // with in a box.
    EXPECT_TRUE(f.messages.texts.isEmpty()) << f.messages.texts.join(u'|').toStdString();
}

TEST_F(FrameOnDongle, StatusReportsOfTheDongleCreateUnitsAndPlaceThemInTheStudioList) {
    ASSERT_TRUE(StartDongle({"--unit", "A:0", "--unit", "A:5:56,41", "--unit", "B:1"}));
    CMainFrame& frame = MakeFrame();
    ASSERT_TRUE(WaitConnected(frame));
    PaneMessageLog log(frame);
    StudioModel& model = frame.Model();
    StudioData& studioA = *model.Studio(0);
    studioA.nItemKind = TreeItemTag::StudioLine;
    model.pSelTag = &studioA;
    model.pScanStudio = &studioA;

    // The dongle's answers to a channel scan are the status reports of the units on it.
    frame.Protocol().SendScanRequest(0);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return log.Count(Pane::StudioList, Msg::UnitPlaced) == 2; }, 5000));

    ASSERT_NE(studioA.Unit(0), nullptr);
    ASSERT_NE(studioA.Unit(5), nullptr);
    EXPECT_EQ(studioA.nChItemCnt, 2);
    EXPECT_EQ(studioA.Unit(5)->nFlashValue, 56);
    EXPECT_EQ(studioA.Unit(5)->nModelValue, 41);
    EXPECT_EQ(model.Studio(1)->nChItemCnt, 0);
    std::vector<std::pair<std::intptr_t, std::intptr_t>> placed;
    for (const PaneMessageLog::Entry& e : log.Of(Pane::StudioList)) {
        if (e.message == Msg::UnitPlaced) {
            placed.emplace_back(e.wParam, e.lParam);
        }
    }
    std::sort(placed.begin(), placed.end());
    const std::vector<std::pair<std::intptr_t, std::intptr_t>> expected = {
        {0, AsLParam(studioA.Unit(0))}, {5, AsLParam(studioA.Unit(5))}};
    EXPECT_EQ(placed, expected);
    EXPECT_EQ(log.Count(Pane::Navigation, Msg::UnitPlaced), 0);
    EXPECT_EQ(log.Count(Pane::Control, Msg::UnitPlaced), 0);
}

TEST_F(FrameOnDongle, ComCancelledWhileDisconnectedKeepsThePortAndRetriesWithoutSaving) {
    CMainFrame& frame = f.Make();  // no Option.xml: COM2, which this machine does not have
    ASSERT_NO_FATAL_FAILURE(RunComDialog(frame, Choose(QStringLiteral("COM5"), "cancelButton")));

    EXPECT_EQ(frame.ConnectionText(), kDisconnected);
    EXPECT_TRUE(frame.IsReconnecting());
    EXPECT_EQ(frame.Settings().sPortName, QStringLiteral("COM2"));
    EXPECT_FALSE(ReadOptionFile(f.Folder()).has_value());
    EXPECT_TRUE(f.messages.texts.isEmpty()) << f.messages.texts.join(u'|').toStdString();
}

TEST_F(FrameOnDongle, ComConfirmedWithAMissingPortSavesItAndKeepsRetrying) {
    CMainFrame& frame = f.Make();
    ASSERT_NO_FATAL_FAILURE(RunComDialog(frame, Choose(QStringLiteral("COM7"), "okButton")));

    EXPECT_EQ(frame.ConnectionText(), kDisconnected);
    EXPECT_TRUE(frame.IsReconnecting());
    EXPECT_EQ(frame.Settings().sPortName, QStringLiteral("COM7"));
    const std::optional<StoredOptions> saved = ReadOptionFile(f.Folder());
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->portName, QStringLiteral("COM7"));
    EXPECT_EQ(saved->baud, QStringLiteral("9600"));
    // Retrying keeps failing quietly on the missing port.
    EXPECT_FALSE(QTest::qWaitFor([&] { return frame.IsConnected(); }, 700));
    EXPECT_TRUE(frame.IsReconnecting());
    EXPECT_TRUE(f.messages.texts.isEmpty()) << f.messages.texts.join(u'|').toStdString();
}

TEST_F(FrameOnDongle, ComWhileConnectedFreesThePortForTheDialogAndKeepsTheReopenedOldPort) {
    ASSERT_TRUE(StartDongle({"--unit", "A:0"}));
    CMainFrame& frame = MakeFrame();
    ASSERT_TRUE(WaitConnected(frame));
    FrameInbox inbox(frame);

    bool heldWhenOpened = true;
    bool reopenedDuringDialog = false;
    QElapsedTimer inDialog;
    const DialogStep answer = [&](CComSettingDlg& dialog) {
        if (!inDialog.isValid()) {
            inDialog.start();
            heldWhenOpened = frame.Link().IsConnected() || HoldsOpen(dongle->DevicePath());
        }
        // Past a second, the reconnect ticks have had their chance to take the old port again.
        if (inDialog.elapsed() < 1100 || !frame.IsConnected()) {
            return false;
        }
        reopenedDuringDialog = HoldsOpen(dongle->DevicePath());
        return Choose(QStringLiteral("COM3"), "okButton")(dialog);
    };
    ASSERT_NO_FATAL_FAILURE(RunComDialog(frame, answer));

    EXPECT_FALSE(heldWhenOpened);
    EXPECT_EQ(inbox.Count(Msg::ReaderEnded, true), 1);
    EXPECT_EQ(inbox.Count(Msg::ReaderEnded), 1);
    EXPECT_TRUE(reopenedDuringDialog);
    // The line that was reopened stays in use; the new choice is kept for the next start.
    EXPECT_EQ(frame.ConnectionText(), kConnected);
    EXPECT_TRUE(frame.IsConnected());
    EXPECT_EQ(frame.Link().PortPath(), dongle->LinkPath());
    EXPECT_TRUE(HoldsOpen(dongle->DevicePath()));
    const std::optional<StoredOptions> saved = ReadOptionFile(f.Folder());
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->portName, QStringLiteral("COM3"));
    EXPECT_EQ(saved->baud, QStringLiteral("9600"));
    // The simulator never went away.
    EXPECT_TRUE(dongle->Command("add A 7").has_value());
    frame.Protocol().SendScanRequest(0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return dongle->Logged(kScanStudioA); }, 5000));
}

TEST_F(FrameOnDongle, ComCancelledAfterTheOldPortWasReopenedSaysConnected) {
    ASSERT_TRUE(StartDongle({"--unit", "A:0"}));
    CMainFrame& frame = MakeFrame();
    ASSERT_TRUE(WaitConnected(frame));
    const std::optional<StoredOptions> before = ReadOptionFile(f.Folder());
    ASSERT_TRUE(before.has_value());
    QElapsedTimer inDialog;
    const DialogStep answer = [&](CComSettingDlg& dialog) {
        if (!inDialog.isValid()) {
            inDialog.start();
        }
        if (inDialog.elapsed() < 1100 || !frame.IsConnected()) {
            return false;
        }
        return Choose(QStringLiteral("COM3"), "cancelButton")(dialog);
    };
    ASSERT_NO_FATAL_FAILURE(RunComDialog(frame, answer));
    // The port the ticks took again during the dialog is open: the status line must say so.
    EXPECT_TRUE(frame.IsConnected());
    EXPECT_TRUE(HoldsOpen(dongle->DevicePath()));
    EXPECT_EQ(frame.ConnectionText(), kConnected);
    const std::optional<StoredOptions> after = ReadOptionFile(f.Folder());
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(after->portName, before->portName);
    EXPECT_EQ(frame.Settings().sPortName, before->portName);
}

TEST_F(FrameOnDongle, DestroyingTheFrameWhileBytesStreamInReleasesThePortQuickly) {
    ASSERT_TRUE(StartDongle({"--unit", "A:0"}));
    MakeFrame();
    ASSERT_TRUE(WaitConnected(*f.frame));
    FrameInbox inbox(*f.frame);
    ASSERT_TRUE(dongle->Command("garbage 3000").has_value());
    ASSERT_TRUE(QTest::qWaitFor([&] { return inbox.Count(Msg::BytesWaiting) > 0; }, 5000));
    // More noise on its way while the frame goes: the reader is busy when it is told to stop.
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(dongle->Command("garbage 3000").has_value());
    }
    QElapsedTimer clock;
    clock.start();
    f.frame.reset();
    // Not a measure of speed: only a reader that never notices it must stop takes this long.
    EXPECT_LT(clock.elapsed(), 5000);
    // What the reader posted to the window that is gone must be dropped harmlessly.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();

    EXPECT_FALSE(HoldsOpen(dongle->DevicePath()));
    EXPECT_TRUE(dongle->Command("add A 7").has_value());
    // A new start finds the port free.
    FrameInFolder again(300);
    ASSERT_TRUE(WriteOptionFile(again.Folder(), dongle->LinkPath(), 9600));
    CMainFrame& second = again.Make();
    EXPECT_TRUE(WaitConnected(second));
}

TEST_F(FrameOnDongle, ClosingTheWindowDuringAScanEndsTheProgramCleanly) {
    ASSERT_TRUE(StartDongle({"--unit", "A:0"}));
    MakeFrame();
    CMainFrame* frame = f.frame.get();
    ASSERT_TRUE(WaitConnected(*frame));
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame, 5000));
    StudioData& studioA = *frame->Model().Studio(0);
    studioA.nItemKind = TreeItemTag::StudioLine;
    frame->Model().pSelTag = &studioA;

    bool scanReturned = false;
    int ticksWhenClosed = -1;
    ModalHand hand([&](QWidget* modal) {
        auto* dialog = qobject_cast<CWaitingDlg*>(modal);
        if (!dialog) {
            return false;
        }
        ticksWhenClosed = dialog->Ticks();
        frame->close();
        return true;
    });
    // As the program runs: the scan is started from the application's own event loop, and
    // closing the last window ends that loop and every dialog's loop inside it.
    QTimer::singleShot(0, frame, [&] {
        frame->OnScan();
        scanReturned = true;
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    watchdog.start(15000);
    const int exitCode = QApplication::exec();
    watchdog.stop();

    EXPECT_EQ(exitCode, 0) << "the program did not end when its window was closed";
    EXPECT_TRUE(scanReturned);
    EXPECT_TRUE(hand.Finished());
    EXPECT_FALSE(frame->isVisible());
    EXPECT_LT(ticksWhenClosed, CWaitingDlg::kTickLimit);
    QElapsedTimer clock;
    clock.start();
    f.frame.reset();
    EXPECT_LT(clock.elapsed(), 5000);  // a hang, not a measure of speed
    EXPECT_FALSE(HoldsOpen(dongle->DevicePath()));
}

}  // namespace
