#pragma once

#include <cstdint>

// The code of one setting in a setting frame: the low nibble of a 0x10-class command.
enum class SettingType : std::uint8_t {
    FlashPower = 3,        // flash power changed (carries flash and lamp power)
    ModelPower = 4,        // modelling-lamp power changed (carries both powers too)
    ModelMode1 = 5,        // lamp mode "Free" / "Prop"
    ModelMode2 = 6,        // lamp mode "Flash Prop" / "Continous"
    PhotoCell = 7,         // photo-cell trigger
    Sound = 8,             // sound trigger
    Charge = 9,            // charge state: reported only, never sent
    Heat = 10,             // heat level: reported only, never sent
    TestFlash = 11,        // fire a test flash
    ModelSwitch = 12,      // modelling lamp on/off
    FlashSwitch = 13,      // unit on/off
    FlashPowerTable = 14,  // flash power of all ten slots
    ModelPowerTable = 15,  // modelling-lamp power of all ten slots
};

// Codes of the state and monitor reports.
enum class StateCode : std::uint8_t {
    Charge = 1,          // value non-zero: charged
    TestFlashDone = 11,  // a unit answers a test flash
};

enum class MonitorCode : std::uint8_t {
    Heat = 10,  // heat level 0..255
};
