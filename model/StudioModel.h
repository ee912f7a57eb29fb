#pragma once

#include "model/FixedNames.h"
#include "model/ModelEvents.h"
#include "model/StrobeData.h"
#include "model/StudioData.h"

#include <QList>

#include <array>
#include <memory>

// Owns the five studios, the file studio into which studio files are previewed, and so every
// unit. Everything here is touched on the user-interface thread only, so nothing is locked.
class StudioModel {
public:
    StudioModel();
    StudioModel(const StudioModel&) = delete;
    StudioModel& operator=(const StudioModel&) = delete;

    // Places a unit into a slot of Studio A..E. A slot above 9 or a studio number above 4 (both
    // compared unsigned) changes nothing and hands the unit back; otherwise returns nullptr.
    std::unique_ptr<StrobeData> PlaceUnit(int slot, int studioNum,
                                          std::unique_ptr<StrobeData> unit);
    // The same for a studio given directly, such as the file studio.
    std::unique_ptr<StrobeData> PlaceUnit(StudioData& studio, int slot,
                                          std::unique_ptr<StrobeData> unit);

    // Frees all units of a studio. A selection inside it moves to the studio's own line.
    void ClearStudio(StudioData& studio);

    // Copies names and settings of the source's units onto the destination's units of the same
    // slots; returns 0 when there is no destination, else 1.
    static int CopyStudio(StudioData* destination, const StudioData& source);

    // Resolve the selection: a light-name line leads to its unit, a unit line to the unit itself,
    // a studio line to no unit.
    StudioData* SelectedStudio() const;
    StrobeData* SelectedUnit() const;

    StudioData* Studio(int studioNum) const;

    // The unit of Studio A..E at that address, if it is the one the serial was given to: how a
    // message that travelled through the event queue finds out whether its unit still lives.
    StrobeData* LiveUnit(std::intptr_t address, std::uint64_t serial) const;

    std::unique_ptr<StudioData> pFileStudio;
    StudioData* pScanStudio = nullptr;
    std::array<std::unique_ptr<StudioData>, kStudioCount> pStudio;
    TreeItemTag* pSelTag = nullptr;
    QList<StrobeData*> arUnits;  // the navigation grid's rows, in slot order; borrowed

    // What changed in the records, for those who follow them.
    ModelEvents& Events() const { return events_; }

private:
    mutable ModelEvents events_;
    std::uint64_t lastSerial_ = 0;
    // Keeps the selection from dangling when the unit it points into is about to be freed.
    void ForgetSelectionInside(StudioData& studio, const StrobeData* unit);
};
