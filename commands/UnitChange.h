#pragma once

#include "model/StrobeData.h"

#include <optional>

// A change of some of one unit's settings. Powers are levels in tenths (11..81); switches and
// modes 0 or 1, as the unit record keeps them.
struct UnitChange {
    std::optional<int> flashOn{};    // bFlashPow
    std::optional<int> flash{};      // nFlashValue
    std::optional<int> model{};      // nModelValue
    std::optional<int> cell{};       // bFlashCell
    std::optional<int> sound{};      // bFlashSnd
    std::optional<int> modelMode{};  // nModelMode1: 0 "Free", 1 "Prop"
    std::optional<int> lampMode{};   // nModelMode2: 1 "Continous", 0 "Flash Prop"
    std::optional<int> modelOn{};    // bModelPow

    // Which power the user moved when both are given: the other came along through "Prop" and
    // goes out in the same frame. Each: every given power goes out in a frame of its own.
    enum class Lead { Each, Flash, Model };
    Lead lead = Lead::Each;

    bool Empty() const {
        return !flashOn && !flash && !model && !cell && !sound && !modelMode && !lampMode &&
               !modelOn;
    }
};

// A change of every ticked unit of a studio: power offsets in tenths, added to each unit's own
// power; switches and modes set on all of them.
struct GroupChange {
    std::optional<int> flashOffset{};
    std::optional<int> modelOffset{};
    std::optional<int> flashOn{};
    std::optional<int> cell{};
    std::optional<int> sound{};
    std::optional<int> modelMode{};
    std::optional<int> lampMode{};
    std::optional<int> modelOn{};

    // Which power tables go out. Each: the flash offset is added and its table sent, then the
    // model offset. Flash or Model: both offsets are added at once (a unit in "Prop" moving both
    // its powers by the offset of that table) and only that table goes out.
    enum class Tables { Each, Flash, Model };
    Tables tables = Tables::Each;
};

// Copies the switches and modes a unit change and a change of the ticked units both carry.
template <class To, class From>
void CopySwitches(To& to, const From& from) {
    to.flashOn = from.flashOn;
    to.cell = from.cell;
    to.sound = from.sound;
    to.modelMode = from.modelMode;
    to.lampMode = from.lampMode;
    to.modelOn = from.modelOn;
}

// The change of one setting of the unit record, as a control of a panel makes it.
inline UnitChange UnitChangeOf(int StrobeSettings::*field, int value) {
    UnitChange change;
    if (field == &StrobeSettings::bFlashPow) {
        change.flashOn = value;
    } else if (field == &StrobeSettings::nFlashValue) {
        change.flash = value;
    } else if (field == &StrobeSettings::nModelValue) {
        change.model = value;
    } else if (field == &StrobeSettings::bFlashCell) {
        change.cell = value;
    } else if (field == &StrobeSettings::bFlashSnd) {
        change.sound = value;
    } else if (field == &StrobeSettings::nModelMode1) {
        change.modelMode = value;
    } else if (field == &StrobeSettings::nModelMode2) {
        change.lampMode = value;
    } else if (field == &StrobeSettings::bModelPow) {
        change.modelOn = value;
    }
    return change;
}

// The same for the ticked units, whose powers change by offsets instead.
inline GroupChange GroupChangeOf(int StrobeSettings::*field, int value) {
    GroupChange change;
    CopySwitches(change, UnitChangeOf(field, value));
    return change;
}
