#include "link/StrobeEventHandler.h"

#include "link/ChangeCode.h"
#include "link/Frame.h"
#include "link/SettingType.h"
#include "model/StudioModel.h"
#include "platform/WindowMessage.h"

#include <memory>

namespace {

bool IsPowerLevel(int value) {
    return value >= 11 && value <= 81;
}

int OnOff(int value) {
    return value != 0 ? 1 : 0;
}

}  // namespace

// Replies come from the units of the studio the dongle is tuned to, whichever the user looks at.
StrobeData* CStrobeEventHandler::UnitInTunedStudio(int slot) const {
    const StudioData* studio = model_->pScanStudio;
    return studio ? studio->Unit(slot) : nullptr;
}

int CStrobeEventHandler::OnUnitStatus(int nSlot, const StrobeData& status, int /*nReserved*/) {
    StudioData* studio = model_->pScanStudio;
    if (!studio) {
        return 1;
    }
    if (StrobeData* unit = studio->Unit(nSlot)) {
        unit->Settings() = status.Settings();
        PostWindowMessage(mainFrame_, Msg::UnitStatusRefreshed, nSlot, AsLParam(unit),
                          unit->nSerial);
        return 1;
    }
    auto created = std::make_unique<StrobeData>();
    created->Settings() = status.Settings();
    StrobeData* unit = created.get();
    if (model_->PlaceUnit(*studio, nSlot, std::move(created))) {
        return 1;  // a slot outside 0..9: handed back and freed here
    }
    PostWindowMessage(mainFrame_, Msg::UnitCreated, nSlot, AsLParam(unit), unit->nSerial);
    return 1;
}

int CStrobeEventHandler::OnSettingReport(std::uint8_t nType, int nSlot, int nValue,
                                         std::span<const std::uint8_t> frame) {
    const auto type = static_cast<SettingType>(nType);
    if (type == SettingType::FlashPowerTable || type == SettingType::ModelPowerTable) {
        if (StudioData* studio = model_->pScanStudio) {
            ApplyPowerTable(*studio, frame);
        }
        return 1;
    }
    StrobeData* unit = UnitInTunedStudio(nSlot);
    if (!unit) {
        return 1;
    }
    const int hi = (nValue >> 8) & 0xFF;
    const int lo = nValue & 0xFF;
    ChangeCode code = ChangeCode::None;
    switch (type) {
        case SettingType::FlashPower:
            if (IsPowerLevel(hi)) {
                unit->nFlashValue = hi;
                if (IsPowerLevel(lo)) {
                    unit->nModelValue = lo;
                }
                code = ChangeCode::FlashPower;
            }
            break;
        case SettingType::ModelPower:
            if (IsPowerLevel(lo)) {
                unit->nModelValue = lo;
                if (IsPowerLevel(hi)) {
                    unit->nFlashValue = hi;
                }
                code = ChangeCode::ModelPower;
            }
            break;
        case SettingType::ModelMode1:
            unit->nModelMode1 = OnOff(lo);
            code = ChangeCode::ModelMode1;
            break;
        case SettingType::ModelMode2:
            unit->nModelMode2 = OnOff(lo);
            code = ChangeCode::ModelMode2;
            break;
        case SettingType::PhotoCell:
            unit->bFlashCell = OnOff(lo);
            code = ChangeCode::PhotoCell;
            break;
        case SettingType::Sound:
            unit->bFlashSnd = OnOff(lo);
            code = ChangeCode::Sound;
            break;
        case SettingType::ModelSwitch:
            unit->bModelPow = OnOff(lo);
            code = ChangeCode::ModelSwitch;
            break;
        case SettingType::FlashSwitch:
            unit->bFlashPow = OnOff(lo);
            code = ChangeCode::FlashSwitch;
            break;
        default:
            return 1;  // the other types carry nothing for the records
    }
    // Also sent when nothing was stored, so that the views refresh from the unchanged record.
    SendWindowMessage(mainFrame_, Msg::UnitSettingReported, static_cast<int>(code), AsLParam(unit));
    return 1;
}

void CStrobeEventHandler::ApplyPowerTable(StudioData& studio, std::span<const std::uint8_t> frame) {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        StrobeData* unit = studio.bChUsed[slot] ? studio.Unit(slot) : nullptr;
        const std::size_t at = PowerTableFlashAt(slot);
        if (!unit || at + 1 >= frame.size()) {
            continue;
        }
        const int flash = frame[at];
        const int model = frame[at + 1];
        if (flash != 0 && model != 0) {
            unit->nFlashValue = flash;
            unit->nModelValue = model;
            SendWindowMessage(mainFrame_, Msg::UnitSettingReported,
                              static_cast<int>(ChangeCode::FlashPower), AsLParam(unit));
        }
    }
}

int CStrobeEventHandler::OnStateReport(std::uint8_t nCode, int nSlot, std::uint8_t nValue) {
    StrobeData* unit = UnitInTunedStudio(nSlot);
    if (!unit) {
        return 1;
    }
    switch (static_cast<StateCode>(nCode)) {
        case StateCode::Charge:
            unit->bFlashCharge = OnOff(nValue);
            SendWindowMessage(mainFrame_, Msg::UnitSettingReported,
                              static_cast<int>(ChangeCode::Charge), AsLParam(unit));
            break;
        case StateCode::TestFlashDone:
            SendWindowMessage(mainFrame_, Msg::UnitSettingReported,
                              static_cast<int>(ChangeCode::None), AsLParam(unit));
            break;
        default:
            break;
    }
    return 1;
}

int CStrobeEventHandler::OnMonitorReport(std::uint8_t nCode, int nSlot, std::uint8_t nValue) {
    StrobeData* unit = UnitInTunedStudio(nSlot);
    if (!unit || static_cast<MonitorCode>(nCode) != MonitorCode::Heat) {
        return 1;
    }
    unit->nHeatLevel = nValue;
    // Heat is posted, not sent: it is not tied to anything the user is waiting for.
    PostWindowMessage(mainFrame_, Msg::UnitSettingReported, static_cast<int>(ChangeCode::Heat),
                      AsLParam(unit), unit->nSerial);
    return 1;
}
