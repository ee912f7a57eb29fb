#pragma once

#include <chrono>
#include <cstdint>
#include <span>

// Where outgoing frames go: the serial link, or whatever stands in for it.
class CLinkWriter {
public:
    // Writes the bytes in one piece and returns how many the line took (0 while closed).
    virtual int Write(std::span<const std::uint8_t> bytes) = 0;

    // How long the line still needs to carry what it was already handed. A writer that knows no
    // line takes every frame at once.
    virtual std::chrono::nanoseconds LineBusyFor() const { return {}; }

protected:
    ~CLinkWriter() = default;
};
