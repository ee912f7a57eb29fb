#pragma once

#include <cstdint>

// A unit mask addresses units inside a frame: slots 0..4 are bits 0..4, slots 5..9 bits 8..12,
// and 0x8080 means every unit of the studio. Bits 5, 6, 13 and 14 are never used.
inline constexpr int kAllUnitsSlot = 11;
inline constexpr std::uint16_t kAllUnitsMask = 0x8080;

// Lowest slot whose bit is set; 11 when only an all-units bit (7 or 15) is set; otherwise -1.
constexpr int SlotFromMask(std::uint16_t mask) {
    for (int slot = 0; slot < 5; ++slot) {
        if (mask & (1u << slot)) {
            return slot;
        }
    }
    for (int slot = 5; slot < 10; ++slot) {
        if (mask & (0x0100u << (slot - 5))) {
            return slot;
        }
    }
    if (mask & 0x8080u) {
        return kAllUnitsSlot;
    }
    return -1;
}

// The mask of one slot, 0x8080 for slot 11, 0 for anything else.
constexpr std::uint16_t MaskFromSlot(int slot) {
    if (slot >= 0 && slot <= 4) {
        return static_cast<std::uint16_t>(1u << slot);
    }
    if (slot >= 5 && slot <= 9) {
        return static_cast<std::uint16_t>(0x0100u << (slot - 5));
    }
    if (slot == kAllUnitsSlot) {
        return kAllUnitsMask;
    }
    return 0;
}

// Calls visit(slot) for every slot 0..9 whose bit the mask sets, lowest first. The all-units bits
// name no slot in an incoming frame.
template <class Visit>
void ForEachSlot(std::uint16_t mask, Visit visit) {
    for (int slot = 0; slot < 10; ++slot) {
        if (mask & MaskFromSlot(slot)) {
            visit(slot);
        }
    }
}
