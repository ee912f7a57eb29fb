#include "commands/UnitsStep.h"

#include "commands/Commands.h"
#include "link/ChangeCode.h"
#include "link/SettingType.h"
#include "link/ZbProtocol.h"
#include "model/FixedNames.h"
#include "model/StudioData.h"
#include "model/StudioModel.h"

#include <array>

namespace {

// The settings a step can put back, in the order their frames go out; the unit's power switch
// goes first when it is switched on and last when it is switched off, so that the settings
// between find it on.
struct Setting {
    int StrobeSettings::*field;
    SettingType type;
    CUnitsStep::Touched bit;
    ChangeCode change;  // what the panes are told of it
    const char* label;
    const char* off;  // the text of value 0 (nullptr: a power level)
    const char* on;   // the text of value 1
};
constexpr std::array<Setting, 8> kSettings = {{
    {&StrobeSettings::bFlashPow, SettingType::FlashSwitch, CUnitsStep::kFlashOn,
     ChangeCode::FlashSwitch, "Power", "Off", "On"},
    {&StrobeSettings::nFlashValue, SettingType::FlashPower, CUnitsStep::kFlash,
     ChangeCode::FlashPower, "Flash Power", nullptr, nullptr},
    {&StrobeSettings::nModelValue, SettingType::ModelPower, CUnitsStep::kModel,
     ChangeCode::ModelPower, "Model Power", nullptr, nullptr},
    {&StrobeSettings::nModelMode1, SettingType::ModelMode1, CUnitsStep::kModelMode,
     ChangeCode::ModelMode1, "Model mode", "Free", "Prop"},
    {&StrobeSettings::nModelMode2, SettingType::ModelMode2, CUnitsStep::kLampMode,
     ChangeCode::ModelMode2, "Lamp mode", "Flash Prop", "Continous"},
    {&StrobeSettings::bFlashCell, SettingType::PhotoCell, CUnitsStep::kCell, ChangeCode::PhotoCell,
     "Cell", "Off", "On"},
    {&StrobeSettings::bFlashSnd, SettingType::Sound, CUnitsStep::kSound, ChangeCode::Sound, "Sound",
     "Off", "On"},
    {&StrobeSettings::bModelPow, SettingType::ModelSwitch, CUnitsStep::kModelOn,
     ChangeCode::ModelSwitch, "Model lamp", "Off", "On"},
}};

QString ValueText(const Setting& setting, int value) {
    if (!setting.off) {
        return PowerLevelText(value);
    }
    return QString::fromLatin1(value ? setting.on : setting.off);
}

}  // namespace

CUnitsStep::CUnitsStep(CCommands& commands, StudioData& studio, Road road, QString what,
                       std::int64_t atMs)
    : commands_(commands), studio_(&studio), road_(road), what_(std::move(what)), lastMs_(atMs) {}

void CUnitsStep::Before(const StrobeData& unit) {
    Entry entry;
    entry.slot = unit.nChNum;
    entry.serial = unit.nSerial;
    entry.before = {unit.Settings(), unit.sModelName, unit.sLightName};
    entries_.push_back(std::move(entry));
}

void CUnitsStep::After(Touched touched, bool merges) {
    touched_ = touched;
    merges_ = merges;
    for (Entry& entry : entries_) {
        if (const StrobeData* unit = Live(entry)) {
            entry.after = {unit->Settings(), unit->sModelName, unit->sLightName};
        } else {
            entry.after = entry.before;
        }
    }
    Describe();
}

bool CUnitsStep::ChangesAnything() const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [](const Entry& entry) { return !(entry.before == entry.after); });
}

StrobeData* CUnitsStep::Live(const Entry& entry) const {
    StrobeData* unit = studio_->bChUsed[entry.slot] ? studio_->Unit(entry.slot) : nullptr;
    return unit && unit->nSerial == entry.serial ? unit : nullptr;
}

QString CUnitsStep::Problem() const {
    for (const Entry& entry : entries_) {
        if (!Live(entry)) {
            return QStringLiteral("the units of this step are no longer there");
        }
    }
    const CommandResult tuned = commands_.CheckTuned(*studio_);
    return tuned ? QString() : tuned.reason;
}

int CUnitsStep::id() const {
    return merges_ && touched_ != 0 ? touched_ : -1;
}

bool CUnitsStep::mergeWith(const QUndoCommand* other) {
    const auto* next = dynamic_cast<const CUnitsStep*>(other);
    if (!next || next->studio_ != studio_ || next->road_ != road_ ||
        next->entries_.size() != entries_.size() ||
        next->lastMs_ - lastMs_ > CCommands::kMergeWindowMs) {
        return false;
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].slot != next->entries_[i].slot ||
            entries_[i].serial != next->entries_[i].serial) {
            return false;
        }
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        entries_[i].after = next->entries_[i].after;
    }
    lastMs_ = next->lastMs_;
    // Changes that came back to where they started leave nothing to undo.
    setObsolete(!ChangesAnything());
    Describe();
    return true;
}

void CUnitsStep::undo() {
    Apply(false);
}

void CUnitsStep::redo() {
    if (done_) {
        done_ = false;
        return;
    }
    Apply(true);
}

void CUnitsStep::Apply(bool after) {
    CZbProtocol& protocol = commands_.protocol_;
    bool powersChanged[2] = {false, false};
    for (const Entry& entry : entries_) {
        StrobeData* unit = Live(entry);
        if (!unit) {
            continue;
        }
        const Values& to = after ? entry.after : entry.before;
        const StrobeSettings from = unit->Settings();
        unit->Settings() = to.settings;
        unit->sModelName = to.modelName;
        unit->sLightName = to.lightName;
        if (road_ == Road::Whole) {
            protocol.SendUnitSettings(0, unit);
        } else {
            powersChanged[0] |= from.nFlashValue != to.settings.nFlashValue;
            powersChanged[1] |= from.nModelValue != to.settings.nModelValue;
            SendSettings(*unit, from);
        }
    }
    if (road_ == Road::Tables) {
        if (powersChanged[0]) {
            protocol.SendPowerTable(SettingType::FlashPowerTable, studio_);
        }
        if (powersChanged[1]) {
            protocol.SendPowerTable(SettingType::ModelPowerTable, studio_);
        }
    }
    ModelEvents& events = commands_.Model().Events();
    for (const Entry& entry : entries_) {
        if (StrobeData* unit = Live(entry)) {
            emit events.UnitChanged(unit, ModelEvents::kAllSettings, false);
            if (touched_ & kNames) {
                emit events.NamesChanged(unit);
            }
        }
    }
}

void CUnitsStep::SendSettings(StrobeData& unit, const StrobeSettings& from) {
    CZbProtocol& protocol = commands_.protocol_;
    const auto differs = [&](const Setting& s) { return from.*s.field != unit.*s.field; };
    const Setting& power = kSettings[0];
    if (differs(power) && unit.bFlashPow) {
        protocol.SendSetting(0, &unit, power.type);
    }
    for (std::size_t i = 1; i < kSettings.size(); ++i) {
        const Setting& s = kSettings[i];
        const bool isPower = s.type == SettingType::FlashPower || s.type == SettingType::ModelPower;
        if (differs(s) && !(isPower && road_ == Road::Tables)) {
            protocol.SendSetting(0, &unit, s.type);
        }
    }
    if (differs(power) && !unit.bFlashPow) {
        protocol.SendSetting(0, &unit, power.type);
    }
}

void CUnitsStep::Describe() {
    QString text = what_;
    if (entries_.size() == 1) {
        const Entry& entry = entries_.front();
        const QString channel = kSlotNames[entry.slot].toString();
        text += u' ' + channel;
        if (touched_ == kNames) {
            const bool light = entry.before.lightName != entry.after.lightName;
            text += QStringLiteral(" %1 → %2")
                        .arg(light ? entry.before.lightName : entry.before.modelName,
                             light ? entry.after.lightName : entry.after.modelName);
        }
        for (const Setting& s : kSettings) {
            if (touched_ == s.bit) {
                text += QStringLiteral(" %1 → %2")
                            .arg(ValueText(s, entry.before.settings.*s.field),
                                 ValueText(s, entry.after.settings.*s.field));
            }
        }
    } else if (!entries_.empty()) {
        text += QStringLiteral(" (%1 units)").arg(entries_.size());
    }
    setText(text);
}

int CUnitsStep::ChangeCodeOf(Touched touched) {
    for (const Setting& s : kSettings) {
        if ((touched & ~kTicked) == s.bit) {
            return static_cast<int>(s.change);
        }
    }
    return ModelEvents::kAllSettings;
}

QString CUnitsStep::Label(Touched touched) {
    for (const Setting& s : kSettings) {
        if (touched == s.bit || touched == (s.bit | kTicked)) {
            return QString::fromLatin1(s.label);
        }
    }
    return touched & kNames ? QStringLiteral("Name") : QStringLiteral("Settings");
}
