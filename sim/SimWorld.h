#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <span>

#include "EventQueue.h"
#include "SimUnit.h"
#include "SimWire.h"

namespace orvane::sim {

// The studios and their heads as the dongle sees them. It knows nothing of ports or real time:
// frames come in through receive(), answers leave through the sink, and time moves only through
// advanceTo(), so every behaviour can be replayed exactly from a seed.
class SimWorld {
public:
    using Sink = std::function<void(const Frame&)>;

    explicit SimWorld(std::uint32_t seed, Sink sink = {});

    void setSink(Sink sink);

    bool addUnit(UnitAddress where, const UnitState& state = {});
    bool removeUnit(UnitAddress where);
    // Heat is limited to 0..kMaxHeat; anything else is refused.
    bool setHeat(UnitAddress where, int heat);
    // A muted head is out of the radio's reach: it hears no frame and nothing it says gets through,
    // until it is unmuted. False when the slot has no head.
    bool setMuted(UnitAddress where, bool muted);
    const UnitState* unit(UnitAddress where) const;

    // Empty until the first scan: the dongle listens on no channel before it is told one.
    std::optional<int> tunedStudio() const { return tuned_; }

    // Returns false for frames the dongle does not understand; those change nothing.
    bool receive(std::span<const std::uint8_t> frame);

    void advanceTo(std::int64_t nowMs);
    std::optional<std::int64_t> nextDueMs() const;
    std::int64_t nowMs() const;

private:
    struct Unit {
        UnitState state;
        // Pending actions carry the serial they were made for, so a head removed and added again
        // at the same slot never receives its predecessor's answers.
        std::uint64_t serial = 0;
        // A head answers in order: nothing it sends may overtake what it sent before.
        std::int64_t quietUntil = 0;
        std::uint64_t flashCount = 0;
        bool muted = false;
    };

    void handle(const ScanRequest& request);
    void handle(const UnitSettingsRequest& request);
    void handle(const SettingRequest& request);
    void handle(const PowerTableRequest& request);
    void applySetting(const SettingRequest& request, UnitAddress where, Unit& unit);
    void fire(UnitAddress where, Unit& unit, std::int64_t latency);
    void raiseHeat(UnitAddress where, Unit& unit, int heat);
    void keepCooling();
    void coolDown();

    template <typename Visit>
    void forAddressed(std::uint16_t mask, Visit visit);

    Unit* find(UnitAddress where);
    Unit* find(UnitAddress where, std::uint64_t serial);
    std::int64_t randomBetween(std::int64_t low, std::int64_t high);
    std::int64_t latency();
    // Queues a frame from one head behind everything that head already has queued.
    void answer(UnitAddress where, Unit& unit, Frame frame, std::int64_t delayMs);
    // Only the channel the dongle listens on reaches the program.
    void transmit(int studio, const Frame& frame);

    std::array<std::array<std::optional<Unit>, kSlotCount>, kStudioCount> studios_;
    std::optional<int> tuned_;
    std::uint64_t scanGeneration_ = 0;
    std::uint64_t nextSerial_ = 1;
    bool coolingScheduled_ = false;
    EventQueue events_;
    std::mt19937 random_;
    Sink sink_;
};

}  // namespace orvane::sim
