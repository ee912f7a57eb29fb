#pragma once

#include "link/LinkWriter.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Stands where the serial link stands for the protocol: keeps each write as one entry, so that a
// frame written in pieces would show, and takes every byte as a line that is open would. Its line
// is idle unless a test makes it busy.
class RecordingLinkWriter final : public CLinkWriter {
public:
    using Bytes = std::vector<std::uint8_t>;

    int Write(std::span<const std::uint8_t> bytes) override {
        writes.emplace_back(bytes.begin(), bytes.end());
        return static_cast<int>(bytes.size());
    }

    // The oldest write not yet looked at, as the next frame on the line; empty when none is left.
    Bytes Next() { return read_ < writes.size() ? writes[read_++] : Bytes{}; }

    // The writes not yet looked at, which then count as looked at.
    std::vector<Bytes> Rest() {
        std::vector<Bytes> rest(writes.begin() + static_cast<std::ptrdiff_t>(read_), writes.end());
        read_ = writes.size();
        return rest;
    }

    std::chrono::nanoseconds LineBusyFor() const override { return busy; }

    std::vector<Bytes> writes;
    std::chrono::nanoseconds busy{};  // how long the line still needs for what it took

private:
    std::size_t read_ = 0;
};
