#pragma once

#include <QObject>

struct StrobeData;
struct StudioData;

// Tells whoever follows the records what changed in them, whoever changed them: the panes, the
// remote interface's event stream. Emitted on the user-interface thread, right after the change.
class ModelEvents final : public QObject {
    Q_OBJECT
public:
    // A change that is none of the change codes of one setting: every setting of the unit.
    static constexpr int kAllSettings = -2;

signals:
    // change: the change code of the setting that changed, or kAllSettings. reported: the unit
    // said so; otherwise the program changed the record and has sent the change.
    void UnitChanged(StrobeData* unit, int change, bool reported);
    // The same change made to every ticked unit of the studio at once.
    void TickedUnitsChanged(StudioData* studio, int change);
    void UnitPlaced(StrobeData* unit);
    void TickChanged(StrobeData* unit);
    void NamesChanged(StrobeData* unit);
    // The line of the studio tree that the selection names changed.
    void SelectionChanged();
    // Every unit of the studio took its settings from a setup.
    void StudioLoaded(StudioData* studio);
};
