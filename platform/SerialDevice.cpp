#include "platform/SerialDevice.h"

#include "platform/LowLatency.h"
#include "platform/PortCheck.h"

#include <QLoggingCategory>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>

Q_LOGGING_CATEGORY(lcSerial, "orvane.link.serial", QtWarningMsg)

namespace {

bool SpeedFor(int baud, speed_t& speed) {
    struct Rate {
        int baud;
        speed_t speed;
    };
    static constexpr Rate kRates[] = {
        {50, B50},           {75, B75},           {110, B110},         {134, B134},
        {150, B150},         {200, B200},         {300, B300},         {600, B600},
        {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
        {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
        {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
        {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
        {1500000, B1500000}, {2000000, B2000000},
    };
    for (const Rate& rate : kRates) {
        if (rate.baud == baud) {
            speed = rate.speed;
            return true;
        }
    }
    return false;
}

// Applies the record's values over the line's current settings; false for values a POSIX line
// cannot take (one and a half stop bits, fewer than five data bits, an unknown rate).
bool ApplyLineSettings(termios& tio, const SerialLineSettings& s) {
    speed_t speed{};
    if (!SpeedFor(s.nBaudRate, speed)) {
        return false;
    }
    tcflag_t size = 0;
    switch (s.nDataBits) {
        case 5:
            size = CS5;
            break;
        case 6:
            size = CS6;
            break;
        case 7:
            size = CS7;
            break;
        case 8:
            size = CS8;
            break;
        default:
            return false;
    }
    tcflag_t parity = 0;
    switch (s.nParity) {
        case 0:
            break;
        case 1:
            parity = PARENB | PARODD;
            break;
        case 2:
            parity = PARENB;
            break;
        case 3:
            parity = PARENB | PARODD | CMSPAR;
            break;
        case 4:
            parity = PARENB | CMSPAR;
            break;
        default:
            return false;
    }
    tcflag_t stop = 0;
    switch (s.nStopBits) {
        case 0:
            break;
        case 2:
            stop = CSTOPB;
            break;
        default:
            return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    tio.c_cflag |= size | parity | stop | CREAD | CLOCAL;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    return cfsetispeed(&tio, speed) == 0 && cfsetospeed(&tio, speed) == 0;
}

// Whether the line runs at the rate asked for. Only the rate is compared: a pseudo-terminal forces
// eight bits without parity whatever it is told, and the frame of a real line is ours alone to
// choose (always eight bits, no parity), while the rate comes from Option.xml. The input rate is
// left out too: a driver may report 0 for "as the output rate".
bool SameRate(const termios& asked, const termios& taken) {
    return cfgetospeed(&asked) == cfgetospeed(&taken);
}

// Unix98 pseudo-terminal slaves use these majors and have no entry in sysfs.
constexpr unsigned kPtySlaveMajorFirst = 136;
constexpr unsigned kPtySlaveMajorLast = 143;
// /dev/tty, /dev/console and /dev/ptmx: filed as tty, but an alias of some other terminal or the
// multiplexer that makes a new pseudo-terminal on every open, never a line of their own.
constexpr unsigned kTtyAliasMajor = 5;

// The class the kernel files a character device under ("tty", "misc", "mem"...), or empty.
QByteArray CharDeviceSubsystem(dev_t device) {
    const QByteArray link = QByteArray("/sys/dev/char/") + QByteArray::number(major(device)) + ':' +
                            QByteArray::number(minor(device)) + "/subsystem";
    char target[PATH_MAX];
    const ssize_t n = ::readlink(link.constData(), target, sizeof target - 1);
    if (n <= 0) {
        return {};
    }
    const QByteArray path(target, static_cast<qsizetype>(n));
    return path.mid(path.lastIndexOf('/') + 1);
}

void CloseFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

}  // namespace

CSerialDevice::~CSerialDevice() {
    Close();
}

QString CSerialDevice::PathForPort(const QString& portName) {
    if (portName.isEmpty()) {
        return {};
    }
    if (portName.startsWith(u'/')) {
        return portName;
    }
    // "serial/by-id/..." is a real place under /dev; "../..." is somewhere else.
    if (portName.split(u'/').contains(QStringLiteral(".."))) {
        return {};
    }
    return QStringLiteral("/dev/") + portName;
}

bool CSerialDevice::IsTerminalDevice(const QString& path) {
    const QByteArray native = path.toLocal8Bit();
    struct stat st {};
    if (native.isEmpty() || ::stat(native.constData(), &st) != 0 || !S_ISCHR(st.st_mode)) {
        return false;
    }
    const unsigned deviceMajor = major(st.st_rdev);
    if (deviceMajor >= kPtySlaveMajorFirst && deviceMajor <= kPtySlaveMajorLast) {
        return true;
    }
    return deviceMajor != kTtyAliasMajor && CharDeviceSubsystem(st.st_rdev) == "tty";
}

bool CSerialDevice::Open(const QString& path, const SerialLineSettings& settings) {
    Close();
    // Decided before opening: the port is tried every half second, and opening some devices has
    // side effects of its own.
    lastProblem_ = PortCheck::ProblemBeforeOpen(path, lastError_);
    if (lastProblem_ != PortProblem::None) {
        qCDebug(lcSerial) << "refused before opening:" << path << std::strerror(lastError_);
        return false;
    }
    portFd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (portFd_ < 0) {
        return Refuse(errno, path);
    }
    if (!::isatty(portFd_)) {
        return Refuse(PortProblem::NotATerminal, ENOTTY, path);
    }
    // The lock decides who holds the port; only its holder marks the line exclusive, so that an
    // opener refused here cannot clear the holder's mark when it closes again.
    if (::flock(portFd_, LOCK_EX | LOCK_NB) != 0 || ::ioctl(portFd_, TIOCEXCL) != 0) {
        return Refuse(errno, path);
    }
    exclusive_ = true;
    termios tio{};
    if (::tcgetattr(portFd_, &tio) != 0) {
        return Refuse(errno, path);
    }
    if (!ApplyLineSettings(tio, settings)) {
        return Refuse(PortProblem::LineSettingsRefused, EINVAL, path);
    }
    if (::tcsetattr(portFd_, TCSANOW, &tio) != 0) {
        const int error = errno;
        return Refuse(
            error == EINVAL ? PortProblem::LineSettingsRefused : PortCheck::ProblemForError(error),
            error, path);
    }
    // tcsetattr succeeds when the driver took any part of the change: a rate it quietly kept as
    // before shows only when the settings are read back.
    termios taken{};
    if (::tcgetattr(portFd_, &taken) != 0 || !SameRate(tio, taken)) {
        return Refuse(PortProblem::LineSettingsRefused, EINVAL, path);
    }
    if (!RequestLowLatency(portFd_)) {
        qCDebug(lcSerial) << "no low-latency setting on" << path;
    }
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) {
        return Refuse(PortProblem::Other, errno, path);
    }
    Purge();
    lastProblem_ = PortProblem::None;
    lastError_ = 0;
    return true;
}

bool CSerialDevice::Refuse(int error, const QString& path) {
    return Refuse(PortCheck::ProblemForError(error), error, path);
}

bool CSerialDevice::Refuse(PortProblem problem, int error, const QString& path) {
    qCDebug(lcSerial) << "open refused:" << path << std::strerror(error);
    lastProblem_ = problem;
    lastError_ = error;
    Close();
    return false;
}

CSerialDevice::WaitResult CSerialDevice::Wait() {
    pollfd fds[2] = {{portFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    for (;;) {
        const int n = ::poll(fds, 2, -1);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return WaitResult::LineError;
        }
        break;
    }
    if (fds[1].revents & POLLIN) {
        std::uint64_t count = 0;
        [[maybe_unused]] const auto r = ::read(wakeFd_, &count, sizeof count);
        return WaitResult::Woken;
    }
    // Bytes that arrived before a hang-up are still delivered; the next wait reports the hang-up.
    if ((fds[0].revents & POLLIN) && BytesWaiting() > 0) {
        return WaitResult::Readable;
    }
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
        return WaitResult::LineError;
    }
    return WaitResult::Readable;
}

int CSerialDevice::BytesWaiting() const {
    int count = 0;
    if (portFd_ < 0 || ::ioctl(portFd_, FIONREAD, &count) != 0) {
        return 0;
    }
    return count;
}

int CSerialDevice::Read(std::span<std::uint8_t> buffer) {
    for (;;) {
        const ssize_t n = ::read(portFd_, buffer.data(), buffer.size());
        if (n >= 0) {
            return static_cast<int>(n);
        }
        if (errno != EINTR) {
            return 0;
        }
    }
}

int CSerialDevice::Write(std::span<const std::uint8_t> bytes, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(portFd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            break;
        }
        // A stalled line (flow control held, a peer that stopped reading) must not hold the
        // caller past its time-out.
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd fd{portFd_, POLLOUT, 0};
        const int ready = ::poll(&fd, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0 || (fd.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            break;
        }
    }
    return static_cast<int>(done);
}

int CSerialDevice::BytesUnsent() const {
    int count = 0;
    if (portFd_ < 0 || ::ioctl(portFd_, TIOCOUTQ, &count) != 0) {
        return 0;
    }
    return count;
}

void CSerialDevice::Wake() {
    if (wakeFd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto r = ::write(wakeFd_, &one, sizeof one);
    }
}

void CSerialDevice::Purge() {
    if (portFd_ >= 0) {
        ::tcflush(portFd_, TCIOFLUSH);
    }
}

void CSerialDevice::Close() {
    // A pseudo-terminal keeps the exclusive mark past its last close for as long as its master
    // lives, and would then refuse every unprivileged opener after us, this program included.
    if (exclusive_) {
        ::ioctl(portFd_, TIOCNXCL);
        exclusive_ = false;
    }
    CloseFd(portFd_);
    CloseFd(wakeFd_);
}
