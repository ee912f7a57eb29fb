#pragma once

#include "link/Frame.h"
#include "link/LinePacer.h"
#include "link/SettingType.h"
#include "model/StrobeData.h"

#include <cstdint>
#include <span>

class CLinkWriter;
class CSendObserver;
class CZbEventHandler;
struct StudioData;

// Turns complete incoming frames into event-handler calls and builds every outgoing frame. Each
// send builds its frame in one buffer, which goes to the link in one write once the line has room
// for it (at once while the line keeps up); a newer change may replace it while it waits. The sends
// report 1 whatever becomes of the frame (one written while the port is closed is simply lost).
class CZbProtocol {
public:
    CZbProtocol(CZbEventHandler* handler, CLinkWriter* link);
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

    // Told of every unit settings, setting and power table frame handed to the line from now on;
    // none: nobody.
    void SetSendObserver(CSendObserver* observer) { observer_ = observer; }

    // The frames waiting for the line, and how many were replaced by newer ones while they waited.
    const CLinePacer& Pacer() const { return pacer_; }

private:
    void Write(std::span<const std::uint8_t> frame, std::optional<SentFrame> sent = {});
    void FrameSent(const QueuedFrame& frame);

    CZbEventHandler* handler_;           // not owned
    CSendObserver* observer_ = nullptr;  // not owned
    CLinePacer pacer_;
    // A status report is decoded into this record before it is handed on, so fields the frame
    // does not carry (the charge state among them) keep a unit's defaults.
    StrobeData scratchUnit_;
};
