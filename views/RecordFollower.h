#pragma once

#include <QObject>

class CPaneHost;
class StudioModel;
struct StrobeData;
struct StudioData;

// Keeps the panes showing what the records hold after a change the program made (through the
// commands, whoever asked for it): it tells each pane what changed, with the messages the panes
// take for the units' own reports. The units' reports reach the panes through the main frame.
class CRecordFollower final : public QObject {
public:
    CRecordFollower(StudioModel& model, CPaneHost& host, QObject* parent = nullptr);

private:
    void OnUnitChanged(StrobeData* unit, int change, bool reported);
    void OnUnitShownAgain(StrobeData* unit);
    void OnTickedUnitsChanged(StudioData* studio, int change);
    void OnStudioLoaded(StudioData* studio);

    StudioModel& model_;
    CPaneHost& host_;
};
