#include "link/ConfirmationTracker.h"

#include "link/Frame.h"
#include "link/UnitMask.h"
#include "model/StudioModel.h"

#include <QTimerEvent>

#include <algorithm>
#include <chrono>

namespace {

std::int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

Confirmation Worse(Confirmation a, Confirmation b) {
    return std::max(a, b);
}

}  // namespace

CConfirmationTracker::CConfirmationTracker(CZbEventHandler& handler, const StudioModel& model,
                                           Clock clock)
    : handler_(handler), model_(model), clock_(clock ? std::move(clock) : Clock(SteadyMs)) {}

void CConfirmationTracker::SetOnChanged(std::function<void(StrobeData&)> onChanged) {
    onChanged_ = std::move(onChanged);
}

// Each item by the setting type of the frame that sends it and the field that holds its value;
// in the order of the items.
struct CConfirmationTracker::ItemInfo {
    SettingType type;
    int StrobeSettings::*field;  // none for the test flash, which carries no value
};
const std::array<CConfirmationTracker::ItemInfo, CConfirmationTracker::kItemCount>
    CConfirmationTracker::kItems = {{
        {SettingType::FlashPower, &StrobeSettings::nFlashValue},
        {SettingType::ModelPower, &StrobeSettings::nModelValue},
        {SettingType::ModelMode1, &StrobeSettings::nModelMode1},
        {SettingType::ModelMode2, &StrobeSettings::nModelMode2},
        {SettingType::PhotoCell, &StrobeSettings::bFlashCell},
        {SettingType::Sound, &StrobeSettings::bFlashSnd},
        {SettingType::FlashSwitch, &StrobeSettings::bFlashPow},
        {SettingType::ModelSwitch, &StrobeSettings::bModelPow},
        {SettingType::TestFlash, nullptr},
    }};

int CConfirmationTracker::ValueOf(const StrobeSettings& settings, Item item) {
    const auto field = kItems[item].field;
    return field ? settings.*field : 0;
}

bool CConfirmationTracker::ItemOf(SettingType type, Item& item) {
    // A power table carries the power of its kind for every unit.
    if (type == SettingType::FlashPowerTable || type == SettingType::ModelPowerTable) {
        type = type == SettingType::FlashPowerTable ? SettingType::FlashPower
                                                    : SettingType::ModelPower;
    }
    for (int i = 0; i < kItemCount; ++i) {
        if (kItems[i].type == type) {
            item = static_cast<Item>(i);
            return true;
        }
    }
    return false;
}

CConfirmationTracker::Record* CConfirmationTracker::Find(const StrobeData& unit) {
    const auto found = std::ranges::find_if(
        records_, [&unit](const Record& r) { return r.unit == &unit && r.serial == unit.nSerial; });
    return found != records_.end() ? &*found : nullptr;
}

const CConfirmationTracker::Record* CConfirmationTracker::Find(const StrobeData& unit) const {
    return const_cast<CConfirmationTracker*>(this)->Find(unit);
}

StrobeData* CConfirmationTracker::UnitAt(int slot) const {
    const StudioData* studio = model_.pScanStudio;
    return studio ? studio->Unit(slot) : nullptr;
}

Confirmation CConfirmationTracker::StateOf(const Expected& expected, std::int64_t now) {
    if (!expected.open) {
        return Confirmation::Confirmed;
    }
    const std::int64_t waited = now - expected.sentMs;
    if (waited >= kConfirmTimeoutMs) {
        return Confirmation::NotConfirmed;
    }
    return waited >= kWaitingShownMs ? Confirmation::Waiting : Confirmation::Confirmed;
}

CConfirmationTracker::Shown CConfirmationTracker::ShownOf(const Record& record, std::int64_t now) {
    Shown shown;
    for (int item = 0; item < kItemCount; ++item) {
        const Confirmation state = StateOf(record.expected[item], now);
        shown.unit = Worse(shown.unit, state);
        const bool lamp =
            item == ModelPower || item == Mode1 || item == Mode2 || item == LampSwitch;
        (lamp ? shown.model : shown.flash) = Worse(lamp ? shown.model : shown.flash, state);
    }
    return shown;
}

Confirmation CConfirmationTracker::StateOf(const StrobeData& unit) const {
    const Record* record = Find(unit);
    return record ? record->shown.unit : Confirmation::Confirmed;
}

Confirmation CConfirmationTracker::StateOf(const StrobeData& unit, ConfirmationGroup group) const {
    const Record* record = Find(unit);
    if (!record) {
        return Confirmation::Confirmed;
    }
    return group == ConfirmationGroup::Flash ? record->shown.flash : record->shown.model;
}

template <class Visit>
void CConfirmationTracker::ForEachAddressed(const SentFrame& sent, Visit visit) const {
    // The frame may have waited for the line while a scan freed the unit it was built from.
    if (sent.mask == 0) {
        if (const StrobeData* unit = model_.LiveUnit(sent.unitAddress, sent.unitSerial)) {
            visit(*unit);
        }
        return;
    }
    const StudioData* studio = model_.pScanStudio;
    if (!studio) {
        return;
    }
    // The all-units bits reach every slot.
    constexpr std::uint16_t kEverySlot = 0x1F1F;
    ForEachSlot((sent.mask & kAllUnitsMask) ? kEverySlot : sent.mask, [&](int slot) {
        if (const StrobeData* addressed = studio->Unit(slot)) {
            visit(*addressed);
        }
    });
}

void CConfirmationTracker::Expect(const StrobeData& unit, Item item, int value) {
    Record* record = Find(unit);
    if (!record) {
        records_.push_back({const_cast<StrobeData*>(&unit), unit.nSerial, {}, {}});
        record = &records_.back();
    }
    // Only the latest value counts: an answer to an earlier one no longer confirms anything.
    record->expected[item] = {true, value, clock_()};
}

bool CConfirmationTracker::Match(StrobeData* unit, std::initializer_list<Item> items,
                                 const StrobeSettings& reported) {
    Record* record = unit ? Find(*unit) : nullptr;
    if (!record) {
        return false;
    }
    bool closed = false;
    for (const Item item : items) {
        Expected& expected = record->expected[item];
        if (expected.open && (item == TestFlash || ValueOf(reported, item) == expected.value)) {
            expected.open = false;
            closed = true;
        }
    }
    return closed;
}

void CConfirmationTracker::Publish() {
    if (records_.empty()) {
        timer_.stop();
        timerDueMs_ = -1;
        return;
    }
    const std::int64_t now = clock_();
    std::int64_t nextChange = -1;
    std::vector<StrobeData*> changed;
    std::erase_if(records_, [&](Record& record) {
        // A scan frees the units it clears: what was expected of them is forgotten with them.
        if (!model_.LiveUnit(reinterpret_cast<std::intptr_t>(record.unit), record.serial)) {
            return true;
        }
        const Shown shown = ShownOf(record, now);
        if (shown != record.shown) {
            record.shown = shown;
            changed.push_back(record.unit);
        }
        bool open = false;
        for (const Expected& expected : record.expected) {
            if (!expected.open) {
                continue;
            }
            open = true;
            for (const std::int64_t due :
                 {expected.sentMs + kWaitingShownMs, expected.sentMs + kConfirmTimeoutMs}) {
                if (due > now && (nextChange < 0 || due < nextChange)) {
                    nextChange = due;
                }
            }
        }
        return !open && shown == Shown{};
    });
    if (nextChange < 0) {
        timer_.stop();
        timerDueMs_ = -1;
    } else if (nextChange != timerDueMs_) {
        timer_.start(static_cast<int>(nextChange - now), Qt::PreciseTimer, this);
        timerDueMs_ = nextChange;
    }
    for (StrobeData* unit : changed) {
        if (onChanged_) {
            onChanged_(*unit);
        }
        emit StateChanged(unit);
    }
}

void CConfirmationTracker::Tick() {
    Publish();
}

void CConfirmationTracker::timerEvent(QTimerEvent* event) {
    if (event->timerId() == timer_.timerId()) {
        // The timer repeats: what is due next is set afresh.
        timerDueMs_ = -1;
        Publish();
        return;
    }
    QObject::timerEvent(event);
}

int CConfirmationTracker::OnUnitStatus(int nSlot, const StrobeData& status, int nReserved) {
    const int result = handler_.OnUnitStatus(nSlot, status, nReserved);
    // Only a report that closes something changes what is shown; time passing is the timer's.
    if (!records_.empty() &&
        Match(UnitAt(nSlot),
              {FlashPower, ModelPower, Mode1, Mode2, Cell, Sound, FlashSwitch, LampSwitch},
              status)) {
        Publish();
    }
    return result;
}

int CConfirmationTracker::OnSettingReport(std::uint8_t nType, int nSlot, int nValue,
                                          std::span<const std::uint8_t> frame) {
    const int result = handler_.OnSettingReport(nType, nSlot, nValue, frame);
    if (records_.empty()) {
        return result;
    }
    const auto type = static_cast<SettingType>(nType);
    Item item = FlashPower;
    bool closed = false;
    // The powers as the report carried them; a 0 or a level out of range matches nothing sent.
    const auto powers = [](StrobeData& unit, int flash, int model) {
        StrobeSettings reported = unit.Settings();
        reported.nFlashValue = flash;
        reported.nModelValue = model;
        return reported;
    };
    if (type == SettingType::FlashPowerTable || type == SettingType::ModelPowerTable) {
        // A power table carries both powers of every slot.
        if (const StudioData* studio = model_.pScanStudio) {
            for (int slot = 0; slot < kSlotCount; ++slot) {
                StrobeData* unit = studio->Unit(slot);
                const std::size_t at = PowerTableFlashAt(slot);
                if (unit && at + 1 < frame.size()) {
                    closed |= Match(unit, {FlashPower, ModelPower},
                                    powers(*unit, frame[at], frame[at + 1]));
                }
            }
        }
    } else if (type == SettingType::FlashPower || type == SettingType::ModelPower) {
        if (StrobeData* unit = UnitAt(nSlot)) {
            closed = Match(unit, {FlashPower, ModelPower},
                           powers(*unit, (nValue >> 8) & 0xFF, nValue & 0xFF));
        }
    } else if (type != SettingType::TestFlash && ItemOf(type, item)) {
        // The record took the switch or mode as reported.
        if (StrobeData* unit = UnitAt(nSlot)) {
            closed = Match(unit, {item}, unit->Settings());
        }
    }
    if (closed) {
        Publish();
    }
    return result;
}

int CConfirmationTracker::OnStateReport(std::uint8_t nCode, int nSlot, std::uint8_t nValue) {
    const int result = handler_.OnStateReport(nCode, nSlot, nValue);
    if (!records_.empty() && static_cast<StateCode>(nCode) == StateCode::TestFlashDone &&
        Match(UnitAt(nSlot), {TestFlash}, {})) {
        Publish();
    }
    return result;
}

int CConfirmationTracker::OnMonitorReport(std::uint8_t nCode, int nSlot, std::uint8_t nValue) {
    return handler_.OnMonitorReport(nCode, nSlot, nValue);
}

void CConfirmationTracker::OnFrameSent(const SentFrame& sent) {
    Item item = FlashPower;
    switch (sent.kind) {
        case SentFrame::Kind::Setting:
            if (!ItemOf(sent.type, item)) {
                return;
            }
            // Every unit the mask reached was sent the values of the unit the frame was built from.
            ForEachAddressed(sent, [&](const StrobeData& addressed) {
                Expect(addressed, item, ValueOf(sent.values, item));
            });
            break;
        case SentFrame::Kind::UnitSettings:
            ForEachAddressed(sent, [&](const StrobeData& addressed) {
                for (const Item each :
                     {FlashPower, ModelPower, Mode1, Mode2, Cell, Sound, FlashSwitch, LampSwitch}) {
                    Expect(addressed, each, ValueOf(sent.values, each));
                }
            });
            break;
        case SentFrame::Kind::PowerTable:
            if (!sent.studio || !ItemOf(sent.type, item)) {
                return;
            }
            for (int slot = 0; slot < kSlotCount; ++slot) {
                if (const StrobeData* unit = sent.studio->Unit(slot)) {
                    Expect(*unit, item, sent.powers[static_cast<std::size_t>(slot)]);
                }
            }
            break;
    }
    Publish();
}
