#include "link/CommThread.h"
#include "platform/PortCheck.h"
#include "platform/SerialDevice.h"
#include "support/NotifyRecorder.h"
#include "support/PseudoTerminal.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace {

// A device node made in a scratch folder, or the reason it could not be (containers often forbid
// mknod). Nothing here ever opens a node but the one test that says so.
QString MakeCharNode(const QTemporaryDir& dir, const char* name, unsigned major, unsigned minor,
                     QString* refusal) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    if (::mknod(path.toLocal8Bit().constData(), S_IFCHR | 0600, makedev(major, minor)) != 0) {
        *refusal = QStringLiteral("mknod is not permitted here: ") +
                   QString::fromLocal8Bit(std::strerror(errno));
        return {};
    }
    return path;
}

// Counts the opens of one file as the kernel reports them, whoever opens it and however the open
// ends; looking at a file (stat, readlink) is no open.
class OpenWatch {
public:
    explicit OpenWatch(const QString& path) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (fd_ >= 0 && ::inotify_add_watch(fd_, path.toLocal8Bit().constData(), IN_OPEN) < 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~OpenWatch() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;

    bool IsValid() const { return fd_ >= 0; }

    // Opens reported since the last call.
    int TakeOpens() {
        int opens = 0;
        alignas(inotify_event) char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n <= 0) {
                return opens;
            }
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                opens += (event->mask & IN_OPEN) ? 1 : 0;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

private:
    int fd_;
};

}  // namespace

TEST(PortPath, RelativeNamesStayUnderDevAndAbsolutePathsAreKept) {
    const auto path = [](const char* name) {
        return CSerialDevice::PathForPort(QString::fromLatin1(name)).toStdString();
    };
    EXPECT_EQ(path("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(path("serial/by-id/usb-Acme-if00"), "/dev/serial/by-id/usb-Acme-if00");
    EXPECT_EQ(path("..ttyS0"), "/dev/..ttyS0");
    EXPECT_EQ(path("/tmp/orvane/tty"), "/tmp/orvane/tty");
    for (const char* refused :
         {"..", "../etc/passwd", "pts/../../etc/passwd", "serial/..", "./../ttyS0", ""}) {
        EXPECT_EQ(path(refused), "") << refused;
    }
}

TEST(PortPath, NameLeavingDevIsRefusedEvenWhenItLeadsToATerminal) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.IsOpen());
    NotifyRecorder recorder;
    CCommThread link(&recorder);
    PortSettings settings;
    settings.sPortName = QStringLiteral("..") + pty.SlavePath();  // "../dev/pts/N"
    EXPECT_EQ(link.Open(settings), 0);
    EXPECT_FALSE(link.IsConnected());
}

TEST(TerminalCheck, TellsTerminalsFromOtherFilesWithoutOpeningThem) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.IsOpen());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // The simulator hands out its line as a symbolic link to the slave.
    const QString link = dir.filePath(QStringLiteral("dongle"));
    ASSERT_TRUE(QFile::link(pty.SlavePath(), link));
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const QString regular = dir.filePath(QStringLiteral("regular"));
    {
        QFile file(regular);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    EXPECT_TRUE(CSerialDevice::IsTerminalDevice(pty.SlavePath()));
    EXPECT_TRUE(CSerialDevice::IsTerminalDevice(link));
    for (const QString& other :
         {QStringLiteral("/dev/null"), QStringLiteral("/dev/ptmx"), QStringLiteral("/dev/tty"),
          fifo, regular, dir.path(), dir.filePath(QStringLiteral("missing")), QString()}) {
        EXPECT_FALSE(CSerialDevice::IsTerminalDevice(other)) << other.toStdString();
    }

    // Nodes with the numbers of a watchdog (whose open arms it) and of a serial line: neither is
    // opened to decide, so making them is safe.
    QString refusal;
    const QString watchdog = MakeCharNode(dir, "watchdog", 10, 130, &refusal);
    if (watchdog.isEmpty()) {
        GTEST_SKIP() << refusal.toStdString();
    }
    EXPECT_FALSE(CSerialDevice::IsTerminalDevice(watchdog));
    if (QFile::exists(QStringLiteral("/sys/dev/char/4:64"))) {
        const QString serial = MakeCharNode(dir, "ttyS0", 4, 64, &refusal);
        EXPECT_TRUE(CSerialDevice::IsTerminalDevice(serial));
    }
}

// A name in Option.xml is tried every half second: a device that is not a terminal must be
// refused before any open, not opened and closed again.
TEST(TerminalCheck, CharacterDeviceThatIsNotATerminalIsNeverOpened) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString refusal;
    // The numbers of /dev/null: opening it does nothing, so the watch can be shown to work.
    const QString node = MakeCharNode(dir, "ttyNOTATERMINAL", 1, 3, &refusal);
    if (node.isEmpty()) {
        GTEST_SKIP() << refusal.toStdString();
    }
    OpenWatch watch(node);
    ASSERT_TRUE(watch.IsValid());

    CSerialDevice device;
    EXPECT_FALSE(device.Open(node, SerialLineSettings{}));
    NotifyRecorder recorder;
    CCommThread link(&recorder);
    PortSettings settings;
    settings.sPortName = node;
    for (int tick = 0; tick < 3; ++tick) {
        EXPECT_EQ(link.Open(settings), 0);
    }
    EXPECT_EQ(watch.TakeOpens(), 0);

    const int fd = ::open(node.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        GTEST_SKIP() << "device nodes cannot be opened in " << dir.path().toStdString()
                     << ", so the watch cannot be shown to see opens";
    }
    ::close(fd);
    EXPECT_EQ(watch.TakeOpens(), 1);
}

// The Com dialog looks at every port the user selects: that look must not open the device either.
TEST(TerminalCheck, LookingForWhatStandsInAPortsWayOpensNothing) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.IsOpen());
    OpenWatch watch(pty.SlavePath());
    ASSERT_TRUE(watch.IsValid());
    EXPECT_EQ(PortCheck::Check(pty.SlavePath()).problem, PortProblem::None);
    EXPECT_EQ(watch.TakeOpens(), 0);

    CSerialDevice device;
    ASSERT_TRUE(device.Open(pty.SlavePath(), SerialLineSettings{}));
    EXPECT_EQ(watch.TakeOpens(), 1);
}
