#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "SimWire.h"

namespace orvane::sim {

// Cuts the received byte stream into frames. Every start byte begins a new frame, whatever came
// before it, so a lost byte costs at most the frame it belonged to. Bytes that end up in no frame
// are handed out as garbage so they can be logged, never silently lost.
class SimFramer {
public:
    using Handler = std::function<void(std::span<const std::uint8_t>)>;

    SimFramer(Handler onFrame, Handler onGarbage);

    void feed(std::span<const std::uint8_t> bytes);

private:
    enum class State { Hunting, Length, Body, Discarding };

    void take(std::uint8_t byte);
    void startFrame();
    void addGarbage(std::span<const std::uint8_t> bytes);
    void flushGarbage();

    Handler onFrame_;
    Handler onGarbage_;
    State state_ = State::Hunting;
    std::array<std::uint8_t, kMaxFrameLength> frame_{};
    std::size_t count_ = 0;
    std::size_t expected_ = 0;
    std::array<std::uint8_t, 64> garbage_{};
    std::size_t garbageCount_ = 0;
};

}  // namespace orvane::sim
