#pragma once

#include <QString>

class CBusinessMemoryBox;
class CControlFormView;
class CMainFrame;
class CNavigationGrid;
class CPowerGroups;
class CStudioListFormView;
class QAbstractButton;
struct StrobeData;
struct StudioData;

// The remote interface's hands on the window. Each action goes through the handler a user's click
// or key reaches, on the real widgets, so that it writes the same frames in the same order and
// leaves the window as the click would. Nothing here decides whether an action is allowed: the
// caller has checked that first, so that a refused request changes nothing.
class CWindowHands {
public:
    // The two layouts of the control panel, as its combo box numbers them.
    enum class Panel { Unit = 0, Group = 1 };

    explicit CWindowHands(CMainFrame& frame) : frame_(frame) {}

    // A dialog or message box holds the window, which then takes no click.
    static bool WindowBusy();

    // A click on the studio's line in the tree; the tree may then start a re-scan.
    void ClickStudio(StudioData& studio);
    // A click on the unit's block in the grid, or on its line in the tree while the grid shows
    // another studio. False when neither shows the unit.
    bool ClickUnit(StrobeData& unit);
    bool ClickUnitBox(StrobeData& unit, bool ticked);
    // The toolbar's Scan button; false while it is disabled.
    bool ClickScan();

    // Shows a layout of the control panel, picking it in the combo box unless it is shown.
    bool ShowPanel(Panel panel);
    Panel PanelShown() const;
    // The group panel's offsets, in tenths.
    int GroupOffset(bool flash) const;

    // On the panel of that layout: a power's slider let go at value (a level, or an offset for
    // the group panel); a check box or the power switch clicked so that it ends up `on`; a radio
    // button or the test button clicked. False when the control is disabled.
    bool ReleasePower(Panel panel, bool flash, int value);
    bool ClickSwitch(Panel panel, const QString& name, bool on);
    bool ClickButton(Panel panel, const QString& name);

    CBusinessMemoryBox& MemoryBox() const;

private:
    CControlFormView& ControlPanel() const;
    CStudioListFormView& StudioList() const;
    CNavigationGrid& Grid() const;
    CPowerGroups& Groups(Panel panel) const;
    QAbstractButton* Button(Panel panel, const QString& name) const;

    CMainFrame& frame_;
};
