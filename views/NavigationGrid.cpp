#include "views/NavigationGrid.h"

#include "commands/Commands.h"
#include "link/ChangeCode.h"
#include "link/ConfirmationTracker.h"
#include "model/StudioModel.h"
#include "platform/FontHeight.h"
#include "platform/WindowMessage.h"
#include "resources/Images.h"
#include "views/PaneHost.h"
#include "views/PaneLook.h"

#include <QScrollBar>

namespace {

constexpr int kColumnCount = 5;
constexpr int kHeadingHeight = 30;
constexpr int kRowHeight = 20;
constexpr int kSeparatorHeight = 2;
constexpr int kNameColumnWidth = 150;

constexpr int kHeadingStyle = UGCT_CHECKBOX3DRECESS | UGCT_CHECKBOXCHECKMARK;
constexpr int kStateStyle = kHeadingStyle | UGCT_NORMALMULTILINE;

const QColor kHeadingBackground(157, 206, 255);
const QColor kHeadingText(0, 0, 128);
const QColor kNameBackground(240, 240, 240);
const QColor kNameText(252, 65, 50);

struct StateColours {
    QColor currentBackground, currentText, otherBackground, otherText;
};
const StateColours kAlarmColours{QColor(75, 104, 158), Qt::white, QColor(162, 169, 170), Qt::black};
const StateColours kNormalColours{QColor(91, 138, 215), Qt::white, Qt::white, Qt::black};

// The cell an item's icon sits in, within block k.
struct IconCell {
    int col;
    int rowInBlock;
};
constexpr std::array<IconCell, 5> kIconCells = {{{2, 2}, {3, 2}, {2, 3}, {3, 3}, {4, 3}}};

int ItemIndex(CNavigationGrid::Item item) {
    return static_cast<int>(item);
}

}  // namespace

CNavigationGrid::CNavigationGrid(QWidget* parent) : CUGCtrl(parent) {
    setAccessibleName(QStringLiteral("Channel Select"));
}

void CNavigationGrid::SetOwners(CPaneHost* host, StudioModel* model,
                                const CConfirmationTracker* confirmations, CCommands* commands) {
    host_ = host;
    model_ = model;
    confirmations_ = confirmations;
    commands_ = commands;
}

void CNavigationGrid::ShowConfirmation(const StrobeData& unit) {
    // Setting the cell redraws it.
    if (const int k = IndexOf(&unit); k >= 0) {
        MarkConfirmation(unit, k);
    }
}

void CNavigationGrid::MarkConfirmation(const StrobeData& unit, int k) {
    const Confirmation state =
        confirmations_ ? confirmations_->StateOf(unit) : Confirmation::Confirmed;
    const int nameRow = kRowsPerUnit * k + 1;
    CUGCell name;
    GetCell(0, nameRow, &name);
    const QColor mark = PaneLook::MarkColor(state);
    name.frame = mark.isValid() ? std::optional(mark) : std::nullopt;
    name.tip = PaneLook::ConfirmationTip(state);
    SetCell(0, nameRow, &name);
}

void CNavigationGrid::OnSetup() {
    normalFont_ = FontOfCellHeight(QStringLiteral("Arial"), 14, QFont::Medium);
    headingFont_ = FontOfCellHeight(QStringLiteral("MS Sans Serif"), 14, QFont::Black);
    alarmFont_ = FontOfCellHeight(QStringLiteral("Arial"), 30, QFont::DemiBold);
    SetDefFont(normalFont_);
    for (int i = 0; i < 5; ++i) {
        onIcons_[i] = GridIcon(i, true);
        offIcons_[i] = GridIcon(i, false);
    }

    SetTH_Height(kHeadingHeight);
    SetSH_Width(0);
    SetDefRowHeight(kRowHeight);
    SetDefColWidth(20);
    SetNumberCols(kColumnCount);
    SetColWidth(1, kNameColumnWidth);
    SetUserSizingMode(false);

    CUGCell heading;
    GetHeadingDefault(&heading);
    heading.background = kHeadingBackground;
    heading.textColor = kHeadingText;
    heading.font = headingFont_;
    heading.alignment = UG_ALIGNLEFT | UG_ALIGNVCENTER;
    SetHeadingDefault(&heading);

    QuickSetCellType(0, -1, UGCT_CHECKBOX);
    QuickSetCellTypeEx(0, -1, kHeadingStyle);
    JoinCells(0, -1, kColumnCount - 1, -1);
    sHeading_ = QStringLiteral("Channel Select");
    QuickSetLabelText(0, -1, sHeading_);
}

int CNavigationGrid::IndexOf(const StrobeData* unit) const {
    return model_ && unit ? static_cast<int>(model_->arUnits.indexOf(unit)) : -1;
}

bool CNavigationGrid::ClickUnit(const StrobeData& unit) {
    const int k = IndexOf(&unit);
    return k >= 0 && GotoCell(0, kRowsPerUnit * k + 1) == UG_SUCCESS;
}

bool CNavigationGrid::ClickUnitBox(const StrobeData& unit, bool ticked) {
    const int k = IndexOf(&unit);
    if (k < 0) {
        return false;
    }
    if ((QuickGetText(0, StateRow(k)) == QStringLiteral("1")) == ticked) {
        return GotoCell(0, StateRow(k)) == UG_SUCCESS;
    }
    return ClickCheckBox(0, StateRow(k)) == UG_SUCCESS;
}

QString CNavigationGrid::NameRowText(const StrobeData& unit) {
    return QStringLiteral("  %1  %2").arg(unit.sChName, unit.sModelName);
}

QString CNavigationGrid::LevelText(int level) {
    return level > 10 ? QString::asprintf("F %d.%d", level / 10, level % 10) : QString();
}

void CNavigationGrid::ShowStudio(const StudioData& studio) {
    rebuilding_ = true;
    sHeading_ = QStringLiteral("Channel Select [ %1 ]").arg(studio.sStudioName);
    QuickSetLabelText(0, -1, sHeading_);
    for (int row = kRowsPerUnit * nUnitCount_ - 1; row >= 0; --row) {
        DeleteRow(row);
    }
    nUnitCount_ = 0;
    model_->arUnits.clear();
    model_->arUnits.squeeze();
    nSelIndex_ = -1;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (studio.bChUsed[slot] == 1 && studio.pChItem[slot]) {
            AppendUnitRows(*studio.pChItem[slot]);
            model_->arUnits.append(studio.pChItem[slot].get());
        }
    }
    rebuilding_ = false;
    RedrawAll();
}

void CNavigationGrid::AppendUnitRows(StrobeData& unit) {
    const int r = GetNumberRows();
    const int k = r / kRowsPerUnit;
    for (int i = 0; i < kRowsPerUnit; ++i) {
        InsertRow(r + i);
    }
    SetRowHeight(r, kSeparatorHeight);

    CUGCell name;
    GetCell(0, r + 1, &name);
    name.background = kNameBackground;
    name.textColor = kNameText;
    name.font = normalFont_;
    name.alignment = UG_ALIGNLEFT | UG_ALIGNVCENTER;
    SetCell(0, r + 1, &name);

    CUGCell state;
    GetCell(0, r + 2, &state);
    state.cellType = UGCT_CHECKBOX;
    state.cellTypeEx = kStateStyle;
    state.alignment = UG_ALIGNLEFT | UG_ALIGNVCENTER;
    // The box shows the unit's mark, so the units a group command acts on are always visibly
    // ticked, also after their studio was shown again.
    state.text = unit.bSelected ? QStringLiteral("1") : QStringLiteral("0");
    SetCell(0, r + 2, &state);

    JoinCells(0, r, kColumnCount - 1, r);
    JoinCells(0, r + 1, kColumnCount - 1, r + 1);
    JoinCells(0, r + 2, 1, r + 3);
    QuickSetText(0, r + 1, NameRowText(unit));
    ShowUnitState(unit, k, false);
    ShowUnitIcons(unit, k);
    MarkConfirmation(unit, k);
    ++nUnitCount_;
}

void CNavigationGrid::ShowUnitState(const StrobeData& unit, int k, bool redraw) {
    QString alarm;
    if (unit.bFlashPow == 0) {
        alarm = QStringLiteral("OFF");
    } else if (unit.nHeatLevel >= kOverheatLevel) {
        alarm = QStringLiteral("Overheat");
    } else {
        ShowPowerLabel(unit.bModelPow ? unit.nModelValue : -1, unit.nFlashValue, k, false);
    }
    const bool current = k == nSelIndex_;
    const StateColours& colours = alarm.isEmpty() ? kNormalColours : kAlarmColours;
    CUGCell cell;
    if (GetCell(0, StateRow(k), &cell) != UG_SUCCESS) {
        return;
    }
    cell.background = current ? colours.currentBackground : colours.otherBackground;
    cell.textColor = current ? colours.currentText : colours.otherText;
    cell.font = alarm.isEmpty() ? normalFont_ : alarmFont_;
    if (!alarm.isEmpty()) {
        cell.label = alarm;
    }
    SetCell(0, StateRow(k), &cell);
    if (redraw) {
        RedrawCell(0, StateRow(k));
    }
}

void CNavigationGrid::ShowPowerLabel(int model, int flash, int k, bool redraw) {
    if (flash != -1 || model != -1) {
        QString flashText;
        QString modelText;
        if (flash != -1) {
            flashText = LevelText(flash);
        }
        if (flash != -1 && model == -1) {
            modelText = QStringLiteral("Off");
        } else {
            modelText = LevelText(model);
        }
        QuickSetLabelText(0, StateRow(k),
                          QStringLiteral("Flash : %1\nModel : %2").arg(flashText, modelText));
    }
    if (redraw) {
        RedrawCell(0, StateRow(k));
    }
}

void CNavigationGrid::ShowUnitIcon(Item item, int k, int value, bool redraw) {
    const int i = ItemIndex(item);
    const IconCell cell = kIconCells[static_cast<std::size_t>(i)];
    const int row = kRowsPerUnit * k + cell.rowInBlock;
    QuickSetBitmap(cell.col, row, value == 1 ? onIcons_[i] : offIcons_[i]);
    if (redraw) {
        RedrawCell(cell.col, row);
    }
}

void CNavigationGrid::ShowUnitIcons(const StrobeData& unit, int k) {
    ShowUnitIcon(Item::ModelMode1, k, unit.nModelMode1, false);
    ShowUnitIcon(Item::ModelMode2, k, unit.nModelMode2, false);
    ShowUnitIcon(Item::PhotoCell, k, unit.bFlashCell, false);
    ShowUnitIcon(Item::Sound, k, unit.bFlashSnd, false);
    ShowUnitIcon(Item::Charge, k, unit.bFlashCharge, false);
}

void CNavigationGrid::RefreshUnitRows(int k, const StrobeData& unit) {
    if (k < 0 || k >= nUnitCount_) {
        return;
    }
    const int r = kRowsPerUnit * k;
    QuickSetText(0, r + 1, NameRowText(unit));
    // A unit ticked or unticked elsewhere (the remote interface) shows it here too.
    QuickSetText(0, StateRow(k), unit.bSelected ? QStringLiteral("1") : QStringLiteral("0"));
    ShowUnitState(unit, k, false);
    ShowUnitIcons(unit, k);
    RedrawRange(0, r + 1, kColumnCount - 1, r + 3);
}

void CNavigationGrid::UpdateUnitItem(int changeCode, StrobeData* unit) {
    const int k = IndexOf(unit);
    if (k < 0) {
        return;
    }
    switch (static_cast<ChangeCode>(changeCode)) {
        case ChangeCode::FlashPower:
        case ChangeCode::ModelPower:
        case ChangeCode::ModelSwitch:
            // An alarm keeps the cell; the levels show again once it clears.
            if (unit->bFlashPow != 0 && unit->nHeatLevel < kOverheatLevel) {
                ShowPowerLabel(unit->bModelPow ? unit->nModelValue : -1, unit->nFlashValue, k,
                               true);
            }
            break;
        case ChangeCode::PhotoCell:
            ShowUnitIcon(Item::PhotoCell, k, unit->bFlashCell, true);
            break;
        case ChangeCode::Sound:
            ShowUnitIcon(Item::Sound, k, unit->bFlashSnd, true);
            break;
        case ChangeCode::FlashSwitch:
        case ChangeCode::Heat:
            ShowUnitState(*unit, k, true);
            break;
        case ChangeCode::ModelMode1:
            ShowUnitIcon(Item::ModelMode1, k, unit->nModelMode1, true);
            break;
        case ChangeCode::ModelMode2:
            ShowUnitIcon(Item::ModelMode2, k, unit->nModelMode2, true);
            break;
        case ChangeCode::Charge:
            ShowUnitIcon(Item::Charge, k, unit->bFlashCharge, true);
            break;
        default:
            break;
    }
}

void CNavigationGrid::OnCellChange(int /*oldCol*/, int /*newCol*/, int /*oldRow*/, int newRow) {
    if (rebuilding_ || newRow < 0) {
        return;
    }
    const int k = newRow / kRowsPerUnit;
    if (k == nSelIndex_ || nUnitCount_ == 0 || k >= model_->arUnits.size()) {
        return;
    }
    StrobeData* newUnit = model_->arUnits[k];
    StrobeData* oldUnit = nSelIndex_ >= 0 ? model_->arUnits.value(nSelIndex_) : nullptr;
    const int oldIndex = nSelIndex_;
    nSelIndex_ = k;
    ShowUnitState(*newUnit, k, false);
    if (oldUnit) {
        ShowUnitState(*oldUnit, oldIndex, false);
    }
    model_->pSelTag = newUnit;
    // The grid only brings the row it moved to into view: a block's 2-pixel separator, or its name
    // row, would leave the unit's levels and box below the visible part.
    RevealUnit(k);
    if (host_) {
        SendWindowMessage(host_->ControlPane(), Msg::ShowSelectedUnit);
    }
    RedrawAll();
}

void CNavigationGrid::RevealUnit(int k) {
    int top = 0;
    for (int row = 0; row < kRowsPerUnit * k; ++row) {
        top += GetRowHeight(row);
    }
    int bottom = top;
    for (int row = kRowsPerUnit * k; row < kRowsPerUnit * (k + 1); ++row) {
        bottom += GetRowHeight(row);
    }
    QScrollBar* bar = verticalScrollBar();
    const int span = viewport()->height() - GetRowHeight(-1);
    if (bottom > bar->value() + span) {
        bar->setValue(bottom - span);
    }
    if (top < bar->value()) {
        bar->setValue(top);
    }
}

int CNavigationGrid::OnCellTypeNotify(int typeId, int col, int row, int msg, long param) {
    if (typeId != UGCT_CHECKBOX || msg != UGCT_CHECKBOXSET || col != 0) {
        return 1;
    }
    const int value = static_cast<int>(param);
    const auto tick = [&](StrobeData& unit) {
        if (commands_) {
            commands_->Tick(unit, value != 0);
        } else {
            unit.bSelected = value;
        }
    };
    if (row == -1) {
        for (int k = 0; k < nUnitCount_ && k < model_->arUnits.size(); ++k) {
            QuickSetText(0, StateRow(k), QString::number(value));
            tick(*model_->arUnits[k]);
        }
        RedrawAll();
    } else if (row % kRowsPerUnit == 2 && row / kRowsPerUnit < model_->arUnits.size()) {
        tick(*model_->arUnits[row / kRowsPerUnit]);
    }
    return 1;
}
