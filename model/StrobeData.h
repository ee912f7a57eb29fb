#pragma once

#include "model/TreeItemTag.h"

#include <QString>

#include <cstdint>

// The nine settings of a unit, kept together because a status report and a studio copy move them
// as one block, in this order.
struct StrobeSettings {
    int nFlashValue = 0;   // flash power in tenths, 11..81 once the unit has reported
    int bFlashCell = 0;    // photo-cell trigger ("Cell")
    int bFlashSnd = 0;     // sound trigger ("Sound")
    int bFlashCharge = 1;  // charge state last reported
    int bFlashPow = 1;     // unit switched on; 0 is shown as "OFF"
    int nModelValue = 0;   // modelling-lamp power in tenths
    int nModelMode1 = 0;   // 0 "Free", 1 "Prop"
    int nModelMode2 = 0;   // 1 "Continous", 0 "Flash Prop"
    int bModelPow = 1;     // modelling lamp on

    friend bool operator==(const StrobeSettings&, const StrobeSettings&) = default;
};

// A unit this hot or hotter is shown as "Overheat" instead of its power levels.
inline constexpr int kOverheatLevel = 60;

// One flash unit. Its own tag is the unit line of the tree; a second tag is its light-name line.
// Tags point into the record, so a unit is never copied or moved: its settings are.
struct StrobeData : TreeItemTag, StrobeSettings {
    StrobeData() { lightNameTag.pParent = this; }
    StrobeData(const StrobeData&) = delete;
    StrobeData& operator=(const StrobeData&) = delete;

    StrobeSettings& Settings() { return *this; }
    const StrobeSettings& Settings() const { return *this; }

    // "CH-03 Not define": how the unit's line in the studio tree reads.
    QString UnitLineText() const { return sChName + u' ' + sModelName; }

    int nChNum = 0;   // unit slot 0..9
    QString sChName;  // slot name, set whenever the unit is placed
    QString sModelName = QStringLiteral("Not define");

    // Run-time marks, never saved or copied.
    int bSelected = 0;   // ticked in the navigation grid: group commands act on it
    int nHeatLevel = 0;  // kOverheatLevel or more is shown as "Overheat"
    // Given by the model when the unit is placed and never given again, so a message about this
    // unit cannot be taken for one about a later unit at the same address.
    std::uint64_t nSerial = 0;

    TreeItemTag lightNameTag;
    QString sLightName = QStringLiteral("Not define");
};
