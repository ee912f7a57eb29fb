#pragma once

#include <QCoreApplication>
#include <QString>

#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

// A real terminal line for the link to open: the link gets the slave side by its path, the test
// plays the dongle on the master side. The line starts as the system leaves a new terminal, cooked
// and echoing, so whatever raw behaviour the tests see is the link's own doing; the test keeps a
// slave descriptor of its own to look at the line's settings.
//
// While it waits for the link's bytes, the test's event loop runs: the link hands a busy line its
// frames from a timer, as the program's own loop would run it.
class PseudoTerminal {
public:
    static constexpr std::chrono::milliseconds kDeadline{5000};

    PseudoTerminal() {
        if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) {
            return;
        }
        if (const char* name = ::ttyname(slave_)) {
            slavePath_ = QString::fromLocal8Bit(name);
        }
    }
    ~PseudoTerminal() {
        HangUp();
        CloseSlave();
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool IsOpen() const { return master_ >= 0 && slave_ >= 0 && !slavePath_.isEmpty(); }
    const QString& SlavePath() const { return slavePath_; }
    int SlaveFd() const { return slave_; }

    // What the dongle sends, in one write() call, so that it reaches the link as one batch.
    bool Send(std::span<const std::uint8_t> bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
    bool Send(std::initializer_list<std::uint8_t> bytes) {
        return Send(std::span<const std::uint8_t>(bytes.begin(), bytes.size()));
    }

    // What the link wrote: reads until count bytes arrived or the deadline passed, and returns
    // what arrived.
    std::vector<std::uint8_t> Receive(std::size_t count) {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + kDeadline;
        std::vector<std::uint8_t> bytes;
        while (bytes.size() < count) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                break;
            }
            const int ready = WaitReadable(static_cast<int>(left.count()));
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready <= 0) {
                break;
            }
            std::uint8_t chunk[512];
            const std::size_t want = std::min(sizeof chunk, count - bytes.size());
            const ssize_t n = ::read(master_, chunk, want);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            bytes.insert(bytes.end(), chunk, chunk + n);
        }
        return bytes;
    }

    // Bytes the link wrote that wait to be read, without reading them or running the event loop.
    std::size_t Pending() const {
        int count = 0;
        return ::ioctl(master_, FIONREAD, &count) == 0 ? static_cast<std::size_t>(count) : 0;
    }

    // Reads and drops what the link wrote until nothing more arrives for quietMs; returns how many
    // bytes that was.
    std::size_t Drain(int quietMs = 200) {
        std::size_t dropped = 0;
        for (;;) {
            const int ready = WaitReadable(quietMs);
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready <= 0) {
                return dropped;
            }
            std::uint8_t chunk[4096];
            const ssize_t n = ::read(master_, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return dropped;
            }
            dropped += static_cast<std::size_t>(n);
        }
    }

    // The dongle is pulled: closing the master hangs the line up for every slave descriptor.
    void HangUp() {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }

    void CloseSlave() {
        if (slave_ >= 0) {
            ::close(slave_);
            slave_ = -1;
        }
    }

private:
    // 1 once the link's bytes can be read, 0 when none came within timeoutMs, -1 on an error.
    int WaitReadable(int timeoutMs) {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (QCoreApplication::instance()) {
                QCoreApplication::processEvents();
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            // Short slices while an event loop has work that may write more.
            const int slice = QCoreApplication::instance()
                                  ? static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, 1))
                                  : static_cast<int>(std::max<std::int64_t>(left.count(), 0));
            pollfd fd{master_, POLLIN, 0};
            const int ready = ::poll(&fd, 1, slice);
            if (ready < 0) {
                return -1;
            }
            if (ready > 0) {
                return (fd.revents & POLLIN) ? 1 : 0;
            }
            if (left.count() <= 0) {
                return 0;
            }
        }
    }

    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
};
