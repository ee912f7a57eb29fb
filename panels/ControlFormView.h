#pragma once

#include "panels/PowerGroups.h"
#include "views/PaneBase.h"

class CBusinessMemoryBox;
class DialogUnits;
class CControlSelFormView;
class COXSeparator;
class QComboBox;
class QStackedWidget;

// The control panel: the settings of the unit of the selection. Every change the user makes goes
// out at once as one setting frame and is written into the unit record and the panel's own copies
// without waiting for the unit to confirm it; the unit's later reports come back through the
// refresh messages and reload the controls.
//
// Its combo box switches between two layouts of the same place: the unit's own power groups, and
// the group settings panel for the ticked units. Below them lies the studio-file box.
class CControlFormView final : public CPaneBase, private CPowerTarget {
    Q_OBJECT
public:
    // What the combo box switches between.
    enum PanelMode { UnitSettings = 0, GroupSettings = 1 };

    // Enabled and visible sets of the controls, see SetControlState.
    enum ControlState {
        NoUnit = 0,
        Enabled = 1,
        Reset = 2,
        UnitLayout = 3,
        GroupLayout = 4,
        SwitchedOff = 5,
        ByPower = 6,
    };

    explicit CControlFormView(QWidget* parent);
    ~CControlFormView() override;

    void SetControlState(int state);

protected:
    bool OnMessage(const WindowMessageEvent& message) override;
    void OnInitialUpdate() override;

private:
    void BuildLayouts(const DialogUnits& du);

    // The unit every change acts on. With none the panel has nothing to act on: it is reset and
    // left disabled, as it is when the shown studio has no units, and nullptr is returned.
    StrobeData* UnitOrReset();

    bool HasTarget() const override;
    bool CanChange() override { return UnitOrReset() != nullptr; }
    void PowerSet(bool flash, bool coupled) override;
    void SettingClicked(int StrobeSettings::*field, int value, SettingType type,
                        ChangeCode change) override;

    void ShowUnit();
    void ShowUnitItem(int changeCode);
    // Marks the value read-outs while the unit of the selection has not taken what was sent.
    void ShowConfirmation();
    void OnPanelModeSelected(int entry);

    int panelMode_ = UnitSettings;
    COXSeparator* heading_ = nullptr;
    QComboBox* modeCombo_ = nullptr;
    // The two layouts of the power groups' place: the unit's own groups, and the group panel.
    QStackedWidget* layouts_ = nullptr;
    CPowerGroups* unitGroups_ = nullptr;
    CControlSelFormView* groupPanel_ = nullptr;
    CBusinessMemoryBox* memoryBox_ = nullptr;
};
