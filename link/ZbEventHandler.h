#pragma once

#include "model/StrobeData.h"

#include <cstdint>
#include <span>

// What the units report, one call per addressed unit slot, in ascending slot order. Each returns 1
// when handled; the decoder ignores the results.
class CZbEventHandler {
public:
    // A unit's full status (command 0x01). The third argument is always 0.
    virtual int OnUnitStatus(int nSlot, const StrobeData& status, int nReserved) = 0;
    // A unit reports one setting (command class 0x10): value is the 16-bit value of bytes 5 and 6.
    // For the power tables (types 14 and 15) there is one call with slot 0 and value 0, and the
    // received frame itself carries the ten slots' powers. frame is the whole frame buffer:
    // bytes past the frame's length read 0.
    virtual int OnSettingReport(std::uint8_t nType, int nSlot, int nValue,
                                std::span<const std::uint8_t> frame) = 0;
    // A state change (command class 0x60): value is byte 6.
    virtual int OnStateReport(std::uint8_t nCode, int nSlot, std::uint8_t nValue) = 0;
    // A monitored value (command class 0x30): value is byte 6.
    virtual int OnMonitorReport(std::uint8_t nCode, int nSlot, std::uint8_t nValue) = 0;

protected:
    ~CZbEventHandler() = default;
};
