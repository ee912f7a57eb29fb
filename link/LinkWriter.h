#pragma once

#include <cstdint>
#include <span>

// Where outgoing frames go: the serial link, or whatever stands in for it.
class CLinkWriter {
public:
    // Writes the bytes in one piece and returns how many the line took (0 while closed).
    virtual int Write(std::span<const std::uint8_t> bytes) = 0;

protected:
    ~CLinkWriter() = default;
};
