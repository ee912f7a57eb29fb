#include "SimWire.h"

namespace orvane::sim {
namespace {

std::uint16_t readMask(std::span<const std::uint8_t> frame) {
    return static_cast<std::uint16_t>((frame[3] << 8) | frame[4]);
}

std::uint8_t flag(bool on) {
    return on ? 1 : 0;
}

Frame shortReport(std::uint8_t command, int slot, std::uint8_t high, std::uint8_t low) {
    const std::uint16_t mask = maskForSlot(slot);
    return Frame{kStartByte,
                 static_cast<std::uint8_t>(kSettingLength),
                 command,
                 static_cast<std::uint8_t>(mask >> 8),
                 static_cast<std::uint8_t>(mask & 0xFF),
                 high,
                 low};
}

std::optional<Request> decodeSetting(std::span<const std::uint8_t> frame) {
    const auto type = static_cast<SettingType>(frame[2] - kSettingBase);
    switch (type) {
        case SettingType::FlashPower:
        case SettingType::LampPower:
        case SettingType::LampMode1:
        case SettingType::LampMode2:
        case SettingType::PhotoCell:
        case SettingType::Sound:
        case SettingType::TestFlash:
        case SettingType::LampSwitch:
        case SettingType::UnitSwitch:
            return SettingRequest{type, readMask(frame), frame[5], frame[6]};
    }
    return std::nullopt;
}

}  // namespace

std::optional<Request> decodeRequest(std::span<const std::uint8_t> frame) {
    if (frame.size() < kMinFrameLength || frame[0] != kStartByte || frame[1] != frame.size()) {
        return std::nullopt;
    }
    const std::uint8_t command = frame[2];
    const std::size_t length = frame.size();

    if (command == static_cast<std::uint8_t>(Command::Scan) && length == kScanLength) {
        const int studio = frame[4] - 'A';
        if (frame[3] != 0 || studio < 0 || studio >= kStudioCount) {
            return std::nullopt;
        }
        return ScanRequest{studio};
    }
    if (command == static_cast<std::uint8_t>(Command::UnitSettings) &&
        length == kUnitSettingsLength) {
        UnitSettingsRequest request;
        request.mask = readMask(frame);
        request.powered = frame[5] != 0;
        request.flash = frame[6];
        request.model = frame[7];
        request.cell = frame[8] != 0;
        request.sound = frame[9] != 0;
        request.mode1 = frame[10] != 0;
        request.mode2 = frame[11] != 0;
        request.lamp = frame[12] != 0;
        return request;
    }
    if ((command == static_cast<std::uint8_t>(Command::FlashTable) ||
         command == static_cast<std::uint8_t>(Command::ModelTable)) &&
        length == kPowerTableLength) {
        PowerTableRequest request;
        request.table = static_cast<Command>(command);
        for (int slot = 0; slot < kSlotCount; ++slot) {
            request.flash[slot] = frame[3 + 2 * slot];
            request.model[slot] = frame[4 + 2 * slot];
        }
        return request;
    }
    if (command >= kSettingBase && command < kSettingBase + 0x10 && length == kSettingLength) {
        return decodeSetting(frame);
    }
    return std::nullopt;
}

std::uint16_t maskForSlot(int slot) {
    // Two groups of five: slots 0..4 in the low byte, 5..9 in the high byte, each from bit 0.
    return slot < 5 ? static_cast<std::uint16_t>(1u << slot)
                    : static_cast<std::uint16_t>(1u << (slot - 5 + 8));
}

bool maskAddresses(std::uint16_t mask, int slot) {
    return mask == kAllUnitsMask || (mask & maskForSlot(slot)) != 0;
}

Frame statusReport(int slot, const UnitState& state) {
    const std::uint16_t mask = maskForSlot(slot);
    return Frame{kStartByte,
                 static_cast<std::uint8_t>(kUnitSettingsLength),
                 static_cast<std::uint8_t>(Command::UnitSettings),
                 static_cast<std::uint8_t>(mask >> 8),
                 static_cast<std::uint8_t>(mask & 0xFF),
                 flag(state.powered),
                 static_cast<std::uint8_t>(state.flash),
                 static_cast<std::uint8_t>(state.model),
                 flag(state.cell),
                 flag(state.sound),
                 flag(state.mode1),
                 flag(state.mode2),
                 flag(state.lamp),
                 0x00};
}

Frame settingReport(SettingType type, int slot, std::uint8_t high, std::uint8_t low) {
    return shortReport(static_cast<std::uint8_t>(kSettingBase + static_cast<std::uint8_t>(type)),
                       slot, high, low);
}

Frame stateReport(StateCode code, int slot, std::uint8_t value) {
    return shortReport(static_cast<std::uint8_t>(kStateBase + static_cast<std::uint8_t>(code)),
                       slot, 0, value);
}

Frame monitorReport(MonitorCode code, int slot, std::uint8_t value) {
    return shortReport(static_cast<std::uint8_t>(kMonitorBase + static_cast<std::uint8_t>(code)),
                       slot, 0, value);
}

Frame powerTableEcho(Command table, const std::array<std::uint8_t, kSlotCount>& flash,
                     const std::array<std::uint8_t, kSlotCount>& model) {
    Frame frame{kStartByte, static_cast<std::uint8_t>(kPowerTableLength),
                static_cast<std::uint8_t>(table)};
    for (int slot = 0; slot < kSlotCount; ++slot) {
        frame.push_back(flash[slot]);
        frame.push_back(model[slot]);
    }
    return frame;
}

}  // namespace orvane::sim
