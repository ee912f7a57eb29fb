// Why a port does not open, found by real opens, and the words the user reads for each reason.

#include "link/CommThread.h"
#include "link/PortReportText.h"
#include "platform/LowLatency.h"
#include "platform/PortCheck.h"
#include "support/NotifyRecorder.h"
#include "support/PseudoTerminal.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace {

// Another program with the line open under a command name of its own, locked as most serial
// programs do, or not. It lets go when destroyed.
class ForeignHolder {
public:
    ForeignHolder(const QString& device, bool lock) {
        const QByteArray path = device.toLocal8Bit();
        int ready[2];
        if (::pipe(ready) != 0 || ::pipe(release_) != 0 || (pid_ = ::fork()) < 0) {
            return;
        }
        if (pid_ == 0) {  // system calls only: the child never returns into the test
            ::close(release_[1]);
            ::prctl(PR_SET_NAME, "dongle-holder");
            const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            char held = fd >= 0 && (!lock || ::flock(fd, LOCK_EX | LOCK_NB) == 0);
            [[maybe_unused]] auto w = ::write(ready[1], &held, 1);
            [[maybe_unused]] auto r = ::read(release_[0], &held, 1);
            ::_exit(0);
        }
        ::close(release_[0]);
        ::close(ready[1]);
        char held = 0;
        held_ = ::read(ready[0], &held, 1) == 1 && held == 1;
        ::close(ready[0]);
    }
    ~ForeignHolder() {
        ::close(release_[1]);
        if (pid_ > 0) {
            ::waitpid(pid_, nullptr, 0);
        }
    }

    pid_t Pid() const { return held_ ? pid_ : -1; }

private:
    pid_t pid_ = -1;
    bool held_ = false;
    int release_[2] = {-1, -1};
};

class PortDoctor : public ::testing::Test {
protected:
    PortReport TryOpen(const QString& port, int baud = 9600, int stopBits = 0) {
        PortSettings settings;
        settings.sPortName = port;
        settings.nBaudRate = baud;
        settings.nStopBits = static_cast<std::uint8_t>(stopBits);
        EXPECT_EQ(link.Open(settings), 0) << port.toStdString();
        return link.LastOpenProblem();
    }

    NotifyRecorder recorder;
    CCommThread link{&recorder};
    QTemporaryDir dir;
    PseudoTerminal pty;
};

}  // namespace

TEST_F(PortDoctor, NothingThereOrNoTerminalThereIsToldWithTheDeviceAndTheFix) {
    const QString dangling = dir.filePath("dongle");  // as a pulled dongle's link would be
    ASSERT_TRUE(QFile::link(dir.filePath("gone"), dangling));
    for (const QString& port : {QString("ttyORVANEMISSING"), dangling, QString("../etc/passwd")}) {
        const PortReport report = TryOpen(port);
        EXPECT_EQ(report.problem, PortProblem::NoSuchDevice) << port.toStdString();
        EXPECT_TRUE(PortReportText(report).endsWith(
            ": no such device. Is the dongle plugged in? Press Com to pick its port."));
    }
    EXPECT_TRUE(PortReportText(TryOpen("ttyORVANEMISSING")).startsWith("Port /dev/ttyORVANE"));

    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    for (const QString& port : {fifo, dir.path(), QString("/dev/null")}) {
        EXPECT_EQ(PortReportText(TryOpen(port)),
                  "Port " + port + " is not a serial port. Press Com to pick its port.");
    }
}

TEST_F(PortDoctor, LockedLineNamesItsHolderOnEveryRetryAndOpensOnceLetGo) {
    auto holder = std::make_unique<ForeignHolder>(pty.SlavePath(), true);
    ASSERT_GT(holder->Pid(), 0);
    for (int retry = 0; retry < 3; ++retry) {
        const PortReport report = TryOpen(pty.SlavePath());
        EXPECT_EQ(report.problem, PortProblem::InUse);
        EXPECT_EQ(PortReportText(report),
                  QString("Port %1 is in use by dongle-holder (process %2). Close that program, "
                          "or press Com to pick another port.")
                      .arg(pty.SlavePath())
                      .arg(holder->Pid()));
    }
    // The look that opens nothing sees the lock as well.
    EXPECT_EQ(PortCheck::Check(pty.SlavePath()).holder, link.LastOpenProblem().holder);

    holder.reset();
    PortSettings settings;
    settings.sPortName = pty.SlavePath();
    ASSERT_EQ(link.Open(settings), 1);
    EXPECT_EQ(PortReportText(link.LastOpenProblem()), "Port " + pty.SlavePath() + " is open.");
}

// A program with the line open but unlocked (the simulator keeps its own side so) does not stop
// an open, so the look before opening lets it be; the walk through the processes' descriptors,
// made when an open is refused without a lock to tell by whom, finds it, and leaves out this
// process's own descriptor.
TEST_F(PortDoctor, UnlockedHolderIsFoundOnlyByItsDescriptors) {
    EXPECT_FALSE(PortCheck::FindHolder(pty.SlavePath()).has_value());
    const ForeignHolder holder(pty.SlavePath(), false);
    ASSERT_GT(holder.Pid(), 0);
    EXPECT_EQ(PortReportText(PortCheck::Check(pty.SlavePath())),
              "Port " + pty.SlavePath() + " is there and free.");
    EXPECT_EQ(PortCheck::FindHolder(pty.SlavePath()), (PortHolder{holder.Pid(), "dongle-holder"}));
}

TEST_F(PortDoctor, SettingsTheLineCannotTakeAreRefusedAndLeaveThePortFree) {
    EXPECT_EQ(TryOpen(pty.SlavePath(), 0).problem, PortProblem::LineSettingsRefused);
    EXPECT_EQ(TryOpen(pty.SlavePath(), 9600, 1).problem, PortProblem::LineSettingsRefused);
    const PortReport odd = TryOpen(pty.SlavePath(), 12345);
    EXPECT_EQ(odd.problem, PortProblem::LineSettingsRefused);
    EXPECT_TRUE(PortReportText(odd).contains("refuses the line settings. Press Com, then Ok"));
    PortSettings settings;
    settings.sPortName = pty.SlavePath();
    EXPECT_EQ(link.Open(settings), 1);
}

TEST_F(PortDoctor, UserWithoutRightsToTheDeviceIsToldToJoinDialout) {
    ASSERT_EQ(::chmod(pty.SlavePath().toLocal8Bit().constData(), 0), 0);
    PortReport report;
    report.port = report.path = pty.SlavePath();
    if (::geteuid() != 0) {
        report = TryOpen(pty.SlavePath());
    } else {  // root opens anything: the open runs as an unprivileged user in a child
        const pid_t child = ::fork();
        if (child == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
                ::setresuid(65534, 65534, 65534) != 0) {
                ::_exit(99);
            }
            CSerialDevice device;
            device.Open(pty.SlavePath(), SerialLineSettings{});
            ::_exit(static_cast<int>(device.LastOpenProblem()) + 10 * device.LastOpenError());
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) == 99) {
            GTEST_SKIP() << "this process cannot take an unprivileged user's identity";
        }
        report.problem = static_cast<PortProblem>(WEXITSTATUS(status) % 10);
        report.error = WEXITSTATUS(status) / 10;
    }
    EXPECT_EQ(report.error, EACCES);
    EXPECT_EQ(PortReportText(report), "Port " + pty.SlavePath() +
                                          ": permission denied. Add your user to the 'dialout' "
                                          "group and log in again.");
}

// The driver's latency setting exists only on real adapters, so that path cannot be run here; on
// a pseudo-terminal the request is refused and must leave the line exactly as it was.
TEST_F(PortDoctor, LowLatencyRefusedByAPseudoTerminalLeavesTheLineAsItWas) {
    CSerialDevice device;
    ASSERT_TRUE(device.Open(pty.SlavePath(), SerialLineSettings{19200, 8, 2, 0}));
    termios before{};
    termios after{};
    ASSERT_EQ(::tcgetattr(pty.SlaveFd(), &before), 0);
    EXPECT_FALSE(RequestLowLatency(pty.SlaveFd()));
    ASSERT_EQ(::tcgetattr(pty.SlaveFd(), &after), 0);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    EXPECT_EQ(::cfgetospeed(&after), static_cast<speed_t>(B19200));
    EXPECT_EQ(after.c_cflag & CSTOPB, static_cast<tcflag_t>(CSTOPB));
}
