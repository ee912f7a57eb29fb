#include "SimWorld.h"

#include <algorithm>
#include <utility>

#include "SimTiming.h"

namespace orvane::sim {
namespace {

bool* switchOf(UnitState& state, SettingType type) {
    switch (type) {
        case SettingType::LampMode1:
            return &state.mode1;
        case SettingType::LampMode2:
            return &state.mode2;
        case SettingType::PhotoCell:
            return &state.cell;
        case SettingType::Sound:
            return &state.sound;
        case SettingType::LampSwitch:
            return &state.lamp;
        case SettingType::UnitSwitch:
            return &state.powered;
        case SettingType::FlashPower:
        case SettingType::LampPower:
        case SettingType::TestFlash:
            break;
    }
    return nullptr;
}

// A level byte of 0 means "no value here"; anything else is pulled into the head's range.
void applyLevel(int& level, int requested) {
    if (requested != 0) {
        level = clampLevel(requested);
    }
}

}  // namespace

SimWorld::SimWorld(std::uint32_t seed, Sink sink) : random_(seed), sink_(std::move(sink)) {}

void SimWorld::setSink(Sink sink) {
    sink_ = std::move(sink);
}

bool SimWorld::addUnit(UnitAddress where, const UnitState& state) {
    if (!validAddress(where) || studios_[where.studio][where.slot]) {
        return false;
    }
    Unit unit;
    unit.state = state;
    unit.state.flash = clampLevel(state.flash);
    unit.state.model = clampLevel(state.model);
    unit.state.heat = std::clamp(state.heat, 0, kMaxHeat);
    unit.serial = nextSerial_++;
    studios_[where.studio][where.slot] = unit;
    keepCooling();
    return true;
}

bool SimWorld::removeUnit(UnitAddress where) {
    if (!find(where)) {
        return false;
    }
    studios_[where.studio][where.slot].reset();
    return true;
}

bool SimWorld::setHeat(UnitAddress where, int heat) {
    Unit* unit = find(where);
    if (!unit || heat < 0 || heat > kMaxHeat) {
        return false;
    }
    raiseHeat(where, *unit, heat);
    return true;
}

bool SimWorld::setMuted(UnitAddress where, bool muted) {
    Unit* unit = find(where);
    if (!unit) {
        return false;
    }
    unit->muted = muted;
    return true;
}

const UnitState* SimWorld::unit(UnitAddress where) const {
    if (!validAddress(where) || !studios_[where.studio][where.slot]) {
        return nullptr;
    }
    return &studios_[where.studio][where.slot]->state;
}

bool SimWorld::receive(std::span<const std::uint8_t> frame) {
    const std::optional<Request> request = decodeRequest(frame);
    if (!request) {
        return false;
    }
    std::visit([this](const auto& decoded) { handle(decoded); }, *request);
    return true;
}

void SimWorld::advanceTo(std::int64_t nowMs) {
    events_.advanceTo(nowMs);
}

std::optional<std::int64_t> SimWorld::nextDueMs() const {
    return events_.nextDueMs();
}

std::int64_t SimWorld::nowMs() const {
    return events_.now();
}

void SimWorld::handle(const ScanRequest& request) {
    tuned_ = request.studio;
    // A new scan supersedes the old one: answers still on their way from it are never sent.
    const std::uint64_t generation = ++scanGeneration_;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const UnitAddress where{request.studio, slot};
        const Unit* unit = find(where);
        if (!unit || unit->muted) {
            continue;
        }
        const std::int64_t due =
            events_.now() + randomBetween(timing::kScanAnswerMinMs, timing::kScanAnswerMaxMs);
        events_.schedule(due, [this, where, serial = unit->serial, generation] {
            const Unit* answering = find(where, serial);
            if (generation != scanGeneration_ || !answering) {
                return;
            }
            // The report is made when it is sent, so it tells the head's state at that moment.
            transmit(where.studio, statusReport(where.slot, answering->state));
        });
    }
}

void SimWorld::handle(const UnitSettingsRequest& request) {
    forAddressed(request.mask, [&](UnitAddress where, Unit& unit) {
        UnitState& state = unit.state;
        state.powered = request.powered;
        applyLevel(state.flash, request.flash);
        applyLevel(state.model, request.model);
        state.cell = request.cell;
        state.sound = request.sound;
        state.mode1 = request.mode1;
        state.mode2 = request.mode2;
        state.lamp = request.lamp;
        answer(where, unit, statusReport(where.slot, state), latency());
    });
}

void SimWorld::handle(const SettingRequest& request) {
    forAddressed(request.mask,
                 [&](UnitAddress where, Unit& unit) { applySetting(request, where, unit); });
}

void SimWorld::applySetting(const SettingRequest& request, UnitAddress where, Unit& unit) {
    UnitState& state = unit.state;
    switch (request.type) {
        case SettingType::FlashPower:
        case SettingType::LampPower:
            // Both power frames carry both levels, but each head takes only the one the frame is
            // named for; the other byte is what the program believes, and the report corrects it.
            if (request.type == SettingType::FlashPower) {
                applyLevel(state.flash, request.first);
            } else {
                applyLevel(state.model, request.second);
            }
            answer(where, unit,
                   settingReport(request.type, where.slot, static_cast<std::uint8_t>(state.flash),
                                 static_cast<std::uint8_t>(state.model)),
                   latency());
            return;
        case SettingType::TestFlash:
            fire(where, unit, latency());
            return;
        case SettingType::LampMode1:
        case SettingType::LampMode2:
        case SettingType::PhotoCell:
        case SettingType::Sound:
        case SettingType::LampSwitch:
        case SettingType::UnitSwitch:
            break;
    }
    bool* on = switchOf(state, request.type);
    if (!on) {
        return;
    }
    *on = request.second != 0;
    answer(where, unit, settingReport(request.type, where.slot, 0, *on ? 1 : 0), latency());
}

void SimWorld::handle(const PowerTableRequest& request) {
    if (!tuned_) {
        return;
    }
    const int studio = *tuned_;
    std::array<std::uint8_t, kSlotCount> flash{};
    std::array<std::uint8_t, kSlotCount> model{};
    for (int slot = 0; slot < kSlotCount; ++slot) {
        Unit* unit = find({studio, slot});
        if (!unit) {
            continue;
        }
        // A head out of reach keeps its level; the dongle's echo then tells the program so.
        if (unit->muted) {
        } else if (request.table == Command::FlashTable) {
            applyLevel(unit->state.flash, request.flash[slot]);
        } else {
            applyLevel(unit->state.model, request.model[slot]);
        }
        flash[slot] = static_cast<std::uint8_t>(unit->state.flash);
        model[slot] = static_cast<std::uint8_t>(unit->state.model);
    }
    // The table is answered by the dongle itself, not by a head, so it queues behind no one.
    events_.schedule(events_.now() + latency(),
                     [this, studio, echo = powerTableEcho(request.table, flash, model)] {
                         transmit(studio, echo);
                     });
}

void SimWorld::fire(UnitAddress where, Unit& unit, std::int64_t latency) {
    if (!unit.state.powered) {
        return;
    }
    // A head fires even while it is still recharging: a quick burst is exactly what heats it up,
    // and the program's overheat warning must be reachable.
    unit.state.charged = false;
    const std::uint64_t flash = ++unit.flashCount;
    answer(where, unit, stateReport(StateCode::TestFlashDone, where.slot, 0), latency);
    answer(where, unit, stateReport(StateCode::Charge, where.slot, 0), 0);
    raiseHeat(where, unit, unit.state.heat + timing::heatPerFlash(unit.state.flash));

    const std::int64_t ready = unit.quietUntil + timing::recycleMs(unit.state.flash);
    events_.schedule(ready, [this, where, serial = unit.serial, flash] {
        Unit* charging = find(where, serial);
        // A later flash has started its own recharge; only that one may report the head ready.
        if (!charging || charging->flashCount != flash) {
            return;
        }
        charging->state.charged = true;
        answer(where, *charging, stateReport(StateCode::Charge, where.slot, 1), 0);
    });
}

void SimWorld::raiseHeat(UnitAddress where, Unit& unit, int heat) {
    heat = std::clamp(heat, 0, kMaxHeat);
    if (heat == unit.state.heat) {
        return;
    }
    unit.state.heat = heat;
    answer(where, unit,
           monitorReport(MonitorCode::Heat, where.slot, static_cast<std::uint8_t>(heat)), 0);
    keepCooling();
}

void SimWorld::keepCooling() {
    if (coolingScheduled_) {
        return;
    }
    const bool anyWarm = std::ranges::any_of(studios_, [](const auto& studio) {
        return std::ranges::any_of(
            studio, [](const std::optional<Unit>& unit) { return unit && unit->state.heat > 0; });
    });
    if (!anyWarm) {
        return;
    }
    // One shared tick cools every head, so an idle dongle has no timer running at all.
    coolingScheduled_ = true;
    events_.schedule(events_.now() + timing::kHeatDecayIntervalMs, [this] { coolDown(); });
}

void SimWorld::coolDown() {
    coolingScheduled_ = false;
    for (int studio = 0; studio < kStudioCount; ++studio) {
        for (int slot = 0; slot < kSlotCount; ++slot) {
            Unit* unit = find({studio, slot});
            if (unit && unit->state.heat > 0) {
                raiseHeat({studio, slot}, *unit, unit->state.heat - 1);
            }
        }
    }
    keepCooling();
}

template <typename Visit>
void SimWorld::forAddressed(std::uint16_t mask, Visit visit) {
    if (!tuned_) {
        return;
    }
    for (int slot = 0; slot < kSlotCount; ++slot) {
        Unit* unit = find({*tuned_, slot});
        if (unit && !unit->muted && maskAddresses(mask, slot)) {
            visit(UnitAddress{*tuned_, slot}, *unit);
        }
    }
}

SimWorld::Unit* SimWorld::find(UnitAddress where) {
    if (!validAddress(where) || !studios_[where.studio][where.slot]) {
        return nullptr;
    }
    return &*studios_[where.studio][where.slot];
}

SimWorld::Unit* SimWorld::find(UnitAddress where, std::uint64_t serial) {
    Unit* unit = find(where);
    return unit && unit->serial == serial ? unit : nullptr;
}

std::int64_t SimWorld::randomBetween(std::int64_t low, std::int64_t high) {
    return std::uniform_int_distribution<std::int64_t>(low, high)(random_);
}

std::int64_t SimWorld::latency() {
    return randomBetween(timing::kReplyLatencyMinMs, timing::kReplyLatencyMaxMs);
}

void SimWorld::answer(UnitAddress where, Unit& unit, Frame frame, std::int64_t delayMs) {
    const std::int64_t due = std::max(events_.now() + delayMs, unit.quietUntil);
    unit.quietUntil = due;
    events_.schedule(due, [this, where, serial = unit.serial, frame = std::move(frame)] {
        const Unit* speaking = find(where, serial);
        if (speaking && !speaking->muted) {
            transmit(where.studio, frame);
        }
    });
}

void SimWorld::transmit(int studio, const Frame& frame) {
    if (tuned_ == studio && sink_) {
        sink_(frame);
    }
}

}  // namespace orvane::sim
