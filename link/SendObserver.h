#pragma once

#include "link/SettingType.h"

#include <cstdint>

struct StrobeData;
struct StudioData;

// Hears of every change the program sends to units, right after its frame was handed to the link:
// what was sent is then still in the records.
class CSendObserver {
public:
    // A setting frame; mask 0 addressed the unit's own slot.
    virtual void OnSettingSent(std::uint16_t mask, const StrobeData& unit, SettingType type) = 0;
    // A unit settings frame, carrying every setting of the unit.
    virtual void OnUnitSettingsSent(std::uint16_t mask, const StrobeData& unit) = 0;
    // A power table (types 14 and 15), carrying the powers of every unit of the studio.
    virtual void OnPowerTableSent(SettingType type, const StudioData& studio) = 0;

protected:
    ~CSendObserver() = default;
};
