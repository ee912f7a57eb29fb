#include "views/RecordFollower.h"

#include "model/StudioModel.h"
#include "platform/WindowMessage.h"
#include "views/PaneHost.h"

#include <QWidget>

CRecordFollower::CRecordFollower(StudioModel& model, CPaneHost& host, QObject* parent)
    : QObject(parent), model_(model), host_(host) {
    ModelEvents& events = model_.Events();
    connect(&events, &ModelEvents::UnitChanged, this, &CRecordFollower::OnUnitChanged);
    connect(&events, &ModelEvents::TickedUnitsChanged, this,
            &CRecordFollower::OnTickedUnitsChanged);
    connect(&events, &ModelEvents::TickChanged, this, &CRecordFollower::OnUnitShownAgain);
    connect(&events, &ModelEvents::NamesChanged, this, &CRecordFollower::OnUnitShownAgain);
    connect(&events, &ModelEvents::StudioLoaded, this, &CRecordFollower::OnStudioLoaded);
}

void CRecordFollower::OnUnitChanged(StrobeData* unit, int change, bool reported) {
    if (reported || !unit) {
        return;
    }
    if (change == ModelEvents::kAllSettings) {
        OnUnitShownAgain(unit);
        if (unit == model_.SelectedUnit()) {
            PostWindowMessage(host_.ControlPane(), Msg::SelectedUnitRefreshed, unit->nChNum,
                              AsLParam(unit), unit->nSerial);
        }
        return;
    }
    PostWindowMessage(host_.NavigationPane(), Msg::UnitSettingChanged, change, AsLParam(unit),
                      unit->nSerial);
    if (unit == model_.SelectedUnit()) {
        PostWindowMessage(host_.ControlPane(), Msg::SelectedUnitSettingChanged, change,
                          AsLParam(unit), unit->nSerial);
    }
}

void CRecordFollower::OnUnitShownAgain(StrobeData* unit) {
    if (unit) {
        PostWindowMessage(host_.NavigationPane(), Msg::UnitRefreshed, unit->nChNum, AsLParam(unit),
                          unit->nSerial);
    }
}

void CRecordFollower::OnTickedUnitsChanged(StudioData* studio, int change) {
    if (!studio) {
        return;
    }
    // The grid shows the selected studio: another studio's units show once it is selected.
    if (change != ModelEvents::kAllSettings && studio == model_.SelectedStudio()) {
        PostWindowMessage(host_.NavigationPane(), Msg::TickedUnitsChanged, change, 0);
    }
    for (int slot = 0; slot < kSlotCount; ++slot) {
        StrobeData* unit = studio->bChUsed[slot] ? studio->Unit(slot) : nullptr;
        if (!unit || !unit->bSelected) {
            continue;
        }
        if (change == ModelEvents::kAllSettings) {
            OnUnitChanged(unit, change, false);
        } else if (unit == model_.SelectedUnit()) {
            PostWindowMessage(host_.ControlPane(), Msg::SelectedUnitSettingChanged, change,
                              AsLParam(unit), unit->nSerial);
        }
    }
}

void CRecordFollower::OnStudioLoaded(StudioData* studio) {
    // The tree shows the units' names again and has the grid show the studio again.
    if (studio && studio == model_.SelectedStudio()) {
        SendWindowMessage(host_.StudioListPane(), Msg::RebuildSelectedStudio);
    }
}
