#pragma once

#include "link/ChangeCode.h"
#include "link/SettingType.h"
#include "model/StrobeData.h"

#include <QFont>
#include <QWidget>

class COXCoolSliderCtrl;
class COXCoolSpinButtonCtrl;
class CPaneHost;
class CUserButton;
class CUserStatic;
class CZbProtocol;
class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QPushButton;
class QRadioButton;
class StudioModel;

// The group settings panel: changes every ticked unit of the studio of the selection at once. The
// control panel holds it over its own power groups while the user works on the ticked units.
//
// Powers are changed relatively: the panel shows a signed offset, and each change of the offset is
// added to every ticked unit's own value, so the units keep their differences. A power change goes
// out as one power table frame for the whole studio; a switch or mode goes out as one setting frame
// addressed to all ticked units together. The panel shows only what the user set since the last
// reset; it never reads the units back, never disables anything and never shows "OFF".
class CControlSelFormView final : public QWidget {
    Q_OBJECT
public:
    // Offsets in tenths, and where the sliders put offset 0.
    static constexpr int kMaxOffset = 81;
    static constexpr int kCentre = 82;

    explicit CControlSelFormView(QWidget* parent);
    ~CControlSelFormView() override;

    // Ties the panel to the main frame: its model, the protocol the frames go out through, and the
    // window holding the panes, through which the navigation view hears of the changes. None of
    // them is owned; until they are given, changes stay in the panel.
    void Attach(QObject* mainFrame, StudioModel* model, CZbProtocol* protocol, CPaneHost* host);

    // Back to offset 0 and nothing chosen: called each time the panel is brought up, so that a
    // change never builds on an offset from an earlier session.
    void ResetGroupPanel();

    // Adds the offset changes since the last call to the ticked units and sends the power table of
    // the offset that changed. Exactly one of the two is expected to be set.
    void ApplyOffsets(bool flashChanged, bool modelChanged);

    int FlashOffset() const { return flashOffset_; }
    int ModelOffset() const { return modelOffset_; }

    // "1.5", "-0.5", "0.0": how an offset in tenths reads.
    static QString OffsetText(int offset);

private:
    // One offset (flash or modelling lamp) and the widgets that show and change it. The two are
    // handled by the same steps with their roles exchanged.
    struct OffsetControls {
        int* offset = nullptr;
        CUserStatic* label = nullptr;
        COXCoolSpinButtonCtrl* spin = nullptr;
        COXCoolSliderCtrl* slider = nullptr;
        bool isFlash = false;
    };

    void BuildControls();
    void ConnectControls();

    // The panel's mode 1 is "Prop": one offset drags the other along.
    bool IsCoupled() const { return modelMode1_ == 1; }
    void ShowOffset(const OffsetControls& power);
    void MoveCoupled(OffsetControls& other, int delta);
    void Apply(const OffsetControls& own);

    void OnSliderTrack(OffsetControls& own, OffsetControls& other, int position);
    void OnSliderRelease(OffsetControls& own, OffsetControls& other);
    void OnSpinStep(OffsetControls& own, OffsetControls& other, int delta);

    // Stores value in every ticked unit (when field is given), then sends one setting frame to all
    // of them and tells the navigation view (unless change is None).
    void SendToTicked(int StrobeSettings::*field, int value, SettingType type, ChangeCode change);
    void OnCheckClicked(QAbstractButton* button, int& copy, int StrobeSettings::*field,
                        SettingType type, ChangeCode change);
    void OnModelOffClicked();
    void OnModeClicked(int& copy, int StrobeSettings::*field, int value, SettingType type,
                       ChangeCode change);

    // The units the group commands act on, in the navigation grid's order.
    template <class Visit>
    void ForEachTicked(Visit visit) const;

    void PostTickedChanged(ChangeCode change);

    // Clears both buttons of a radio pair, which an exclusive group does not allow by itself.
    static void ClearPair(QButtonGroup* pair);

    QObject* mainFrame_ = nullptr;        // not owned
    StudioModel* studioModel_ = nullptr;  // not owned
    CZbProtocol* protocol_ = nullptr;     // not owned
    CPaneHost* host_ = nullptr;           // not owned

    QFont valueFont_;
    QFont captionFont_;

    int flashOffset_ = 0;
    int flashCell_ = 0;
    int flashSound_ = 0;
    int flashPower_ = 0;
    int modelOffset_ = 0;
    int modelMode1_ = -1;  // -1: not chosen since the reset
    int modelMode2_ = -1;
    int modelOff_ = 0;
    // Set by the first thumb movement after a reset or release: the centre snap looks at it.
    bool dragStarted_ = false;
    int lastSentFlash_ = 0;
    int lastSentModel_ = 0;

    OffsetControls flash_;
    OffsetControls model_;

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
};
