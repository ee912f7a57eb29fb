#include "commands/Commands.h"

#include "commands/PropCoupling.h"
#include "commands/UnitsStep.h"
#include "link/ChangeCode.h"
#include "link/SettingType.h"
#include "link/UnitMask.h"
#include "link/ZbProtocol.h"
#include "model/FixedNames.h"
#include "model/StudioModel.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <memory>

namespace {

using Touched = CUnitsStep::Touched;

CCommands::Clock SteadyClock() {
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    return [timer] { return timer->elapsed(); };
}

bool IsLevel(const std::optional<int>& value) {
    return !value || (*value >= PropCoupling::kMinLevel && *value <= PropCoupling::kMaxLevel);
}

bool IsSwitch(const std::optional<int>& value) {
    return !value || *value == 0 || *value == 1;
}

QString StudioLetter(const StudioData& studio) {
    return QString(QChar(u'A' + studio.nStudioNum));
}

// The ticked units of a studio, in slot order.
std::vector<StrobeData*> TickedOf(const StudioData& studio) {
    std::vector<StrobeData*> ticked;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        StrobeData* unit = studio.bChUsed[slot] ? studio.Unit(slot) : nullptr;
        if (unit && unit->bSelected) {
            ticked.push_back(unit);
        }
    }
    return ticked;
}

Touched TouchedBy(const UnitChange& c) {
    Touched t = 0;
    t |= c.flashOn ? CUnitsStep::kFlashOn : 0;
    t |= c.flash ? CUnitsStep::kFlash : 0;
    t |= c.model ? CUnitsStep::kModel : 0;
    t |= c.cell ? CUnitsStep::kCell : 0;
    t |= c.sound ? CUnitsStep::kSound : 0;
    t |= c.modelMode ? CUnitsStep::kModelMode : 0;
    t |= c.lampMode ? CUnitsStep::kLampMode : 0;
    t |= c.modelOn ? CUnitsStep::kModelOn : 0;
    // A power moved along by "Prop" counts as the one the user moved.
    if (c.lead == UnitChange::Lead::Flash) {
        t &= ~CUnitsStep::kModel;
    } else if (c.lead == UnitChange::Lead::Model) {
        t &= ~CUnitsStep::kFlash;
    }
    return t;
}

Touched TouchedBy(const GroupChange& c) {
    Touched t = CUnitsStep::kTicked;
    t |= c.flashOn ? CUnitsStep::kFlashOn : 0;
    t |= c.cell ? CUnitsStep::kCell : 0;
    t |= c.sound ? CUnitsStep::kSound : 0;
    t |= c.modelMode ? CUnitsStep::kModelMode : 0;
    t |= c.lampMode ? CUnitsStep::kLampMode : 0;
    t |= c.modelOn ? CUnitsStep::kModelOn : 0;
    if (c.tables == GroupChange::Tables::Model) {
        t |= CUnitsStep::kModel;
    } else if (c.tables == GroupChange::Tables::Flash) {
        t |= CUnitsStep::kFlash;
    } else {
        t |= c.flashOffset ? CUnitsStep::kFlash : 0;
        t |= c.modelOffset ? CUnitsStep::kModel : 0;
    }
    return t;
}

}  // namespace

CCommands::CCommands(StudioModel& model, CZbProtocol& protocol, QDir workDir, Clock clock)
    : model_(model),
      protocol_(protocol),
      workDir_(std::move(workDir)),
      clock_(clock ? std::move(clock) : SteadyClock()) {
    history_.setUndoLimit(kHistoryLimit);
}

CCommands::~CCommands() = default;

void CCommands::SetLink(bool connected, const QString& port, const QString& reason) {
    const bool changed = connected != connected_ || port != port_ || reason != portReason_;
    connected_ = connected;
    port_ = port;
    portReason_ = reason;
    if (changed) {
        emit LinkChanged();
    }
}

// ---- Checks -------------------------------------------------------------------------------------

CommandResult CCommands::CheckActing(Origin origin) const {
    if (scanning_) {
        return CommandResult::Refused(CommandRefusal::Scanning,
                                      QStringLiteral("a channel scan is running"));
    }
    if (origin == Origin::Remote && !connected_) {
        return CommandResult::Refused(
            CommandRefusal::NotConnected,
            QStringLiteral("not connected: the port is closed, so nothing would reach the units"));
    }
    return {};
}

CommandResult CCommands::CheckTuned(const StudioData& studio) const {
    const StudioData* tuned = model_.pScanStudio;
    if (tuned == &studio) {
        return {};
    }
    // Frames carry no studio: they reach the units of whichever studio the dongle last scanned.
    if (!tuned) {
        return CommandResult::Refused(
            CommandRefusal::NotTuned,
            QStringLiteral("no studio has been scanned yet; scan Studio %1 first")
                .arg(StudioLetter(studio)));
    }
    return CommandResult::Refused(CommandRefusal::NotTuned,
                                  QStringLiteral("the dongle is tuned to Studio %1 and frames "
                                                 "carry no studio; scan Studio %2 first")
                                      .arg(StudioLetter(*tuned), StudioLetter(studio)));
}

CommandResult CCommands::CheckUnit(StrobeData& unit, Origin origin) const {
    if (CommandResult acting = CheckActing(origin); !acting) {
        return acting;
    }
    const auto* studio = static_cast<const StudioData*>(unit.pParent);
    if (!studio || studio->nStudioNum < 0 ||
        !model_.LiveUnit(reinterpret_cast<std::intptr_t>(&unit), unit.nSerial)) {
        return CommandResult::Refused(CommandRefusal::NoUnit,
                                      QStringLiteral("the unit is not there"));
    }
    // The window shows only the units of the studio the dongle is tuned to: selecting another
    // studio with units scans it first.
    return origin == Origin::Remote ? CheckTuned(*studio) : CommandResult{};
}

// ---- Selection and scan -------------------------------------------------------------------------

CommandResult CCommands::Select(TreeItemTag& line) {
    if (scanning_) {
        return CheckActing(Origin::Window);
    }
    const StudioData* shown = model_.SelectedStudio();
    model_.pSelTag = &line;
    StudioData* studio = model_.SelectedStudio();
    // The units of a studio answer only while it is the one the dongle last scanned: moving to
    // another studio that holds units asks its units again before they can be reached.
    const StudioData* tuned = model_.pScanStudio;
    if (studio && studio != shown && studio->nChItemCnt > 0 && tuned && tuned != studio) {
        // Once: a selection that follows this one into the same studio waits for the same scan.
        if (rescanPending_ != studio) {
            rescanPending_ = studio;
            emit RescanNeeded(studio);
        }
    } else if (studio != rescanPending_) {
        rescanPending_ = nullptr;
    }
    emit model_.Events().SelectionChanged();
    CommandResult result;
    result.scanStarted = studio && studio == rescanPending_;
    return result;
}

CommandResult CCommands::Scan(StudioData& studio) {
    if (scanning_) {
        return CheckActing(Origin::Window);
    }
    rescanPending_ = nullptr;
    ClearStepsOf(studio);
    model_.ClearStudio(studio);
    scanning_ = &studio;
    emit ScanStarted(&studio);
    protocol_.SendScanRequest(studio.nStudioNum);
    model_.pScanStudio = &studio;
    CommandResult result;
    result.scanStarted = true;
    return result;
}

void CCommands::EndScan() {
    if (StudioData* studio = std::exchange(scanning_, nullptr)) {
        emit ScanFinished(studio);
    }
}

void CCommands::ClearStepsOf(const StudioData& studio) {
    // The stack cannot drop single steps; a scan makes the studio's steps useless, and the steps
    // of any other studio cannot be sent before that studio is scanned again, which drops them.
    for (int i = 0; i < history_.count(); ++i) {
        const auto* step = dynamic_cast<const CUnitsStep*>(history_.command(i));
        if (step && step->Studio() == &studio) {
            history_.clear();
            return;
        }
    }
}

// ---- One unit -----------------------------------------------------------------------------------

CommandResult CCommands::ChangeUnit(StrobeData& unit, const UnitChange& change, Origin origin) {
    if (CommandResult check = CheckUnit(unit, origin); !check) {
        return check;
    }
    if (change.Empty()) {
        return CommandResult::Refused(CommandRefusal::BadValue,
                                      QStringLiteral("nothing to change"));
    }
    // The panel steps from whatever a unit reported, even from outside the levels it offers.
    const bool levelsOk =
        origin == Origin::Window || (IsLevel(change.flash) && IsLevel(change.model));
    if (!levelsOk || !IsSwitch(change.flashOn) || !IsSwitch(change.cell) ||
        !IsSwitch(change.sound) || !IsSwitch(change.modelMode) || !IsSwitch(change.lampMode) ||
        !IsSwitch(change.modelOn)) {
        return CommandResult::Refused(CommandRefusal::BadValue,
                                      QStringLiteral("a value the unit cannot take"));
    }
    UnitChange others = change;
    others.flashOn.reset();
    if (unit.bFlashPow == 0 && change.flashOn != 1 && !others.Empty()) {
        return CommandResult::Refused(
            CommandRefusal::SwitchedOff,
            QStringLiteral("%1 is switched off: only switching it on can change it")
                .arg(unit.sChName));
    }
    const Touched touched = TouchedBy(change);
    auto* studio = static_cast<StudioData*>(unit.pParent);
    auto step = std::make_unique<CUnitsStep>(*this, *studio, CUnitsStep::Road::Settings,
                                             CUnitsStep::Label(touched), clock_());
    step->Before(unit);
    SendChange(unit, change);
    step->After(touched);
    Push(step.release());
    emit model_.Events().UnitChanged(&unit, CUnitsStep::ChangeCodeOf(touched), false);
    return {};
}

void CCommands::SendChange(StrobeData& unit, const UnitChange& change) {
    const auto set = [&](int StrobeSettings::*field, const std::optional<int>& value,
                         SettingType type) {
        if (value) {
            unit.*field = *value;
            // Mask 0: the unit's own slot. Whether the unit took it shows in its later reports.
            protocol_.SendSetting(0, &unit, type);
        }
    };
    // Switched on first and off last, so that the changes between find the unit on; modes before
    // the powers, so that a change to "Prop" couples the powers of the same change.
    if (change.flashOn == 1) {
        set(&StrobeSettings::bFlashPow, change.flashOn, SettingType::FlashSwitch);
    }
    set(&StrobeSettings::nModelMode1, change.modelMode, SettingType::ModelMode1);
    set(&StrobeSettings::nModelMode2, change.lampMode, SettingType::ModelMode2);
    if (change.flash || change.model) {
        const bool prop = unit.nModelMode1 == 1;
        int flash = change.flash.value_or(unit.nFlashValue);
        int model = change.model.value_or(unit.nModelValue);
        // A value given wins over the coupling.
        if (prop && change.flash && !change.model) {
            model = PropCoupling::Follow(unit.nModelValue, flash - unit.nFlashValue);
        } else if (prop && change.model && !change.flash) {
            flash = PropCoupling::Follow(unit.nFlashValue, model - unit.nModelValue);
        }
        unit.nFlashValue = flash;
        unit.nModelValue = model;
        // Each power frame carries both powers.
        const bool flashFrame = change.lead == UnitChange::Lead::Flash ||
                                (change.lead == UnitChange::Lead::Each && change.flash);
        const bool modelFrame = change.lead == UnitChange::Lead::Model ||
                                (change.lead == UnitChange::Lead::Each && change.model);
        if (flashFrame) {
            protocol_.SendSetting(0, &unit, SettingType::FlashPower);
        }
        if (modelFrame) {
            protocol_.SendSetting(0, &unit, SettingType::ModelPower);
        }
    }
    set(&StrobeSettings::bFlashCell, change.cell, SettingType::PhotoCell);
    set(&StrobeSettings::bFlashSnd, change.sound, SettingType::Sound);
    set(&StrobeSettings::bModelPow, change.modelOn, SettingType::ModelSwitch);
    if (change.flashOn == 0) {
        set(&StrobeSettings::bFlashPow, change.flashOn, SettingType::FlashSwitch);
    }
}

CommandResult CCommands::TestFlash(StrobeData& unit, Origin origin) {
    if (CommandResult check = CheckUnit(unit, origin); !check) {
        return check;
    }
    if (unit.bFlashPow == 0) {
        return CommandResult::Refused(CommandRefusal::SwitchedOff,
                                      QStringLiteral("%1 is switched off").arg(unit.sChName));
    }
    protocol_.SendSetting(0, &unit, SettingType::TestFlash);
    return {};
}

CommandResult CCommands::Tick(StrobeData& unit, bool ticked) {
    unit.bSelected = ticked ? 1 : 0;
    emit model_.Events().TickChanged(&unit);
    return {};
}

CommandResult CCommands::TickAll(StudioData& studio, bool ticked) {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (StrobeData* unit = studio.bChUsed[slot] ? studio.Unit(slot) : nullptr) {
            Tick(*unit, ticked);
        }
    }
    return {};
}

CommandResult CCommands::Rename(StrobeData& unit, bool lightName, const QString& name) {
    auto* studio = static_cast<StudioData*>(unit.pParent);
    if (!studio) {
        return CommandResult::Refused(CommandRefusal::NoUnit,
                                      QStringLiteral("the unit is not there"));
    }
    auto step = std::make_unique<CUnitsStep>(*this, *studio, CUnitsStep::Road::Settings,
                                             CUnitsStep::Label(CUnitsStep::kNames), clock_());
    step->Before(unit);
    (lightName ? unit.sLightName : unit.sModelName) = name;
    step->After(CUnitsStep::kNames);
    Push(step.release());
    emit model_.Events().NamesChanged(&unit);
    return {};
}

// ---- The ticked units ---------------------------------------------------------------------------

CommandResult CCommands::CheckTicked(const StudioData& studio,
                                     const std::vector<StrobeData*>& ticked, Origin origin) const {
    if (CommandResult acting = CheckActing(origin); !acting) {
        return acting;
    }
    if (ticked.empty()) {
        return CommandResult::Refused(
            CommandRefusal::NothingTicked,
            QStringLiteral("no unit of Studio %1 is ticked").arg(StudioLetter(studio)));
    }
    return origin == Origin::Remote ? CheckTuned(studio) : CommandResult{};
}

CommandResult CCommands::ChangeTicked(StudioData& studio, const GroupChange& change,
                                      Origin origin) {
    const std::vector<StrobeData*> ticked = TickedOf(studio);
    if (CommandResult check = CheckTicked(studio, ticked, origin); !check) {
        return check;
    }
    const Touched touched = TouchedBy(change);
    auto step = std::make_unique<CUnitsStep>(*this, studio, CUnitsStep::Road::Tables,
                                             CUnitsStep::Label(touched) + QStringLiteral(" ticked"),
                                             clock_());
    for (const StrobeData* unit : ticked) {
        step->Before(*unit);
    }
    SendGroup(studio, change);
    step->After(touched);
    Push(step.release());
    // A power table carries both powers of every unit: the grid shows both again.
    const Touched powers = CUnitsStep::kFlash | CUnitsStep::kModel;
    const int shown = (touched & ~CUnitsStep::kTicked & ~powers) == 0
                          ? static_cast<int>(ChangeCode::ModelPower)
                          : CUnitsStep::ChangeCodeOf(touched);
    emit model_.Events().TickedUnitsChanged(&studio, shown);
    return {};
}

void CCommands::SendGroup(StudioData& studio, const GroupChange& change) {
    const std::vector<StrobeData*> ticked = TickedOf(studio);
    const auto set = [&](int StrobeSettings::*field, const std::optional<int>& value,
                         SettingType type) {
        if (!value) {
            return;
        }
        std::uint16_t mask = 0;
        for (StrobeData* unit : ticked) {
            unit->*field = *value;
            mask |= MaskFromSlot(unit->nChNum);
        }
        // One frame for all ticked units; its value byte comes from the last of them, which
        // holds the same value as every other one now.
        protocol_.SendSetting(mask, ticked.back(), type);
    };
    if (change.flashOn == 1) {
        set(&StrobeSettings::bFlashPow, change.flashOn, SettingType::FlashSwitch);
    }
    set(&StrobeSettings::nModelMode1, change.modelMode, SettingType::ModelMode1);
    set(&StrobeSettings::nModelMode2, change.lampMode, SettingType::ModelMode2);
    const int flashDelta = change.flashOffset.value_or(0);
    const int modelDelta = change.modelOffset.value_or(0);
    switch (change.tables) {
        case GroupChange::Tables::Each:
            if (change.flashOffset) {
                ApplyOffsets(studio, flashDelta, 0, true);
            }
            if (change.modelOffset) {
                ApplyOffsets(studio, 0, modelDelta, false);
            }
            break;
        case GroupChange::Tables::Flash:
        case GroupChange::Tables::Model:
            ApplyOffsets(studio, flashDelta, modelDelta,
                         change.tables == GroupChange::Tables::Flash);
            break;
    }
    set(&StrobeSettings::bFlashCell, change.cell, SettingType::PhotoCell);
    set(&StrobeSettings::bFlashSnd, change.sound, SettingType::Sound);
    set(&StrobeSettings::bModelPow, change.modelOn, SettingType::ModelSwitch);
    if (change.flashOn == 0) {
        set(&StrobeSettings::bFlashPow, change.flashOn, SettingType::FlashSwitch);
    }
}

void CCommands::ApplyOffsets(StudioData& studio, int flashDelta, int modelDelta, bool flashTable) {
    for (StrobeData* unit : TickedOf(studio)) {
        // A unit in "Prop" moves both its powers by the offset of the table that goes out; a unit
        // in "Free" moves each power by its own offset.
        const bool prop = unit->nModelMode1 == 1;
        unit->nFlashValue =
            PropCoupling::Follow(unit->nFlashValue, prop && !flashTable ? modelDelta : flashDelta);
        unit->nModelValue =
            PropCoupling::Follow(unit->nModelValue, prop && flashTable ? flashDelta : modelDelta);
    }
    // One frame carries the powers of the whole studio, however many units are ticked.
    protocol_.SendPowerTable(
        flashTable ? SettingType::FlashPowerTable : SettingType::ModelPowerTable, &studio);
}

CommandResult CCommands::TestTicked(StudioData& studio, Origin origin) {
    const std::vector<StrobeData*> ticked = TickedOf(studio);
    if (CommandResult check = CheckTicked(studio, ticked, origin); !check) {
        return check;
    }
    std::uint16_t mask = 0;
    for (const StrobeData* unit : ticked) {
        mask |= MaskFromSlot(unit->nChNum);
    }
    protocol_.SendSetting(mask, ticked.back(), SettingType::TestFlash);
    return {};
}

// ---- History ------------------------------------------------------------------------------------

void CCommands::Push(CUnitsStep* step) {
    std::unique_ptr<CUnitsStep> owned(step);
    if (!owned->ChangesAnything()) {
        return;
    }
    history_.push(owned.release());
}

CommandResult CCommands::CheckStep(const CUnitsStep* step, Origin origin) const {
    if (CommandResult acting = CheckActing(origin); !acting) {
        return acting;
    }
    if (const QString problem = step ? step->Problem() : QString(); !problem.isEmpty()) {
        return CommandResult::Refused(CommandRefusal::NoUnit, problem);
    }
    return {};
}

CommandResult CCommands::Undo(Origin origin) {
    if (!history_.canUndo()) {
        return CommandResult::Refused(CommandRefusal::NothingToUndo,
                                      QStringLiteral("nothing to undo"));
    }
    const auto* step = dynamic_cast<const CUnitsStep*>(history_.command(history_.index() - 1));
    if (CommandResult check = CheckStep(step, origin); !check) {
        return check;
    }
    const QString text = history_.undoText();
    history_.undo();
    emit Undone(text);
    return {};
}

CommandResult CCommands::Redo(Origin origin) {
    if (!history_.canRedo()) {
        return CommandResult::Refused(CommandRefusal::NothingToRedo,
                                      QStringLiteral("nothing to redo"));
    }
    const auto* step = dynamic_cast<const CUnitsStep*>(history_.command(history_.index()));
    if (CommandResult check = CheckStep(step, origin); !check) {
        return check;
    }
    const QString text = history_.redoText();
    history_.redo();
    emit Redone(text);
    return {};
}
