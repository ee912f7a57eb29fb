#include "link/ZbProtocol.h"

#include "link/LinkWriter.h"
#include "link/SendObserver.h"
#include "link/UnitMask.h"
#include "link/ZbEventHandler.h"
#include "model/StudioData.h"

#include <array>

namespace {

std::uint8_t Low8(int value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

std::uint16_t MaskOf(const FrameBuffer& frame) {
    return static_cast<std::uint16_t>(frame[3] << 8 | frame[4]);
}

std::uint16_t MaskFor(std::uint16_t mask, const StrobeData& unit) {
    return mask != 0 ? mask : MaskFromSlot(unit.nChNum);
}

// Byte 5 and 6 of an outgoing setting frame; false for types that send nothing.
bool SettingBytes(SettingType type, const StrobeData& u, std::uint8_t& b5, std::uint8_t& b6) {
    b5 = 0;
    switch (type) {
        case SettingType::FlashPower:
        case SettingType::ModelPower:
            b5 = Low8(u.nFlashValue);
            b6 = Low8(u.nModelValue);
            return true;
        case SettingType::ModelMode1:
            b6 = u.nModelMode1 ? 8 : 0;
            return true;
        case SettingType::ModelMode2:
            b6 = u.nModelMode2 ? 16 : 0;
            return true;
        case SettingType::PhotoCell:
            b6 = u.bFlashCell ? 2 : 0;
            return true;
        case SettingType::Sound:
            b6 = u.bFlashSnd ? 4 : 0;
            return true;
        case SettingType::TestFlash:
            b6 = 0;
            return true;
        case SettingType::ModelSwitch:
            b6 = u.bModelPow ? 1 : 0;
            return true;
        case SettingType::FlashSwitch:
            b6 = u.bFlashPow ? 1 : 0;
            return true;
        default:
            return false;
    }
}

// A unit's values as its setting or unit settings frame carries them.
SentFrame SentFor(SentFrame::Kind kind, std::uint16_t mask, const StrobeData& unit) {
    SentFrame sent;
    sent.kind = kind;
    sent.mask = mask;
    sent.unitAddress = reinterpret_cast<std::intptr_t>(&unit);
    sent.unitSerial = unit.nSerial;
    sent.values = unit.Settings();
    return sent;
}

}  // namespace

CZbProtocol::CZbProtocol(CZbEventHandler* handler, CLinkWriter* link)
    : handler_(handler), pacer_(link, [this](const QueuedFrame& frame) { FrameSent(frame); }) {}

int CZbProtocol::DecodeFrame(const FrameBuffer& frame, std::uint8_t command) {
    const std::uint16_t mask = MaskOf(frame);
    const auto code = static_cast<std::uint8_t>(frame[2] & 0x0F);
    switch (command) {
        case Command::UnitSettings:
            ForEachSlot(mask, [&](int slot) {
                scratchUnit_.nChNum = slot;
                scratchUnit_.bFlashPow = frame[5];
                scratchUnit_.nFlashValue = frame[6];
                scratchUnit_.nModelValue = frame[7];
                scratchUnit_.bFlashCell = frame[8];
                scratchUnit_.bFlashSnd = frame[9];
                scratchUnit_.nModelMode1 = frame[10];
                scratchUnit_.nModelMode2 = frame[11];
                scratchUnit_.bModelPow = frame[12];
                handler_->OnUnitStatus(slot, scratchUnit_, 0);
            });
            return 1;
        case Command::Setting:
            if (code == static_cast<std::uint8_t>(SettingType::FlashPowerTable) ||
                code == static_cast<std::uint8_t>(SettingType::ModelPowerTable)) {
                handler_->OnSettingReport(code, 0, 0, frame);
                return 1;
            }
            ForEachSlot(mask, [&](int slot) {
                handler_->OnSettingReport(code, slot, frame[5] << 8 | frame[6], frame);
            });
            return 1;
        case Command::State:
            ForEachSlot(mask, [&](int slot) { handler_->OnStateReport(code, slot, frame[6]); });
            return 1;
        case Command::Monitor:
            ForEachSlot(mask, [&](int slot) { handler_->OnMonitorReport(code, slot, frame[6]); });
            return 1;
        default:
            return 0;
    }
}

int CZbProtocol::SendScanRequest(int nStudioNum) {
    const std::array<std::uint8_t, kScanRequestLength> frame = {
        kFrameStart, kScanRequestLength, Command::ScanRequest, 0x00, Low8(0x41 + nStudioNum)};
    Write(frame);
    return 1;
}

int CZbProtocol::SendUnitSettings(std::uint16_t mask, const StrobeData* unit) {
    if (!unit) {
        return 0;
    }
    const std::uint16_t m = MaskFor(mask, *unit);
    const std::array<std::uint8_t, kUnitSettingsLength> frame = {
        kFrameStart,
        kUnitSettingsLength,
        Command::UnitSettings,
        static_cast<std::uint8_t>(m >> 8),
        static_cast<std::uint8_t>(m & 0xFF),
        Low8(unit->bFlashPow),
        Low8(unit->nFlashValue),
        Low8(unit->nModelValue),
        Low8(unit->bFlashCell),
        Low8(unit->bFlashSnd),
        Low8(unit->nModelMode1),
        Low8(unit->nModelMode2),
        Low8(unit->bModelPow),
        0x00,
    };
    Write(frame, SentFor(SentFrame::Kind::UnitSettings, mask, *unit));
    return 1;
}

int CZbProtocol::SendSetting(std::uint16_t mask, const StrobeData* unit, SettingType type) {
    if (!unit) {
        return 0;
    }
    std::uint8_t b5 = 0;
    std::uint8_t b6 = 0;
    if (!SettingBytes(type, *unit, b5, b6)) {
        return 1;
    }
    const std::uint16_t m = MaskFor(mask, *unit);
    const std::array<std::uint8_t, kSettingLength> frame = {
        kFrameStart,
        kSettingLength,
        static_cast<std::uint8_t>(Command::Setting + static_cast<std::uint8_t>(type)),
        static_cast<std::uint8_t>(m >> 8),
        static_cast<std::uint8_t>(m & 0xFF),
        b5,
        b6,
    };
    SentFrame sent = SentFor(SentFrame::Kind::Setting, mask, *unit);
    sent.type = type;
    Write(frame, sent);
    return 1;
}

int CZbProtocol::SendPowerTable(SettingType type, const StudioData* studio) {
    if (!studio) {
        return 0;
    }
    if (type != SettingType::FlashPowerTable && type != SettingType::ModelPowerTable) {
        return 1;
    }
    std::array<std::uint8_t, kPowerTableLength> frame{};
    SentFrame sent;
    sent.kind = SentFrame::Kind::PowerTable;
    sent.type = type;
    sent.studio = studio;
    frame[0] = kFrameStart;
    frame[1] = kPowerTableLength;
    frame[2] = static_cast<std::uint8_t>(Command::Setting + static_cast<std::uint8_t>(type));
    for (int slot = 0; slot < 10; ++slot) {
        const StrobeData* unit = studio->bChUsed[slot] ? studio->Unit(slot) : nullptr;
        if (unit) {
            frame[PowerTableFlashAt(slot)] = Low8(unit->nFlashValue);
            frame[4 + 2 * slot] = Low8(unit->nModelValue);
            sent.powers[static_cast<std::size_t>(slot)] =
                type == SettingType::FlashPowerTable ? unit->nFlashValue : unit->nModelValue;
        }
    }
    Write(frame, sent);
    return 1;
}

void CZbProtocol::Write(std::span<const std::uint8_t> frame, std::optional<SentFrame> sent) {
    pacer_.Send(QueuedFrame(frame, std::move(sent)));
}

void CZbProtocol::FrameSent(const QueuedFrame& frame) {
    if (observer_ && frame.sent) {
        observer_->OnFrameSent(*frame.sent);
    }
}
