#pragma once

#include "model/FixedNames.h"
#include "model/StrobeData.h"
#include "model/TreeItemTag.h"

#include <QString>

#include <array>
#include <memory>

// One studio (one radio channel) with its ten unit slots. Invariant: bChUsed[i] is 1 exactly when
// pChItem[i] holds a unit, that unit's nChNum is i and its sChName the name of slot i, and
// nChItemCnt counts the used slots.
struct StudioData : TreeItemTag {
    StudioData() = default;
    StudioData(const StudioData&) = delete;
    StudioData& operator=(const StudioData&) = delete;

    // Puts a unit into a slot, freeing the unit that held it. A slot outside 0..9 is refused and
    // the unit is handed back to the caller; otherwise the studio keeps it and nullptr comes back.
    std::unique_ptr<StrobeData> Place(int slot, std::unique_ptr<StrobeData> unit);
    // Frees every unit; the slots are all empty afterwards.
    void RemoveAllUnits();

    StrobeData* Unit(int slot) const;

    int nStudioNum = -1;  // 0..4; the file studio keeps -1
    QString sStudioName;
    int nChItemCnt = 0;
    std::array<int, kSlotCount> bChUsed{};
    std::array<std::unique_ptr<StrobeData>, kSlotCount> pChItem;
};
