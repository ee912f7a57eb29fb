#pragma once

#include <cstdint>

namespace orvane::sim {

inline constexpr int kStudioCount = 5;
inline constexpr int kSlotCount = 10;

// Power levels travel as tenths of a stop above the unit's minimum.
inline constexpr int kMinLevel = 11;
inline constexpr int kMaxLevel = 81;

// The heat gauge would reach 255, but that byte value is reserved for the start of a frame, so the
// unit's own gauge stops one short of it.
inline constexpr int kMaxHeat = 254;

struct UnitAddress {
    int studio = 0;
    int slot = 0;
    friend bool operator==(const UnitAddress&, const UnitAddress&) = default;
};

// What one flash head knows about itself. The defaults are how a head comes out of the box.
struct UnitState {
    bool powered = true;  // the flash switch: a head that is off stays on the radio but won't fire
    int flash = 50;
    int model = 40;
    bool cell = false;
    bool sound = false;
    bool mode1 = false;
    bool mode2 = false;
    bool lamp = true;
    bool charged = true;
    int heat = 0;
};

constexpr int clampLevel(int level) {
    return level < kMinLevel ? kMinLevel : (level > kMaxLevel ? kMaxLevel : level);
}

constexpr bool validAddress(UnitAddress where) {
    return where.studio >= 0 && where.studio < kStudioCount && where.slot >= 0 &&
           where.slot < kSlotCount;
}

}  // namespace orvane::sim
