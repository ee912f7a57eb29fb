#include "remote/WindowHands.h"

#include "model/StudioModel.h"
#include "panels/BusinessMemoryBox.h"
#include "panels/ControlFormView.h"
#include "panels/ControlSelFormView.h"
#include "panels/PowerGroups.h"
#include "shell/MainFrame.h"
#include "views/NavigationFormView.h"
#include "views/NavigationGrid.h"
#include "views/StudioListFormView.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QSignalBlocker>

bool CWindowHands::WindowBusy() {
    return QApplication::activeModalWidget() != nullptr;
}

CControlFormView& CWindowHands::ControlPanel() const {
    return *qobject_cast<CControlFormView*>(frame_.ControlPane());
}

CStudioListFormView& CWindowHands::StudioList() const {
    return *qobject_cast<CStudioListFormView*>(frame_.StudioListPane());
}

CNavigationGrid& CWindowHands::Grid() const {
    return *qobject_cast<CNavigationFormView*>(frame_.NavigationPane())->Grid();
}

CBusinessMemoryBox& CWindowHands::MemoryBox() const {
    return ControlPanel().MemoryBox();
}

void CWindowHands::ClickStudio(StudioData& studio) {
    StudioList().ClickLine(studio);
}

bool CWindowHands::ClickUnit(StrobeData& unit) {
    // The grid shows only the studio of the selection; a unit of another studio is reached
    // through its line in the tree, which has the grid show its studio first.
    return Grid().ClickUnit(unit) || StudioList().ClickLine(unit);
}

bool CWindowHands::ClickUnitBox(StrobeData& unit, bool ticked) {
    return Grid().ClickUnitBox(unit, ticked);
}

bool CWindowHands::ClickScan() {
    QAction* scan = frame_.CommandAction(CMainFrame::Scan);
    if (!scan->isEnabled()) {
        return false;
    }
    scan->trigger();
    return true;
}

CWindowHands::Panel CWindowHands::PanelShown() const {
    return ControlPanel().PanelModeShown() == CControlFormView::GroupSettings ? Panel::Group
                                                                              : Panel::Unit;
}

bool CWindowHands::ShowPanel(Panel panel) {
    return PanelShown() == panel || ControlPanel().PickPanelMode(static_cast<int>(panel));
}

int CWindowHands::GroupOffset(bool flash) const {
    const CControlSelFormView& group = ControlPanel().GroupPanel();
    return flash ? group.FlashOffset() : group.ModelOffset();
}

CPowerGroups& CWindowHands::Groups(Panel panel) const {
    CControlFormView& control = ControlPanel();
    return panel == Panel::Unit ? control.UnitGroups() : control.GroupPanel().Groups();
}

QAbstractButton* CWindowHands::Button(Panel panel, const QString& name) const {
    const CPowerGroups& groups = Groups(panel);
    return groups.findChild<QAbstractButton*>(groups.ControlName(name));
}

bool CWindowHands::ReleasePower(Panel panel, bool flash, int value) {
    return Groups(panel).ReleaseAt(flash, value);
}

bool CWindowHands::ClickSwitch(Panel panel, const QString& name, bool on) {
    QAbstractButton* button = Button(panel, name);
    if (!button || !button->isEnabled()) {
        return false;
    }
    // A click always sends what the box then shows. For a box that shows `on` already, the click
    // that sends `on` is the one from the other side: its check mark goes there unseen first.
    if (button->isChecked() == on) {
        const QSignalBlocker quiet(button);
        button->setChecked(!on);
    }
    button->click();
    return true;
}

bool CWindowHands::ClickButton(Panel panel, const QString& name) {
    QAbstractButton* button = Button(panel, name);
    if (!button || !button->isEnabled()) {
        return false;
    }
    button->click();
    return true;
}
