#include "views/NavigationFormView.h"

#include "model/StudioModel.h"
#include "platform/DialogUnits.h"
#include "toolkit/OXSeparator.h"
#include "views/NavigationGrid.h"
#include "views/PaneHost.h"
#include "views/PaneLook.h"

#include <QResizeEvent>

namespace {
constexpr int kCaptionId = 1005;
constexpr int kGridId = 1004;
}  // namespace

CNavigationFormView::CNavigationFormView(QWidget* parent)
    : CPaneBase(parent),
      caption_(new COXSeparator(QStringLiteral("Navigation"), this)),
      placeholder_(new QWidget(this)),
      grid_(new CNavigationGrid(this)) {
    setAccessibleName(QStringLiteral("Navigation"));
    const DialogUnits du(PaneLook::TemplateFont());
    caption_->setProperty("controlId", kCaptionId);
    caption_->setGeometry(du.Rect(5, 5, 155, 9));
    placeholder_->setProperty("controlId", kGridId);
    placeholder_->setGeometry(du.Rect(5, 20, 155, 205));
    grid_->hide();
}

void CNavigationFormView::OnInitialUpdate() {
    PaneLook::StyleCaption(*caption_);
    grid_->SetOwners(Host(), Model(), Context().confirmations, Context().commands);
    grid_->AttachGrid(this, kGridId);
    grid_->show();
}

void CNavigationFormView::resizeEvent(QResizeEvent* e) {
    CPaneBase::resizeEvent(e);
    // Only the grid follows the pane's size; the caption keeps its template place and width.
    grid_->setGeometry(8, 30, e->size().width() - 20, e->size().height() - 40);
}

void CNavigationFormView::MakeRowCurrent(int row) {
    grid_->GotoCell(0, row);
}

void CNavigationFormView::OnShowStudio(const StudioData& studio) {
    grid_->ShowStudio(studio);
    if (studio.nChItemCnt > 0) {
        MakeRowCurrent(1);
    } else if (Host()) {
        SendWindowMessage(Host()->ControlPane(), Msg::StudioHasNoUnits);
    }
}

bool CNavigationFormView::OnMessage(const WindowMessageEvent& m) {
    StudioModel* model = Model();
    if (!model) {
        return false;
    }
    switch (m.Message()) {
        case Msg::ShowStudio:
            if (const StudioData* studio = m.LParamAs<StudioData>()) {
                OnShowStudio(*studio);
            }
            return true;
        case Msg::SelectUnitRow: {
            if (m.WParam() != 0) {
                const StudioData* studio = model->SelectedStudio();
                if (!studio) {
                    return true;
                }
                grid_->ShowStudio(*studio);
            }
            const int k = grid_->IndexOf(m.LParamAs<StrobeData>());
            if (k >= 0) {
                MakeRowCurrent(CNavigationGrid::kRowsPerUnit * k + 1);
            }
            return true;
        }
        case Msg::UnitAdded: {
            const StudioData* studio = model->SelectedStudio();
            if (!studio) {
                return true;
            }
            const int sel = grid_->SelIndex();
            const StrobeData* current = sel >= 0 ? model->arUnits.value(sel) : nullptr;
            grid_->ShowStudio(*studio);
            const int k = grid_->IndexOf(current);
            MakeRowCurrent(k >= 0 ? CNavigationGrid::kRowsPerUnit * k + 1 : 1);
            return true;
        }
        case Msg::UnitSettingChanged: {
            StrobeData* unit = m.LParam() ? m.LParamAs<StrobeData>() : model->SelectedUnit();
            if (unit) {
                grid_->UpdateUnitItem(static_cast<int>(m.WParam()), unit);
            }
            return true;
        }
        case Msg::UnitRefreshed: {
            if (const StrobeData* unit = m.LParamAs<StrobeData>()) {
                grid_->RefreshUnitRows(grid_->IndexOf(unit), *unit);
            }
            return true;
        }
        case Msg::TickedUnitsChanged: {
            const StudioData* studio = model->SelectedStudio();
            if (!studio) {
                return true;
            }
            const QList<StrobeData*> units = model->arUnits;
            for (int k = 0; k < studio->nChItemCnt && k < units.size(); ++k) {
                grid_->UpdateUnitItem(static_cast<int>(m.WParam()), units[k]);
            }
            return true;
        }
        case Msg::PanelModeChanged:
            return true;
        case Msg::UnitConfirmationChanged:
            if (const StrobeData* unit = m.LParamAs<StrobeData>()) {
                grid_->ShowConfirmation(*unit);
            }
            return true;
        default:
            return false;
    }
}
