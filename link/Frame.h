#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Every frame starts with 0xFF and its total length; the receiver restarts at every 0xFF, so the
// byte appears nowhere else in a frame.
inline constexpr std::uint8_t kFrameStart = 0xFF;
inline constexpr int kFrameBufferSize = 50;  // the longest frame is 23 bytes
using FrameBuffer = std::array<std::uint8_t, kFrameBufferSize>;

// Frame lengths of the layouts the program builds.
inline constexpr int kScanRequestLength = 5;
inline constexpr int kUnitSettingsLength = 14;
inline constexpr int kSettingLength = 7;
inline constexpr int kPowerTableLength = 23;
// A power table has no unit mask: each slot's flash and model power follow one another from here.
inline constexpr std::size_t PowerTableFlashAt(int slot) {
    return 3 + 2 * static_cast<std::size_t>(slot);
}

// A command byte below 0x10 is taken whole; above, its high nibble is the class and the low nibble
// a setting type, state code or monitor code.
namespace Command {
inline constexpr std::uint8_t ScanRequest = 0x00;   // out: scan; in: valid, means nothing
inline constexpr std::uint8_t UnitSettings = 0x01;  // out: all settings; in: status report
inline constexpr std::uint8_t Reserved = 0x02;      // in: valid, means nothing
inline constexpr std::uint8_t Setting = 0x10;       // setting frame / setting report class
inline constexpr std::uint8_t Monitor = 0x30;       // monitor report class
inline constexpr std::uint8_t State = 0x60;         // state report class
inline constexpr std::uint8_t Invalid = 0xFF;

// The command a framer keeps for a command byte: whole below 0x10, else its class; Invalid for
// anything the protocol does not know.
constexpr std::uint8_t Reduce(std::uint8_t byte) {
    const std::uint8_t command = byte < 0x10 ? byte : static_cast<std::uint8_t>(byte & 0xF0);
    switch (command) {
        case ScanRequest:
        case UnitSettings:
        case Reserved:
        case Setting:
        case Monitor:
        case State:
            return command;
        default:
            return Invalid;
    }
}
}  // namespace Command
