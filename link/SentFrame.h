#pragma once

#include "link/SettingType.h"
#include "model/FixedNames.h"
#include "model/StrobeData.h"

#include <array>
#include <cstdint>

struct StudioData;

// What one outgoing frame carried, taken from the records when the frame was built. A frame may
// wait on a busy line, and by the time it goes out the records may hold newer values and a scan may
// have freed the unit: the unit is therefore kept as an address and serial to be checked, never
// followed blindly.
struct SentFrame {
    enum class Kind {
        Setting,       // one setting of the units of the mask
        UnitSettings,  // every setting of the units of the mask
        PowerTable,    // the powers of one kind of every slot of a studio
    };
    Kind kind = Kind::Setting;
    SettingType type = SettingType::FlashPower;  // setting frames and power tables
    std::uint16_t mask = 0;                      // as the caller gave it: 0 is the unit's own slot
    std::intptr_t unitAddress = 0;               // the unit whose values were sent
    std::uint64_t unitSerial = 0;
    StrobeSettings values;               // that unit's settings then
    const StudioData* studio = nullptr;  // power tables; studios live as long as the model
    // Power tables: each slot's power of the table's kind, as the frame carried it.
    std::array<int, kSlotCount> powers{};
};
