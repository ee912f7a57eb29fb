#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

// One slot's entry in a power table: flash and modelling-lamp power.
struct SlotPowers {
    int slot;
    std::uint8_t flash;
    std::uint8_t model;
};

// A power table frame (command 0x1E for flash, 0x1F for the lamp) as it crosses the line: every
// slot not named is unused and carries zeros.
inline std::vector<std::uint8_t> PowerTable(std::uint8_t command,
                                            std::initializer_list<SlotPowers> used) {
    std::vector<std::uint8_t> frame(23, 0x00);
    frame[0] = 0xFF;
    frame[1] = 0x17;
    frame[2] = command;
    for (const SlotPowers& u : used) {
        frame[3 + 2 * u.slot] = u.flash;
        frame[4 + 2 * u.slot] = u.model;
    }
    return frame;
}
