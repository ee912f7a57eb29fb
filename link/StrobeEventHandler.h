#pragma once

#include "link/ZbEventHandler.h"

class QObject;
class StudioModel;
struct StrobeData;
struct StudioData;

// Applies what the units report to the studio the dongle is tuned to and tells the main frame what
// changed. A status report from an empty slot creates the unit: that is how a scan fills a studio.
// With no selection yet, every report is dropped.
class CStrobeEventHandler final : public CZbEventHandler {
public:
    CStrobeEventHandler(QObject* mainFrame, StudioModel* model)
        : mainFrame_(mainFrame), model_(model) {}

    int OnUnitStatus(int nSlot, const StrobeData& status, int nReserved) override;
    int OnSettingReport(std::uint8_t nType, int nSlot, int nValue,
                        std::span<const std::uint8_t> frame) override;
    int OnStateReport(std::uint8_t nCode, int nSlot, std::uint8_t nValue) override;
    int OnMonitorReport(std::uint8_t nCode, int nSlot, std::uint8_t nValue) override;

private:
    StrobeData* UnitInTunedStudio(int slot) const;
    void ApplyPowerTable(StudioData& studio, std::span<const std::uint8_t> frame);

    QObject* mainFrame_;  // not owned
    StudioModel* model_;  // not owned
};
