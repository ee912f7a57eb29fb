#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>

// When the line will have carried what the link handed it, reckoned from the line rate alone: ten
// bits a byte (start, eight data bits, stop). A pseudo-terminal and a USB adapter take every write
// at once and report nothing of what is still on its way, so this is the one measure that holds on
// both; a real serial driver's own count (TIOCOUTQ) is the link's to add.
class LineClock {
public:
    using Clock = std::chrono::steady_clock;

    void SetBaudRate(int baudRate) {
        byteTime_ = baudRate > 0 ? std::chrono::nanoseconds(kNsPerSecond * kBitsPerByte / baudRate)
                                 : std::chrono::nanoseconds::zero();
        freeAt_ = {};
    }

    std::chrono::nanoseconds ByteTime() const { return byteTime_; }

    // The bytes leave after whatever is still on the line, or at once when it is idle.
    void Handed(std::size_t bytes, Clock::time_point now) {
        freeAt_ = std::max(freeAt_, now) + byteTime_ * static_cast<long>(bytes);
    }

    // How long the line still needs for what it was handed; zero once it is idle.
    std::chrono::nanoseconds BusyFor(Clock::time_point now) const {
        return freeAt_ > now ? std::chrono::nanoseconds(freeAt_ - now)
                             : std::chrono::nanoseconds::zero();
    }

private:
    static constexpr long long kNsPerSecond = 1'000'000'000;
    static constexpr long long kBitsPerByte = 10;

    std::chrono::nanoseconds byteTime_{};
    Clock::time_point freeAt_{};
};
