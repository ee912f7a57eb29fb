#include "SimFramer.h"

#include <utility>

namespace orvane::sim {

SimFramer::SimFramer(Handler onFrame, Handler onGarbage)
    : onFrame_(std::move(onFrame)), onGarbage_(std::move(onGarbage)) {}

void SimFramer::feed(std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t byte : bytes) {
        take(byte);
    }
    // A half-received frame waits for the rest, but stray bytes are reported per read so the log
    // shows them next to the traffic they arrived with.
    flushGarbage();
}

void SimFramer::take(std::uint8_t byte) {
    if (byte == kStartByte) {
        startFrame();
        return;
    }
    switch (state_) {
        case State::Hunting:
        case State::Discarding:
            addGarbage(std::span(&byte, 1));
            break;
        case State::Length:
            frame_[count_++] = byte;
            if (byte < kMinFrameLength || byte > kMaxFrameLength) {
                addGarbage(std::span(frame_.data(), count_));
                count_ = 0;
                state_ = State::Discarding;
            } else {
                expected_ = byte;
                state_ = State::Body;
            }
            break;
        case State::Body:
            frame_[count_++] = byte;
            if (count_ == expected_) {
                flushGarbage();
                if (onFrame_) {
                    onFrame_(std::span<const std::uint8_t>(frame_.data(), count_));
                }
                count_ = 0;
                state_ = State::Hunting;
            }
            break;
    }
}

void SimFramer::startFrame() {
    if (state_ == State::Length || state_ == State::Body) {
        addGarbage(std::span(frame_.data(), count_));
    }
    flushGarbage();
    frame_[0] = kStartByte;
    count_ = 1;
    state_ = State::Length;
}

void SimFramer::addGarbage(std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t byte : bytes) {
        if (garbageCount_ == garbage_.size()) {
            flushGarbage();
        }
        garbage_[garbageCount_++] = byte;
    }
}

void SimFramer::flushGarbage() {
    if (garbageCount_ == 0) {
        return;
    }
    if (onGarbage_) {
        onGarbage_(std::span<const std::uint8_t>(garbage_.data(), garbageCount_));
    }
    garbageCount_ = 0;
}

}  // namespace orvane::sim
