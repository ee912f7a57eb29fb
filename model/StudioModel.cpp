#include "model/StudioModel.h"

StudioModel::StudioModel() : pFileStudio(std::make_unique<StudioData>()) {
    for (int i = 0; i < kStudioCount; ++i) {
        pStudio[i] = std::make_unique<StudioData>();
        pStudio[i]->nStudioNum = i;
        pStudio[i]->sStudioName = kStudioNames[i].toString();
    }
}

std::unique_ptr<StrobeData> StudioModel::PlaceUnit(int slot, int studioNum,
                                                   std::unique_ptr<StrobeData> unit) {
    if (static_cast<unsigned>(studioNum) >= static_cast<unsigned>(kStudioCount)) {
        return unit;
    }
    return PlaceUnit(*pStudio[studioNum], slot, std::move(unit));
}

std::unique_ptr<StrobeData> StudioModel::PlaceUnit(StudioData& studio, int slot,
                                                   std::unique_ptr<StrobeData> unit) {
    if (StrobeData* previous = studio.Unit(slot); previous && unit) {
        ForgetSelectionInside(studio, previous);
        arUnits.removeAll(previous);
    }
    StrobeData* placed = unit.get();
    std::unique_ptr<StrobeData> refused = studio.Place(slot, std::move(unit));
    if (placed && !refused) {
        placed->nSerial = ++lastSerial_;
    }
    return refused;
}

StrobeData* StudioModel::LiveUnit(std::intptr_t address, std::uint64_t serial) const {
    if (address == 0 || serial == 0) {
        return nullptr;
    }
    // Compared as numbers: a pointer to a freed unit is never followed.
    for (const auto& studio : pStudio) {
        for (int slot = 0; slot < kSlotCount; ++slot) {
            StrobeData* unit = studio->Unit(slot);
            if (unit && reinterpret_cast<std::intptr_t>(unit) == address &&
                unit->nSerial == serial) {
                return unit;
            }
        }
    }
    return nullptr;
}

void StudioModel::ClearStudio(StudioData& studio) {
    if (SelectedStudio() == &studio) {
        pSelTag = &studio;
    }
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (const StrobeData* unit = studio.Unit(slot)) {
            arUnits.removeAll(unit);
        }
    }
    studio.RemoveAllUnits();
}

int StudioModel::CopyStudio(StudioData* destination, const StudioData& source) {
    if (!destination) {
        return 0;
    }
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const StrobeData* from = source.bChUsed[slot] ? source.Unit(slot) : nullptr;
        StrobeData* to = destination->bChUsed[slot] ? destination->Unit(slot) : nullptr;
        if (!from || !to) {
            continue;
        }
        to->sModelName = from->sModelName;
        to->Settings() = from->Settings();
        to->sLightName = from->sLightName;
    }
    return 1;
}

StudioData* StudioModel::SelectedStudio() const {
    if (!pSelTag) {
        return nullptr;
    }
    switch (pSelTag->nItemKind) {
        case TreeItemTag::StudioLine:
            return static_cast<StudioData*>(pSelTag);
        case TreeItemTag::UnitLine:
            return static_cast<StudioData*>(pSelTag->pParent);
        case TreeItemTag::LightNameLine:
            return static_cast<StudioData*>(pSelTag->pParent->pParent);
        default:
            return nullptr;
    }
}

StrobeData* StudioModel::SelectedUnit() const {
    if (!pSelTag) {
        return nullptr;
    }
    switch (pSelTag->nItemKind) {
        case TreeItemTag::UnitLine:
            return static_cast<StrobeData*>(pSelTag);
        case TreeItemTag::LightNameLine:
            return static_cast<StrobeData*>(pSelTag->pParent);
        default:
            return nullptr;
    }
}

StudioData* StudioModel::Studio(int studioNum) const {
    if (static_cast<unsigned>(studioNum) >= static_cast<unsigned>(kStudioCount)) {
        return nullptr;
    }
    return pStudio[studioNum].get();
}

void StudioModel::ForgetSelectionInside(StudioData& studio, const StrobeData* unit) {
    if (pSelTag == unit || pSelTag == &unit->lightNameTag) {
        pSelTag = &studio;
    }
}
