#pragma once

#include "link/ZbEventHandler.h"

#include <QString>

#include <cstdint>
#include <span>
#include <vector>

// Writes down every event the decoder hands on, in order, as readable lines.
class RecordingHandler final : public CZbEventHandler {
public:
    int OnUnitStatus(int nSlot, const StrobeData& s, int nReserved) override {
        events.push_back(QString::asprintf(
            "status %d pow=%d flash=%d model=%d cell=%d snd=%d "
            "m1=%d m2=%d lamp=%d charge=%d r=%d",
            nSlot, s.bFlashPow, s.nFlashValue, s.nModelValue, s.bFlashCell, s.bFlashSnd,
            s.nModelMode1, s.nModelMode2, s.bModelPow, s.bFlashCharge, nReserved));
        return 1;
    }
    int OnSettingReport(std::uint8_t nType, int nSlot, int nValue,
                        std::span<const std::uint8_t> frame) override {
        lastFrame.assign(frame.begin(), frame.end());
        events.push_back(
            QString::asprintf("setting %d slot %d value 0x%04X", nType, nSlot, nValue));
        return 1;
    }
    int OnStateReport(std::uint8_t nCode, int nSlot, std::uint8_t nValue) override {
        events.push_back(QString::asprintf("state %d slot %d value %d", nCode, nSlot, nValue));
        return 1;
    }
    int OnMonitorReport(std::uint8_t nCode, int nSlot, std::uint8_t nValue) override {
        events.push_back(QString::asprintf("monitor %d slot %d value %d", nCode, nSlot, nValue));
        return 1;
    }

    std::vector<QString> events;
    std::vector<std::uint8_t> lastFrame;
};
