#pragma once

// What several benchmarks share: latency samples summed up as percentiles, a pseudo-terminal that
// plays the dongle, a message box service that never blocks, and how a latency benchmark is
// registered.

#include "link/UnitMask.h"
#include "model/StrobeData.h"
#include "platform/MessageBoxService.h"

#include <QString>
#include <QStringList>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace bench {

// Latencies of one kind, reported as counters: the median and the 99th percentile say more about
// an interactive path than the mean Google Benchmark prints by itself.
class Samples {
public:
    explicit Samples(std::size_t expected) { seconds_.reserve(expected); }
    void Add(double seconds) { seconds_.push_back(seconds); }
    std::size_t Count() const { return seconds_.size(); }

    // Nearest rank: the smallest sample that at least the fraction q of all samples do not exceed.
    double PercentileMicros(double q) {
        if (seconds_.empty()) {
            return 0.0;
        }
        std::sort(seconds_.begin(), seconds_.end());
        const auto rank = static_cast<std::size_t>(std::ceil(q * seconds_.size()));
        return seconds_[std::clamp<std::size_t>(rank, 1, seconds_.size()) - 1] * 1e6;
    }

    // Adds <prefix>p50_us, <prefix>p99_us and <prefix>max_us.
    void Report(benchmark::State& state, const std::string& prefix = {}) {
        if (seconds_.empty()) {
            return;
        }
        state.counters[prefix + "p50_us"] = PercentileMicros(0.50);
        state.counters[prefix + "p99_us"] = PercentileMicros(0.99);
        state.counters[prefix + "max_us"] = PercentileMicros(1.0);
    }

private:
    std::vector<double> seconds_;
};

// The dongle's end of a pseudo-terminal; the link opens the other end by its path. The slave stays
// open here as well, so the master never sees a hang-up while the program closes and reopens.
class PseudoTerminal {
public:
    PseudoTerminal() {
        std::array<char, 256> name{};
        if (::openpty(&master_, &slave_, name.data(), nullptr, nullptr) != 0) {
            return;
        }
        // Raw at once, so nothing is echoed back or held for a line end before the link's own
        // settings are in place.
        termios tio{};
        if (::tcgetattr(slave_, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(slave_, TCSANOW, &tio);
        }
        path_ = QString::fromLocal8Bit(name.data());
    }
    ~PseudoTerminal() {
        for (const int fd : {master_, slave_}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool IsOpen() const { return master_ >= 0; }
    const QString& SlavePath() const { return path_; }
    bool Send(std::span<const std::uint8_t> bytes) const {
        return ::write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // Reads what the program has written so far into buffer without waiting for more. Returns the
    // number of bytes read; 0 when nothing is waiting.
    std::size_t ReadAvailable(std::span<std::uint8_t> buffer) const {
        pollfd readable{master_, POLLIN, 0};
        if (buffer.empty() || ::poll(&readable, 1, 0) != 1 || (readable.revents & POLLIN) == 0) {
            return 0;
        }
        const ssize_t n = ::read(master_, buffer.data(), buffer.size());
        return n > 0 ? static_cast<std::size_t>(n) : 0;
    }

    // Throws away whatever the program wrote, so that its writes can never stall on a full
    // terminal buffer. Returns the number of bytes dropped.
    std::size_t Drain() const {
        std::size_t dropped = 0;
        std::array<std::uint8_t, 512> buffer{};
        pollfd readable{master_, POLLIN, 0};
        while (::poll(&readable, 1, 0) == 1 && (readable.revents & POLLIN) != 0) {
            const ssize_t n = ::read(master_, buffer.data(), buffer.size());
            if (n <= 0) {
                break;
            }
            dropped += static_cast<std::size_t>(n);
        }
        return dropped;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    QString path_;
};

// Answers every box at once instead of opening a modal loop in the middle of a measurement, and
// keeps the texts: a benchmark that was shown one did not measure the path it meant to.
class SilentMessageBox final : public CMessageBoxService {
public:
    int Show(const QString& text, const QString& caption, Buttons /*buttons*/) override {
        shown_.append(caption + QStringLiteral(": ") + text);
        return kOk;
    }
    const QStringList& Shown() const { return shown_; }

private:
    QStringList shown_;
};

// Returns once the link reckons the line idle: the last frame has had its time on the line. A
// sample that starts sooner measures the wait for the line (the link then holds the frame back
// until the line has room), not the road of one change.
template <class Link>
void WaitForIdleLine(const Link& link) {
    while (link.LineBusyFor().count() > 0) {
        ::usleep(500);
    }
}

// Registers a latency benchmark that times each iteration itself: a fixed number of samples,
// reported in microseconds.
template <int Iterations>
void TimedInMicroseconds(benchmark::internal::Benchmark* b) {
    b->UseManualTime()->Iterations(Iterations)->Unit(benchmark::kMicrosecond);
}

// The unit-settings frame of a slot as it crosses the line either way: a status report when the
// dongle sends it (command 0x01, the settings in the order the unit keeps them, no charge state),
// the unit's complete settings when the program does.
inline std::array<std::uint8_t, 14> UnitFrame(int slot, const StrobeSettings& s) {
    const std::uint16_t mask = MaskFromSlot(slot);
    const auto byte = [](int value) { return static_cast<std::uint8_t>(value); };
    return {0xFF,
            0x0E,
            0x01,
            byte(mask >> 8),
            byte(mask & 0xFF),
            byte(s.bFlashPow),
            byte(s.nFlashValue),
            byte(s.nModelValue),
            byte(s.bFlashCell),
            byte(s.bFlashSnd),
            byte(s.nModelMode1),
            byte(s.nModelMode2),
            byte(s.bModelPow),
            0x00};
}

}  // namespace bench
