#pragma once

#include "panels/PowerGroups.h"
#include "views/PaneContext.h"

#include <QWidget>

// The group settings panel: changes every ticked unit of the studio of the selection at once. It is
// the control panel's second layout, shown while the user works on the ticked units.
//
// Powers are changed relatively: the panel shows a signed offset, and each change of the offset is
// added to every ticked unit's own value, so the units keep their differences. A power change goes
// out as one power table frame for the whole studio; a switch or mode goes out as one setting frame
// addressed to all ticked units together. The panel shows only what the user set since the last
// reset; it never reads the units back, never disables anything and never shows "OFF".
class CControlSelFormView final : public QWidget, private CPowerTarget {
    Q_OBJECT
public:
    // origin: where the panel's template corner lies in this widget, in pixels.
    explicit CControlSelFormView(QWidget* parent, QPoint origin = {});
    ~CControlSelFormView() override;

    // Ties the panel to the model, the protocol the frames go out through and the panes, through
    // which the navigation view hears of the changes. Until then, changes stay in the panel.
    void Attach(const PaneContext& context);

    // Back to offset 0 and nothing chosen: called each time the panel is brought up, so that a
    // change never builds on an offset from an earlier session.
    void ResetGroupPanel();

    CPowerGroups& Groups() const { return *groups_; }
    int FlashOffset() const { return groups_->Values().flashValue; }
    int ModelOffset() const { return groups_->Values().modelValue; }

private:
    bool HasTarget() const override { return true; }
    bool CanChange() override { return true; }
    void PowerSet(bool flash, bool coupled) override;
    void SettingClicked(int StrobeSettings::*field, int value, SettingType type,
                        ChangeCode change) override;

    // The studio whose ticked units the panel changes; none before the panel is attached.
    StudioData* SelectedStudio() const;

    PaneContext context_;
    CPowerGroups* groups_ = nullptr;  // a child of this panel
    int lastSentFlash_ = 0;
    int lastSentModel_ = 0;
};
