#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <span>

// The bytes received and not yet framed: a ring of 4096 bytes shared by exactly one producer (the
// reader thread) and one consumer (the user-interface thread), without a lock. One slot always
// stays empty so that head == tail means empty; the queue is full at 4095 bytes.
class ReceiveQueue {
public:
    static constexpr int kCapacity = 4096;

    // Consumer and producer alike: bytes queued right now.
    int Count() const {
        return Queued(head_.load(std::memory_order_acquire), tail_.load(std::memory_order_acquire));
    }

    // Producer: a batch is taken only whole, and only when it fits into the free part.
    bool Fits(int count) const { return count < kCapacity - Count(); }

    // Producer: stores the batch and publishes it with one release of head; false (nothing
    // stored) when it does not fit.
    bool Push(std::span<const std::uint8_t> bytes) {
        const int count = static_cast<int>(bytes.size());
        if (!Fits(count)) {
            return false;
        }
        int head = head_.load(std::memory_order_relaxed);
        for (const std::uint8_t b : bytes) {
            ring_[static_cast<std::size_t>(head)] = b;
            head = (head + 1) % kCapacity;
        }
        head_.store(head, std::memory_order_release);
        return true;
    }

    // Consumer: removes and returns the oldest byte. Only call while Count() > 0.
    std::uint8_t TakeOldest() {
        const int tail = tail_.load(std::memory_order_relaxed);
        const std::uint8_t b = ring_[static_cast<std::size_t>(tail)];
        tail_.store((tail + 1) % kCapacity, std::memory_order_release);
        return b;
    }

private:
    static int Queued(int head, int tail) {
        return ((head - tail) % kCapacity + kCapacity) % kCapacity;
    }

    std::array<std::uint8_t, kCapacity> ring_{};
    std::atomic<int> head_{0};  // written by the producer only
    std::atomic<int> tail_{0};  // written by the consumer only
};
