#include "PtyPort.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace orvane::sim {
namespace {

// Enough for minutes of traffic at any line rate the program uses; past it the program has
// clearly stopped reading and further frames are lost rather than hoarded.
constexpr std::size_t kMaxBacklog = 256 * 1024;
// After the program's side hangs up, check again this often instead of spinning on the error.
constexpr int kResumeReadMs = 200;
constexpr std::int64_t kBitsPerByte = 10;

std::string systemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace

PtyPort::PtyPort(std::string linkPath, std::optional<std::int64_t> baud, Receiver receiver)
    : linkPath_(std::move(linkPath)), baud_(baud), receiver_(std::move(receiver)) {
    resumeTimer_ = std::make_unique<QTimer>();
    resumeTimer_->setSingleShot(true);
    resumeTimer_->setInterval(kResumeReadMs);
    QObject::connect(resumeTimer_.get(), &QTimer::timeout, [this] {
        if (readNotifier_) {
            readNotifier_->setEnabled(true);
        }
    });
    if (baud_) {
        paceTimer_ = std::make_unique<QTimer>();
        paceTimer_->setTimerType(Qt::PreciseTimer);
        // Tick no faster than every millisecond and no slower than 50 ms; each tick releases
        // however many bytes the line rate allows by then.
        const std::int64_t byteMs = kBitsPerByte * 1000 / *baud_;
        paceTimer_->setInterval(static_cast<int>(std::clamp<std::int64_t>(byteMs, 1, 50)));
        QObject::connect(paceTimer_.get(), &QTimer::timeout, [this] { paceTick(); });
        readPaceTimer_ = std::make_unique<QTimer>();
        readPaceTimer_->setSingleShot(true);
        readPaceTimer_->setTimerType(Qt::PreciseTimer);
        QObject::connect(readPaceTimer_.get(), &QTimer::timeout, [this] {
            if (readNotifier_) {
                readNotifier_->setEnabled(true);
                readAvailable();
            }
        });
    }
}

PtyPort::~PtyPort() {
    unplug();
}

bool PtyPort::plug(std::string& error) {
    if (plugged()) {
        error = "already plugged in";
        return false;
    }
    int masterFd = -1;
    int slaveFd = -1;
    if (::openpty(&masterFd, &slaveFd, nullptr, nullptr, nullptr) != 0) {
        error = systemError("cannot open a pseudo-terminal");
        return false;
    }
    UniqueFd master(masterFd);
    UniqueFd slave(slaveFd);

    // Raw before anything is written: with the default echo on, every byte the dongle sent
    // would come straight back to it as if the program had sent it.
    termios settings{};
    if (::tcgetattr(slave.get(), &settings) != 0) {
        error = systemError("cannot read terminal settings");
        return false;
    }
    ::cfmakeraw(&settings);
    if (::tcsetattr(slave.get(), TCSANOW, &settings) != 0) {
        error = systemError("cannot make the terminal raw");
        return false;
    }
    std::array<char, 128> name{};
    if (::ptsname_r(master.get(), name.data(), name.size()) != 0) {
        error = systemError("cannot name the pseudo-terminal");
        return false;
    }
    ::fcntl(master.get(), F_SETFD, FD_CLOEXEC);
    ::fcntl(slave.get(), F_SETFD, FD_CLOEXEC);
    ::fcntl(master.get(), F_SETFL, ::fcntl(master.get(), F_GETFL) | O_NONBLOCK);

    devicePath_ = name.data();
    if (!publishLink(error)) {
        devicePath_.clear();
        return false;
    }
    master_ = std::move(master);
    slaveGuard_ = std::move(slave);

    readNotifier_ = std::make_unique<QSocketNotifier>(master_.get(), QSocketNotifier::Read);
    QObject::connect(readNotifier_.get(), &QSocketNotifier::activated, [this] { readAvailable(); });
    writeNotifier_ = std::make_unique<QSocketNotifier>(master_.get(), QSocketNotifier::Write);
    writeNotifier_->setEnabled(false);
    QObject::connect(writeNotifier_.get(), &QSocketNotifier::activated, [this] {
        writeNotifier_->setEnabled(false);
        if (baud_) {
            paceTick();
        } else {
            release(backlog_.size());
        }
    });
    return true;
}

void PtyPort::unplug() {
    if (!plugged()) {
        return;
    }
    // The link goes with the device, as a device node vanishes when the dongle is pulled out;
    // a link left behind could end up naming some other terminal that reuses the number.
    removeLink();
    readNotifier_.reset();
    writeNotifier_.reset();
    resumeTimer_->stop();
    if (paceTimer_) {
        paceTimer_->stop();
        readPaceTimer_->stop();
    }
    backlog_.clear();
    // Closing the master hangs up the program's open side; the guard must go as well so the
    // terminal is really gone.
    master_.reset();
    slaveGuard_.reset();
}

bool PtyPort::send(std::span<const std::uint8_t> bytes) {
    if (!plugged() || backlog_.size() + bytes.size() > kMaxBacklog) {
        return false;
    }
    backlog_.insert(backlog_.end(), bytes.begin(), bytes.end());
    if (!baud_) {
        release(backlog_.size());
    } else if (!paceTimer_->isActive()) {
        startPacing();
    }
    return true;
}

bool PtyPort::publishLink(std::string& error) {
    struct stat existing {};
    if (::lstat(linkPath_.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        error = linkPath_ + " exists and is not a symbolic link; refusing to replace it";
        return false;
    }
    // Build the link beside its final name and rename it over: the path never goes missing, and
    // a reader never sees a half-made link.
    const std::string temporary = linkPath_ + ".new." + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    if (::symlink(devicePath_.c_str(), temporary.c_str()) != 0) {
        error = systemError("cannot create a link at " + temporary);
        return false;
    }
    if (::rename(temporary.c_str(), linkPath_.c_str()) != 0) {
        error = systemError("cannot put the link at " + linkPath_);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

void PtyPort::removeLink() {
    // Only our own link: if someone has pointed the path elsewhere since, it is theirs now.
    std::array<char, 256> target{};
    const ssize_t length = ::readlink(linkPath_.c_str(), target.data(), target.size() - 1);
    if (length > 0 && std::string(target.data(), static_cast<std::size_t>(length)) == devicePath_) {
        ::unlink(linkPath_.c_str());
    }
}

void PtyPort::readAvailable() {
    std::array<std::uint8_t, 512> buffer{};
    // Only bytes found on a line nobody was reading from may find it idle; bytes left waiting
    // since the last pause were on the line all along.
    if (baud_ && !readPaused_) {
        restartReadClockIfIdle();
    }
    readPaused_ = false;
    while (master_.valid()) {
        std::size_t want = buffer.size();
        if (baud_) {
            want = std::min(want, readAllowance());
            if (want == 0) {
                pauseReading();
                return;
            }
        }
        const ssize_t count = ::read(master_.get(), buffer.data(), want);
        if (count > 0) {
            readTaken_ += count;
            if (receiver_) {
                receiver_(
                    std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(count)));
            }
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        // End of file or EIO: nobody on the other side right now. Keep the device and look again
        // a little later.
        readNotifier_->setEnabled(false);
        resumeTimer_->start();
        return;
    }
}

void PtyPort::restartReadClockIfIdle() {
    const std::int64_t nsPerByte = kBitsPerByte * 1'000'000'000 / *baud_;
    // Bytes that arrive on an idle line start it anew: the first is whole one byte time later.
    if (!readClock_.isValid() || readClock_.nsecsElapsed() >= readTaken_ * nsPerByte) {
        readClock_.start();
        readTaken_ = 0;
    }
}

std::size_t PtyPort::readAllowance() const {
    const std::int64_t nsPerByte = kBitsPerByte * 1'000'000'000 / *baud_;
    const std::int64_t carried = readClock_.nsecsElapsed() / nsPerByte;
    return static_cast<std::size_t>(std::max<std::int64_t>(carried - readTaken_, 0));
}

void PtyPort::pauseReading() {
    // Left in the terminal until the line has carried the next byte; the program meanwhile sees
    // its bytes still on their way.
    const std::int64_t nsPerByte = kBitsPerByte * 1'000'000'000 / *baud_;
    const std::int64_t dueNs = (readTaken_ + 1) * nsPerByte - readClock_.nsecsElapsed();
    readNotifier_->setEnabled(false);
    readPaused_ = true;
    readPaceTimer_->start(
        static_cast<int>(std::max<std::int64_t>((dueNs + 999'999) / 1'000'000, 1)));
}

void PtyPort::release(std::size_t count) {
    std::array<std::uint8_t, 4096> chunk{};
    while (count > 0 && !backlog_.empty() && master_.valid()) {
        const std::size_t size = std::min({count, backlog_.size(), chunk.size()});
        std::copy_n(backlog_.begin(), size, chunk.begin());
        const ssize_t written = ::write(master_.get(), chunk.data(), size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN) {
                // The terminal's buffer is full because the program isn't reading; carry on
                // when it has room again.
                writeNotifier_->setEnabled(true);
                return;
            }
            std::fprintf(stderr, "orvane-dongle-sim: write failed: %s; dropping %zu bytes\n",
                         std::strerror(errno), backlog_.size());
            backlog_.clear();
            return;
        }
        const auto sent = static_cast<std::size_t>(written);
        backlog_.erase(backlog_.begin(), backlog_.begin() + static_cast<std::ptrdiff_t>(sent));
        paceReleased_ += static_cast<std::int64_t>(sent);
        count -= sent;
    }
}

void PtyPort::startPacing() {
    // Data queued while the last byte is still "on the line" must wait behind it, so the clock
    // only restarts once the line has really gone idle.
    const bool lineIdle = !paceClock_.isValid() ||
                          paceClock_.elapsed() * *baud_ >= paceReleased_ * kBitsPerByte * 1000;
    if (lineIdle) {
        paceClock_.start();
        paceReleased_ = 0;
    }
    paceTimer_->start();
    paceTick();
}

void PtyPort::paceTick() {
    // Byte k may leave at k byte-times after the clock started.
    const std::int64_t due = paceClock_.elapsed() * *baud_ / (kBitsPerByte * 1000) + 1;
    const std::int64_t allowed = due - paceReleased_;
    if (allowed > 0) {
        release(static_cast<std::size_t>(allowed));
    }
    if (backlog_.empty()) {
        paceTimer_->stop();
    }
}

}  // namespace orvane::sim
