#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <variant>
#include <vector>

#include "SimUnit.h"

// The simulator's own reading and writing of frames. It is deliberately written apart from the
// program's codec: when the two disagree, a test fails instead of both sharing one mistake.
namespace orvane::sim {

using Frame = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kStartByte = 0xFF;
inline constexpr std::size_t kMinFrameLength = 4;
inline constexpr std::size_t kMaxFrameLength = 50;
inline constexpr std::uint16_t kAllUnitsMask = 0x8080;

enum class Command : std::uint8_t {
    Scan = 0x00,
    UnitSettings = 0x01,
    FlashTable = 0x1E,
    ModelTable = 0x1F,
};

// Setting, monitor and state frames put their type code on top of a base command byte.
inline constexpr std::uint8_t kSettingBase = 0x10;
inline constexpr std::uint8_t kMonitorBase = 0x30;
inline constexpr std::uint8_t kStateBase = 0x60;

enum class SettingType : std::uint8_t {
    FlashPower = 3,
    LampPower = 4,
    LampMode1 = 5,
    LampMode2 = 6,
    PhotoCell = 7,
    Sound = 8,
    TestFlash = 11,
    LampSwitch = 12,
    UnitSwitch = 13,
};

enum class StateCode : std::uint8_t {
    Charge = 1,
    TestFlashDone = 11,
};

enum class MonitorCode : std::uint8_t {
    Heat = 10,
};

inline constexpr std::size_t kScanLength = 5;
inline constexpr std::size_t kUnitSettingsLength = 14;
inline constexpr std::size_t kSettingLength = 7;
inline constexpr std::size_t kPowerTableLength = 23;

struct ScanRequest {
    int studio = 0;
};

struct UnitSettingsRequest {
    std::uint16_t mask = 0;
    bool powered = false;
    int flash = 0;  // 0 leaves the level as it is
    int model = 0;
    bool cell = false;
    bool sound = false;
    bool mode1 = false;
    bool mode2 = false;
    bool lamp = false;
};

struct SettingRequest {
    SettingType type = SettingType::FlashPower;
    std::uint16_t mask = 0;
    std::uint8_t first = 0;
    std::uint8_t second = 0;
};

struct PowerTableRequest {
    Command table = Command::FlashTable;
    std::array<std::uint8_t, kSlotCount> flash{};
    std::array<std::uint8_t, kSlotCount> model{};
};

using Request = std::variant<ScanRequest, UnitSettingsRequest, SettingRequest, PowerTableRequest>;

// Empty for anything the dongle has no use for: unknown commands, wrong lengths, studios past E.
std::optional<Request> decodeRequest(std::span<const std::uint8_t> frame);

std::uint16_t maskForSlot(int slot);
bool maskAddresses(std::uint16_t mask, int slot);

Frame statusReport(int slot, const UnitState& state);
Frame settingReport(SettingType type, int slot, std::uint8_t high, std::uint8_t low);
Frame stateReport(StateCode code, int slot, std::uint8_t value);
Frame monitorReport(MonitorCode code, int slot, std::uint8_t value);
Frame powerTableEcho(Command table, const std::array<std::uint8_t, kSlotCount>& flash,
                     const std::array<std::uint8_t, kSlotCount>& model);

}  // namespace orvane::sim
