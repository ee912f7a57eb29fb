#pragma once

#include "link/ChangeCode.h"
#include "link/SettingType.h"
#include "model/StrobeData.h"
#include "views/PaneBase.h"

#include <QFont>

class CMessageBoxService;
class COXCoolSliderCtrl;
class COXCoolSpinButtonCtrl;
class COXSeparator;
class CUserButton;
class CUserStatic;
class CZbProtocol;
class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class StudioFileStore;

// The control panel: the settings of the unit of the selection. Every change the user makes goes
// out at once as one setting frame and is written into the unit record and the panel's own copies
// without waiting for the unit to confirm it; the unit's later reports come back through the
// refresh messages and reload the controls.
class CControlSelFormView;

class CControlFormView final : public CPaneBase {
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
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // One power setting (flash or modelling lamp) and the widgets that show and change it. The
    // two are handled by the same steps with their roles exchanged.
    struct PowerControls {
        int* value = nullptr;  // the panel's copy
        CUserStatic* label = nullptr;
        COXCoolSpinButtonCtrl* spin = nullptr;
        COXCoolSliderCtrl* slider = nullptr;
        int StrobeSettings::*field = nullptr;  // where the unit keeps it
        SettingType type = SettingType::FlashPower;
        ChangeCode change = ChangeCode::FlashPower;
    };

    void BuildControls();
    void ConnectControls();

    // The unit every handler acts on. With none the panel has nothing to act on: it is reset and
    // left disabled, as it is when the shown studio has no units, and nullptr is returned.
    StrobeData* UnitOrReset();
    CZbProtocol* Protocol() const;
    void Send(StrobeData* unit, SettingType type);
    void PostChanged(ChangeCode change);

    void ShowUnit();
    void ShowUnitItem(int changeCode);
    void ShowFlashValue();
    void ShowModelValue();
    void ShowPowerValues();
    void ShowModelMode1();
    void ShowModelMode2();

    void OnSpinStep(PowerControls& own, PowerControls& other, int delta);
    void OnSliderTrack(PowerControls& own, PowerControls& other, int position);
    void OnSliderRelease(PowerControls& own, PowerControls& other);
    void OnFlagClicked(QAbstractButton* button, int& copy, int StrobeSettings::*field,
                       SettingType type, ChangeCode change);
    void OnPowerClicked();
    void OnModelOffClicked();
    void OnTestClicked();
    void OnModelModeClicked(int& copy, int StrobeSettings::*field, int value, SettingType type,
                            ChangeCode change);
    void OnPanelModeSelected(int entry);

    // The studio-file box ("Business Memory").
    StudioFileStore* FileStore() const;
    CMessageBoxService* Messages() const;
    void ListFiles();
    void OnFilePicked();
    void OnFileNameChanged();
    void OnSaveCommand();
    void OnLoadCommand();
    void SetCommand(int index, bool enabled);

    // Clears both buttons of a radio pair, which an exclusive group does not allow by itself.
    static void ClearPair(QButtonGroup* pair);
    bool IsProp() const { return modelMode1_ == 1; }
    void ShowPowerLabel(const PowerControls& power);

    int panelMode_ = UnitSettings;
    QFont valueFont_;
    QFont captionFont_;

    // The panel's copies of the unit's settings.
    int flashValue_ = 0;
    int flashCell_ = 0;
    int flashSound_ = 0;
    int flashPower_ = 0;
    int modelValue_ = 0;
    int modelMode1_ = 0;
    int modelMode2_ = 0;
    int modelOff_ = 0;  // the inverse of the unit's bModelPow

    PowerControls flash_;
    PowerControls model_;

    COXSeparator* heading_ = nullptr;
    // The ticked units' settings, laid over the power groups in the group layout.
    CControlSelFormView* groupPanel_ = nullptr;
    QComboBox* modeCombo_ = nullptr;
    QGroupBox* flashGroup_ = nullptr;
    QCheckBox* cellCheck_ = nullptr;
    QCheckBox* soundCheck_ = nullptr;
    CUserButton* powerButton_ = nullptr;
    QPushButton* testButton_ = nullptr;
    QGroupBox* modelGroup_ = nullptr;
    QRadioButton* freeRadio_ = nullptr;
    QRadioButton* propRadio_ = nullptr;
    QCheckBox* offCheck_ = nullptr;
    QRadioButton* continuousRadio_ = nullptr;
    QRadioButton* flashPropRadio_ = nullptr;
    QButtonGroup* mode1Pair_ = nullptr;
    QButtonGroup* mode2Pair_ = nullptr;
    // The studio-file box. It works on the studio of the selection, not on the unit, so no
    // control state touches it.
    QGroupBox* memoryGroup_ = nullptr;
    QLineEdit* fileNameEdit_ = nullptr;
    QListWidget* fileList_ = nullptr;
    QPlainTextEdit* fileInfo_ = nullptr;
};
