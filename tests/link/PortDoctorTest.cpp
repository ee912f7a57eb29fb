// Why a port does not open, found by real opens: a missing device, something that is no terminal,
// a line held by someone else, settings the line cannot take and a user without the right to
// open it; and the words the user reads for each.

#include "PseudoTerminal.h"
#include "link/CommThread.h"
#include "link/PortReportText.h"
#include "platform/LowLatency.h"
#include "platform/PortCheck.h"
#include "support/NotifyRecorder.h"

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

std::string Str(const QString& text) {
    return text.toStdString();
}

PortSettings SettingsFor(const QString& port) {
    PortSettings settings;
    settings.sPortName = port;
    return settings;
}

// Another program holding the line under a command name of its own, with a lock as most serial
// programs take one, or without (a program that only looks at the line). It lets go when
// destroyed.
class ForeignHolder {
public:
    ForeignHolder(const QString& device, bool lock) {
        int ready[2];
        if (::pipe(ready) != 0 || ::pipe(release_) != 0) {
            return;
        }
        const QByteArray path = device.toLocal8Bit();
        pid_t child = ::fork();
        if (child == 0) {
            // Only system calls from here on: the child never returns into the test.
            ::close(ready[0]);
            ::close(release_[1]);
            ::prctl(PR_SET_NAME, "dongle-holder");
            const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            const char held = (fd >= 0 && (!lock || ::flock(fd, LOCK_EX | LOCK_NB) == 0)) ? 1 : 0;
            [[maybe_unused]] auto w = ::write(ready[1], &held, 1);
            char any;
            [[maybe_unused]] auto r = ::read(release_[0], &any, 1);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release_[0]);
        char held = 0;
        if (child > 0 && ::read(ready[0], &held, 1) == 1 && held == 1) {
            pid_ = child;
        } else if (child > 0) {
            Release(child);
        }
        ::close(ready[0]);
    }
    ~ForeignHolder() { Release(pid_); }
    ForeignHolder(const ForeignHolder&) = delete;
    ForeignHolder& operator=(const ForeignHolder&) = delete;

    pid_t Pid() const { return pid_; }

    void Release(pid_t child) {
        if (release_[1] >= 0) {
            ::close(release_[1]);
            release_[1] = -1;
        }
        if (child > 0) {
            ::waitpid(child, nullptr, 0);
        }
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int release_[2] = {-1, -1};
};

class PortDoctor : public ::testing::Test {
protected:
    // Opens the port on a fresh link and gives back what the link found.
    PortReport TryOpen(const PortSettings& settings) {
        EXPECT_EQ(link.Open(settings), 0) << Str(settings.sPortName);
        EXPECT_FALSE(link.IsConnected());
        return link.LastOpenProblem();
    }

    NotifyRecorder recorder;
    CCommThread link{&recorder};
    QTemporaryDir dir;
};

}  // namespace

TEST_F(PortDoctor, MissingDeviceAsksWhetherTheDongleIsPluggedIn) {
    ASSERT_TRUE(dir.isValid());
    // A link left to a vanished pseudo-terminal, as the simulator's pulled dongle leaves none.
    const QString dangling = dir.filePath(QStringLiteral("dongle"));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("gone")), dangling));
    for (const QString& port :
         {QStringLiteral("ttyORVANEMISSING"), dangling, QStringLiteral("../etc/passwd")}) {
        const PortReport report = TryOpen(SettingsFor(port));
        EXPECT_EQ(report.problem, PortProblem::NoSuchDevice) << Str(port);
        EXPECT_EQ(report.port, port);
        EXPECT_FALSE(report.open);
        EXPECT_TRUE(PortReportText(report).endsWith(
            "no such device. Is the dongle plugged in? Press Com to pick its port."))
            << Str(PortReportText(report));
    }
    // The device the name stands for is named, not the name alone.
    const PortReport missing = TryOpen(SettingsFor(QStringLiteral("ttyORVANEMISSING")));
    EXPECT_EQ(missing.error, ENOENT);
    EXPECT_TRUE(PortReportText(missing).startsWith("Port /dev/ttyORVANEMISSING: "));
}

TEST_F(PortDoctor, AnythingButATerminalIsNoSerialPort) {
    ASSERT_TRUE(dir.isValid());
    const QString regular = dir.filePath(QStringLiteral("regular"));
    {
        QFile file(regular);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    for (const QString& port : {regular, fifo, dir.path(), QStringLiteral("/dev/null")}) {
        const PortReport report = TryOpen(SettingsFor(port));
        EXPECT_EQ(report.problem, PortProblem::NotATerminal) << Str(port);
        EXPECT_EQ(
            PortReportText(report),
            QStringLiteral("Port %1 is not a serial port. Press Com to pick its port.").arg(port));
    }
}

TEST_F(PortDoctor, LineHeldByAnotherLinkIsInUseByThisProgram) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.IsOpen());
    CCommThread first(&recorder);
    ASSERT_EQ(first.Open(SettingsFor(pty.SlavePath())), 1);

    const PortReport report = TryOpen(SettingsFor(pty.SlavePath()));
    EXPECT_EQ(report.problem, PortProblem::InUse);
    // Refused by the lock (EWOULDBLOCK) when root may ignore the exclusive mark, else by the
    // mark itself (EBUSY).
    EXPECT_TRUE(report.error == EWOULDBLOCK || report.error == EBUSY) << report.error;
    ASSERT_TRUE(report.holder.has_value());
    EXPECT_EQ(report.holder->pid, ::getpid());

    // Once the holder lets go, the same link opens it.
    first.Close();
    EXPECT_EQ(link.Open(SettingsFor(pty.SlavePath())), 1);
    EXPECT_EQ(link.LastOpenProblem().problem, PortProblem::None);
    EXPECT_TRUE(link.LastOpenProblem().open);
    EXPECT_EQ(PortReportText(link.LastOpenProblem()),
              QStringLiteral("Port %1 is open.").arg(pty.SlavePath()));
}

TEST_F(PortDoctor, LineHeldByAnotherProgramNamesItAndItsProcess) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.IsOpen());
    auto holder = std::make_unique<ForeignHolder>(pty.SlavePath(), true);
    ASSERT_GT(holder->Pid(), 0);

    // Every retry finds the same holder, also through the link the simulator would give.
    ASSERT_TRUE(dir.isValid());
    const QString viaLink = dir.filePath(QStringLiteral("dongle"));
    ASSERT_TRUE(QFile::link(pty.SlavePath(), viaLink));
    for (const QString& port : {pty.SlavePath(), pty.SlavePath(), viaLink}) {
        const PortReport report = TryOpen(SettingsFor(port));
        EXPECT_EQ(report.problem, PortProblem::InUse);
        ASSERT_TRUE(report.holder.has_value()) << Str(port);
        EXPECT_EQ(report.holder->pid, holder->Pid());
        EXPECT_EQ(report.holder->name, QStringLiteral("dongle-holder"));
        EXPECT_EQ(PortReportText(report),
                  QStringLiteral("Port %1 is in use by dongle-holder (process %2). Close that "
                                 "program, or press Com to pick another port.")
                      .arg(port)
                      .arg(holder->Pid()));
    }
    // The look that opens nothing finds it too.
    const PortReport looked = PortCheck::Check(pty.SlavePath());
    EXPECT_EQ(looked.problem, PortProblem::InUse);
    ASSERT_TRUE(looked.holder.has_value());
    EXPECT_EQ(looked.holder->pid, holder->Pid());

    holder.reset();
    EXPECT_EQ(link.Open(SettingsFor(pty.SlavePath())), 1);
}

// A program with the line open but no lock on it (the simulator keeps its own side open so) does
// not stop an open: the look before opening lets it be. Only when an open is refused all the same
// (a line marked for exclusive use refuses all but root) is it named, found by its descriptors,
// while this process's own look at the line (the test's slave descriptor) is no holder.
TEST_F(PortDoctor, ProgramWithTheLineOpenWithoutALockIsFoundByItsDescriptors) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.IsOpen());
    EXPECT_FALSE(PortCheck::FindHolder(pty.SlavePath()).has_value());

    const ForeignHolder holder(pty.SlavePath(), false);
    ASSERT_GT(holder.Pid(), 0);
    const PortReport looked = PortCheck::Check(pty.SlavePath());
    EXPECT_EQ(looked.problem, PortProblem::None);
    EXPECT_FALSE(looked.open);
    EXPECT_EQ(PortReportText(looked),
              QStringLiteral("Port %1 is there and free.").arg(pty.SlavePath()));
    const std::optional<PortHolder> found = PortCheck::FindHolder(pty.SlavePath());
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->pid, holder.Pid());
    EXPECT_EQ(found->name, QStringLiteral("dongle-holder"));
}

TEST_F(PortDoctor, SettingsTheLineCannotTakeAreRefusedAndLeaveThePortFree) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.IsOpen());
    const auto refused = [&](auto change) {
        PortSettings settings = SettingsFor(pty.SlavePath());
        change(settings);
        return TryOpen(settings);
    };
    const PortReport odd = refused([](PortSettings& s) { s.nBaudRate = 12345; });
    EXPECT_EQ(odd.problem, PortProblem::LineSettingsRefused);
    EXPECT_EQ(odd.error, EINVAL);
    EXPECT_EQ(refused([](PortSettings& s) { s.nBaudRate = 0; }).problem,
              PortProblem::LineSettingsRefused);
    EXPECT_EQ(refused([](PortSettings& s) { s.nStopBits = 1; }).problem,
              PortProblem::LineSettingsRefused);
    EXPECT_EQ(refused([](PortSettings& s) { s.nDataBits = 4; }).problem,
              PortProblem::LineSettingsRefused);
    EXPECT_TRUE(PortReportText(odd).contains("refuses the line settings. Press Com, then Ok"));

    EXPECT_EQ(link.Open(SettingsFor(pty.SlavePath())), 1);
}

TEST_F(PortDoctor, UserWithoutRightsToTheDeviceIsToldToJoinDialout) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.IsOpen());
    const QByteArray slave = pty.SlavePath().toLocal8Bit();
    ASSERT_EQ(::chmod(slave.constData(), 0), 0);
    PortReport report;
    report.port = report.path = pty.SlavePath();
    if (::geteuid() != 0) {
        report = TryOpen(SettingsFor(pty.SlavePath()));
        EXPECT_EQ(report.error, EACCES);
    } else {
        // Root opens anything: the open runs as an unprivileged user in a child.
        const pid_t child = ::fork();
        if (child == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
                ::setresuid(65534, 65534, 65534) != 0) {
                ::_exit(99);
            }
            CSerialDevice device;
            device.Open(pty.SlavePath(), SerialLineSettings{});
            ::_exit(device.LastOpenError() == EACCES ? static_cast<int>(device.LastOpenProblem())
                                                     : 98);
        }
        ASSERT_GT(child, 0);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) == 99) {
            GTEST_SKIP() << "this process cannot take an unprivileged user's identity";
        }
        report.problem = static_cast<PortProblem>(WEXITSTATUS(status));
    }
    EXPECT_EQ(report.problem, PortProblem::PermissionDenied);
    EXPECT_EQ(PortReportText(report),
              QStringLiteral("Port %1: permission denied. Add your user to the 'dialout' group "
                             "and log in again.")
                  .arg(pty.SlavePath()));
}

TEST(PortReportWords, OtherRefusalsGiveTheSystemsEnglishWords) {
    PortReport report{QStringLiteral("ttyUSB0"),
                      QStringLiteral("/dev/ttyUSB0"),
                      PortProblem::Other,
                      EIO,
                      std::nullopt,
                      false};
    EXPECT_EQ(PortReportText(report), QStringLiteral("Port /dev/ttyUSB0 cannot be opened: "
                                                     "input/output error. Press Com to pick its "
                                                     "port."));
    report.problem = PortProblem::InUse;
    EXPECT_TRUE(PortReportText(report).contains("in use by another program"));
    report.holder = PortHolder{42, QString()};
    EXPECT_TRUE(PortReportText(report).contains("in use by process 42."));
    report.port.clear();
    EXPECT_EQ(PortReportText(report),
              QStringLiteral("No port is chosen. Press Com to pick its port."));
}

// The driver's own latency setting exists only on real adapters; on a pseudo-terminal the request
// is refused and must leave the line exactly as it was.
TEST(LowLatency, RefusedOnAPseudoTerminalWithTheLineUnchanged) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.IsOpen());
    CSerialDevice device;
    ASSERT_TRUE(device.Open(pty.SlavePath(), SerialLineSettings{19200, 8, 2, 0}));
    EXPECT_EQ(device.LastOpenProblem(), PortProblem::None);
    termios before{};
    ASSERT_EQ(::tcgetattr(pty.SlaveFd(), &before), 0);
    EXPECT_FALSE(RequestLowLatency(pty.SlaveFd()));
    termios after{};
    ASSERT_EQ(::tcgetattr(pty.SlaveFd(), &after), 0);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    EXPECT_EQ(::cfgetospeed(&after), static_cast<speed_t>(B19200));
    EXPECT_EQ(after.c_cflag & (CSIZE | CSTOPB | PARENB), static_cast<tcflag_t>(CS8 | CSTOPB));
}
