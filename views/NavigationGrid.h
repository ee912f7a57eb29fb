#pragma once

#include "toolkit/UGCtrl.h"

#include <QFont>
#include <QPixmap>
#include <QString>

#include <array>

class CCommands;
class CConfirmationTracker;
class CPaneHost;
class StudioModel;
struct StrobeData;
struct StudioData;

// The units of one studio, a block of four rows each: a thin separator, the name row, and a state
// cell (power levels or an alarm, with the unit's check box) beside five switch icons. It follows
// the model: it is told which studio to show and which setting changed, and redraws only the cells
// concerned. The only model data it writes are the units' check marks and the selection.
class CNavigationGrid final : public CUGCtrl {
    Q_OBJECT
public:
    // The five switches a block shows as icons.
    enum class Item { ModelMode1, ModelMode2, PhotoCell, Sound, Charge };

    static constexpr int kRowsPerUnit = 4;

    explicit CNavigationGrid(QWidget* parent = nullptr);

    // Taken before the grid is attached, so that its set-up finds them.
    void SetOwners(CPaneHost* host, StudioModel* model,
                   const CConfirmationTracker* confirmations = nullptr,
                   CCommands* commands = nullptr);

    void ShowStudio(const StudioData& studio);
    void AppendUnitRows(StrobeData& unit);
    void ShowUnitState(const StrobeData& unit, int k, bool redraw);
    // -1 stands for "no value" in either level.
    void ShowPowerLabel(int model, int flash, int k, bool redraw);
    void ShowUnitIcon(Item item, int k, int value, bool redraw);
    void RefreshUnitRows(int k, const StrobeData& unit);
    void UpdateUnitItem(int changeCode, StrobeData* unit);
    // Marks a unit's name row while the unit has not taken what was last sent to it.
    void ShowConfirmation(const StrobeData& unit);

    int UnitCount() const { return nUnitCount_; }
    int SelIndex() const { return nSelIndex_; }
    const QString& Heading() const { return sHeading_; }
    // The block of a unit, or -1 when it is not shown.
    int IndexOf(const StrobeData* unit) const;
    // As a click on a unit's block, or on its check box when it should change: false when the
    // unit is not shown.
    bool ClickUnit(const StrobeData& unit);
    bool ClickUnitBox(const StrobeData& unit, bool ticked);

    // The texts a block shows, as the grid's cells hold them.
    static QString NameRowText(const StrobeData& unit);
    static QString LevelText(int level);

protected:
    void OnSetup() override;
    void OnCellChange(int oldCol, int newCol, int oldRow, int newRow) override;
    int OnCellTypeNotify(int typeId, int col, int row, int msg, long param) override;

private:
    void MarkConfirmation(const StrobeData& unit, int k);
    // All five icons of block k, without redrawing.
    void ShowUnitIcons(const StrobeData& unit, int k);
    static int StateRow(int k) { return kRowsPerUnit * k + 2; }
    // Scrolls block k wholly into view, or its top when the view is smaller than a block.
    void RevealUnit(int k);

    CPaneHost* host_ = nullptr;                            // not owned
    StudioModel* model_ = nullptr;                         // not owned
    const CConfirmationTracker* confirmations_ = nullptr;  // not owned; none: nothing is marked
    CCommands* commands_ = nullptr;  // not owned; none: a tick only marks the record
    QFont normalFont_;
    QFont headingFont_;
    QFont alarmFont_;
    std::array<QPixmap, 5> onIcons_;
    std::array<QPixmap, 5> offIcons_;
    QString sHeading_;
    int nUnitCount_ = 0;
    int nSelIndex_ = -1;
    // Rows come and go while a studio is rebuilt; the current cell's moves then select nothing.
    bool rebuilding_ = false;
};
