#pragma once

#include "link/UnitMask.h"

#include <cstdint>
#include <vector>

// A setting frame as it crosses the line: the setting's type, addressed to one slot, with its two
// value bytes.
inline std::vector<std::uint8_t> SettingFrame(std::uint8_t type, int slot, std::uint8_t b5,
                                              std::uint8_t b6) {
    const std::uint16_t mask = MaskFromSlot(slot);
    return {0xFF,
            0x07,
            static_cast<std::uint8_t>(0x10 + type),
            static_cast<std::uint8_t>(mask >> 8),
            static_cast<std::uint8_t>(mask & 0xFF),
            b5,
            b6};
}
