#pragma once

#include "link/Frame.h"

#include <cstdint>
#include <span>

class CZbProtocol;
class ReceiveQueue;

// Cuts the received byte stream into frames and hands each complete one to the decoder. Its state
// survives between wake-ups, so a frame may arrive in pieces; every 0xFF starts a new frame, which
// is how it finds its footing again after garbage or a reopened port.
class CReceiveFramer {
public:
    enum class Phase {
        Hunting,      // waiting for a start byte
        StartSeen,    // next byte is the length
        LengthSeen,   // next byte is the command
        CollectBody,  // storing body bytes until the length is reached
    };

    explicit CReceiveFramer(CZbProtocol& protocol) : protocol_(protocol) {}

    // Takes exactly the bytes queued at the start of the call; later ones wait for the next call.
    void Run(ReceiveQueue& queue);
    void Feed(std::span<const std::uint8_t> bytes);
    void Feed(std::uint8_t b);

    Phase CurrentPhase() const { return phase_; }

private:
    void Store(std::uint8_t b) { frame_[static_cast<std::size_t>(count_++)] = b; }

    CZbProtocol& protocol_;
    Phase phase_ = Phase::Hunting;
    std::uint8_t command_ = Command::Invalid;
    int expectedLength_ = 0;
    int count_ = 0;
    FrameBuffer frame_{};
};
