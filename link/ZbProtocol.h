#pragma once

#include "link/Frame.h"
#include "link/SettingType.h"
#include "model/StrobeData.h"

#include <cstdint>
#include <span>

class CLinkWriter;
class CSendObserver;
class CZbEventHandler;
struct StudioData;

// Turns complete incoming frames into event-handler calls and builds every outgoing frame. Each
// send builds its frame in one buffer and hands it to the link in one write; the sends report 1
// whatever the link did with it (a frame written while the port is closed is simply lost).
class CZbProtocol {
public:
    CZbProtocol(CZbEventHandler* handler, CLinkWriter* link) : handler_(handler), link_(link) {}
    CZbProtocol(const CZbProtocol&) = delete;
    CZbProtocol& operator=(const CZbProtocol&) = delete;

    // Dispatches one frame whose command the framer has already reduced. 1 for a command that
    // carries events (0x01, 0x10, 0x30, 0x60), else 0.
    int DecodeFrame(const FrameBuffer& frame, std::uint8_t command);

    int SendScanRequest(int nStudioNum);
    // Mask 0 addresses the unit's own slot. No unit: nothing is written, 0 is returned.
    int SendUnitSettings(std::uint16_t mask, const StrobeData* unit);
    int SendSetting(std::uint16_t mask, const StrobeData* unit, SettingType type);
    // Types 14 and 15 only; no studio: nothing is written, 0 is returned.
    int SendPowerTable(SettingType type, const StudioData* studio);

    // Told of every unit settings, setting and power table frame sent from now on; none: nobody.
    void SetSendObserver(CSendObserver* observer) { observer_ = observer; }

private:
    void Write(std::span<const std::uint8_t> frame);

    CZbEventHandler* handler_;           // not owned
    CLinkWriter* link_;                  // not owned
    CSendObserver* observer_ = nullptr;  // not owned
    // A status report is decoded into this record before it is handed on, so fields the frame
    // does not carry (the charge state among them) keep a unit's defaults.
    StrobeData scratchUnit_;
};
