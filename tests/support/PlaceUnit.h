#pragma once

#include "model/StudioModel.h"

#include <gtest/gtest.h>

#include <memory>

// Places a new unit with these settings in a slot of a studio (0 is Studio A), as a status report
// from an empty slot creates one. A slot the model refuses fails the test and gives nullptr.
inline StrobeData* PlaceNewUnit(StudioModel& model, int studio, int slot,
                                const StrobeSettings& settings = {}) {
    auto unit = std::make_unique<StrobeData>();
    unit->Settings() = settings;
    StrobeData* placed = unit.get();
    if (model.PlaceUnit(slot, studio, std::move(unit)) != nullptr) {
        ADD_FAILURE() << "no room for a unit in slot " << slot << " of studio " << studio;
        return nullptr;
    }
    return placed;
}
