#include "model/StudioData.h"

std::unique_ptr<StrobeData> StudioData::Place(int slot, std::unique_ptr<StrobeData> unit) {
    // Compared unsigned so that a negative slot is refused as well.
    if (static_cast<unsigned>(slot) >= static_cast<unsigned>(kSlotCount) || !unit) {
        return unit;
    }
    if (!bChUsed[slot]) {
        ++nChItemCnt;
    }
    unit->pParent = this;
    unit->nChNum = slot;
    unit->sChName = kSlotNames[slot].toString();
    pChItem[slot] = std::move(unit);
    bChUsed[slot] = 1;
    return nullptr;
}

void StudioData::RemoveAllUnits() {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        pChItem[slot].reset();
        bChUsed[slot] = 0;
    }
    nChItemCnt = 0;
}

StrobeData* StudioData::Unit(int slot) const {
    if (static_cast<unsigned>(slot) >= static_cast<unsigned>(kSlotCount)) {
        return nullptr;
    }
    return pChItem[slot].get();
}
