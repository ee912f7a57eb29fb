#include "views/StudioListFormView.h"

#include "commands/Commands.h"
#include "model/StudioModel.h"
#include "platform/DialogUnits.h"
#include "resources/Images.h"
#include "toolkit/OXSeparator.h"
#include "views/PaneHost.h"
#include "views/PaneLook.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QResizeEvent>
#include <QStyledItemDelegate>
#include <QTreeWidget>

#include <algorithm>
#include <memory>

namespace {

// The toolbar command the edit box switches on and off: "Name", as the main frame numbers it.
constexpr std::intptr_t kNameCommand = 3;

// One image per kind of line, numbered alike.
static_assert(kTreeImageCount == 3 && kTreeStudio == TreeItemTag::StudioLine &&
              kTreeUnit == TreeItemTag::UnitLine && kTreeLightName == TreeItemTag::LightNameLine);

// Where a line keeps the tag of the record it shows.
constexpr int kTagRole = Qt::UserRole;

const QColor kSelectedText(0, 192, 0);
const QColor kSelectedBack(230, 230, 230);

TreeItemTag* TagOf(const QTreeWidgetItem* line) {
    return line ? static_cast<TreeItemTag*>(line->data(0, kTagRole).value<void*>()) : nullptr;
}

QTreeWidgetItem* LineOf(const TreeItemTag& tag) {
    return static_cast<QTreeWidgetItem*>(tag.hTreeItem);
}

bool IsBelow(const QTreeWidgetItem* line, const QTreeWidgetItem* ancestor) {
    for (const QTreeWidgetItem* up = line ? line->parent() : nullptr; up; up = up->parent()) {
        if (up == ancestor) {
            return true;
        }
    }
    return false;
}

// Deepest lines first, so that no line outlives the moment its parent goes.
void DeleteLinesBelow(QTreeWidgetItem& line) {
    while (line.childCount() > 0) {
        const std::unique_ptr<QTreeWidgetItem> child(line.takeChild(line.childCount() - 1));
        DeleteLinesBelow(*child);
    }
}

// The tree draws its own expand buttons only: connecting lines, which some styles add, crowd a
// tree three levels deep without telling the eye anything the indentation does not.
class CStudioTree final : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;

protected:
    // Focus alone must not select a line: selecting one decides what the whole window works on
    // (and may start a scan). The first arrow key picks the first line.
    void focusInEvent(QFocusEvent* event) override {
        if (!currentItem()) {
            QAbstractScrollArea::focusInEvent(event);
            viewport()->update();
            return;
        }
        QTreeWidget::focusInEvent(event);
    }

    void drawBranches(QPainter* painter, const QRect& rect,
                      const QModelIndex& index) const override {
        const QTreeWidgetItem* line = itemFromIndex(index);
        if (!line || line->childCount() == 0) {
            return;
        }
        QStyleOption button;
        button.initFrom(this);
        const int indent = indentation();
        const int left = isRightToLeft() ? rect.left() : rect.right() - indent + 1;
        button.rect = QRect(left, rect.top(), indent, rect.height());
        // Without State_Item and State_Sibling a style draws the button and no line to it.
        button.state |= QStyle::State_Children;
        if (isExpanded(index)) {
            button.state |= QStyle::State_Open;
        }
        style()->drawPrimitive(QStyle::PE_IndicatorBranch, &button, painter, this);
    }
};

// The selected line reads green on light grey and the line under the mouse white on black, so that
// both stand out against the ordinary lines whatever the system's colours are.
class CStudioLineDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem line(option);
        initStyleOption(&line, index);
        if (line.state & QStyle::State_Selected) {
            line.palette.setColor(QPalette::Highlight, kSelectedBack);
            line.palette.setColor(QPalette::HighlightedText, kSelectedText);
        } else if (line.state & QStyle::State_MouseOver) {
            line.backgroundBrush = QBrush(Qt::black);
            line.palette.setColor(QPalette::Text, Qt::white);
            // A style's own hover tint would only grey the black.
            line.state &= ~QStyle::State_MouseOver;
        }
        const QWidget* widget = line.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &line, painter, widget);
    }
};

}  // namespace

CStudioListFormView::CStudioListFormView(QWidget* parent)
    : CPaneBase(parent),
      title_(new COXSeparator(QStringLiteral("Studio List"), this)),
      tree_(new CStudioTree(this)),
      nameEdit_(new QLineEdit(this)) {
    setObjectName(QStringLiteral("studioListPane"));
    setAccessibleName(QStringLiteral("Studio List"));
    setFont(PaneLook::TemplateFont());
    const DialogUnits du(font());
    resize(du.Size(130, 230));

    title_->setObjectName(QStringLiteral("studioListTitle"));
    PaneLook::StyleCaption(*title_);
    title_->setGeometry(du.Rect(5, 5, 120, 9));

    tree_->setObjectName(QStringLiteral("studioTree"));
    tree_->setAccessibleName(QStringLiteral("Studios"));
    tree_->setAccessibleDescription(
        QStringLiteral("The studios with their units and light names; selecting one shows it"));
    tree_->setColumnCount(1);
    tree_->setHeaderHidden(true);
    tree_->setRootIsDecorated(true);
    tree_->setItemsExpandable(true);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setIconSize(kTreeImageSize);
    // A long name is cut short with an ellipsis at the pane's edge; the tree never scrolls
    // sideways, which would take the studio lines out of sight.
    tree_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tree_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    tree_->setTextElideMode(Qt::ElideRight);
    tree_->setMouseTracking(true);
    tree_->viewport()->setAttribute(Qt::WA_Hover);
    tree_->setItemDelegate(new CStudioLineDelegate(tree_));
    // The same colours for the indentation the tree fills beside a selected line.
    QPalette treeColours = tree_->palette();
    treeColours.setColor(QPalette::Highlight, kSelectedBack);
    treeColours.setColor(QPalette::HighlightedText, kSelectedText);
    tree_->setPalette(treeColours);
    tree_->setGeometry(du.Rect(5, 19, 120, 190));
    connect(tree_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { OnCurrentLineChanged(current); });

    nameEdit_->setObjectName(QStringLiteral("nameEdit"));
    nameEdit_->setAccessibleName(QStringLiteral("Name"));
    nameEdit_->setAccessibleDescription(
        QStringLiteral("The name of the selected unit or light; the Name command applies it"));
    nameEdit_->setGeometry(du.Rect(5, 212, 120, 12));
    connect(nameEdit_, &QLineEdit::textEdited, this,
            [this] { SendToFrame(Msg::EnableCommand, kNameCommand, 1); });

    setFocusProxy(tree_);

    for (int kind = 0; kind < static_cast<int>(images_.size()); ++kind) {
        images_[kind] = TreeImage(kind);
    }
}

void CStudioListFormView::OnInitialUpdate() {
    AddStudioLines();
    if (Model()) {
        const ModelEvents& events = Model()->Events();
        connect(&events, &ModelEvents::SelectionChanged, this,
                &CStudioListFormView::FollowSelection);
        connect(&events, &ModelEvents::NamesChanged, this, &CStudioListFormView::ShowNames);
    }
}

void CStudioListFormView::FollowSelection() {
    // A selection made elsewhere (the remote interface) moves the tree's current line, which then
    // shows it as a click on the line would.
    const TreeItemTag* tag = Model()->pSelTag;
    QTreeWidgetItem* line = tag ? LineOf(*tag) : nullptr;
    if (quiet_ || !line || line->treeWidget() != tree_ || line == tree_->currentItem()) {
        return;
    }
    ClickLine(*Model()->pSelTag);
}

void CStudioListFormView::ShowNames(StrobeData* unit) {
    if (QTreeWidgetItem* line = unit ? LineOf(*unit) : nullptr) {
        line->setText(0, unit->UnitLineText());
    }
    if (QTreeWidgetItem* line = unit ? LineOf(unit->lightNameTag) : nullptr) {
        line->setText(0, unit->sLightName);
    }
    // The box shows the name of the line that is selected; the user's own typing is left alone
    // unless it is that name which changed.
    const TreeItemTag* selected = Model()->pSelTag;
    if (selected && (selected == unit || selected == &unit->lightNameTag) &&
        !nameEdit_->isModified()) {
        ShowNameOf(*selected);
    }
}

void CStudioListFormView::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    // The tree takes what the pane has to spare; the edit box keeps its height along the bottom
    // and the title stays where the template put it.
    const int w = e->size().width();
    const int h = e->size().height();
    tree_->setGeometry(8, 30, std::max(0, w - 20), std::max(0, h - 70));
    nameEdit_->setGeometry(8, h - 30, std::max(0, w - 20), nameEdit_->height());
}

bool CStudioListFormView::OnMessage(const WindowMessageEvent& message) {
    switch (message.Message()) {
        case Msg::UnitPlaced:
            OnUnitPlaced(message.WParam(), message.LParamAs<StrobeData>());
            return true;
        case Msg::ApplyName:
            OnApplyName();
            return true;
        case Msg::ScanStarted: {
            StudioData* studio = message.LParamAs<StudioData>();
            if (RebuildStudio(studio)) {
                tree_->viewport()->update();
                SendToNavigation(Msg::ShowStudio, 0, AsLParam(studio));
            }
            return true;
        }
        case Msg::RebuildSelectedStudio: {
            StudioData* studio = Model() ? Model()->SelectedStudio() : nullptr;
            if (RebuildStudio(studio)) {
                SendToNavigation(Msg::ShowStudio, 0, AsLParam(studio));
            }
            return true;
        }
        default:
            return false;
    }
}

bool CStudioListFormView::ClickLine(TreeItemTag& tag) {
    QTreeWidgetItem* line = LineOf(tag);
    if (!line || line->treeWidget() != tree_) {
        return false;
    }
    for (QTreeWidgetItem* up = line->parent(); up; up = up->parent()) {
        up->setExpanded(true);
    }
    tree_->scrollToItem(line);
    tree_->setCurrentItem(line);
    return true;
}

void CStudioListFormView::OnUnitPlaced(std::intptr_t slot, StrobeData* unit) {
    // New units go into the studio the dongle is tuned to, which the user may have left for an
    // empty one meanwhile. The unit is looked for in that studio's slot before it is touched: a
    // placement that was still queued while the studio was cleared names a unit that is gone.
    const StudioData* studio = Model() ? Model()->pScanStudio : nullptr;
    if (!studio) {
        studio = static_cast<const StudioData*>(TagOf(currentStudioLine_));
    }
    QTreeWidgetItem* studioLine = studio ? LineOf(*studio) : nullptr;
    if (!unit || !studioLine || studio->Unit(static_cast<int>(slot)) != unit) {
        return;
    }
    // A rebuild that ran while this message was queued has shown the unit already.
    for (int i = 0; i < studioLine->childCount(); ++i) {
        if (TagOf(studioLine->child(i)) == unit) {
            return;
        }
    }
    // The studio line stays as the user left it, open or closed: a scan fills it without taking
    // the tree out of the user's hands.
    AddUnitLines(studioLine, *unit);
    tree_->viewport()->update();
    if (studioLine == currentStudioLine_) {
        SendToNavigation(Msg::UnitAdded, slot, AsLParam(unit));
    }
}

void CStudioListFormView::OnApplyName() {
    TreeItemTag* tag = Model() ? Model()->pSelTag : nullptr;
    CCommands* commands = Context().commands;
    if (tag && commands &&
        (tag->nItemKind == TreeItemTag::UnitLine || tag->nItemKind == TreeItemTag::LightNameLine)) {
        const bool light = tag->nItemKind == TreeItemTag::LightNameLine;
        auto* unit = static_cast<StrobeData*>(light ? tag->pParent : tag);
        nameEdit_->setModified(false);
        commands->Rename(*unit, light, nameEdit_->text());
    }
    SendToFrame(Msg::EnableCommand, kNameCommand, 0);
}

void CStudioListFormView::OnCurrentLineChanged(QTreeWidgetItem* line) {
    if (quiet_ || !Model() || !Context().commands) {
        return;
    }
    TreeItemTag* tag = TagOf(line);
    if (!tag) {
        currentStudioLine_ = nullptr;
        return;
    }
    StudioModel& model = *Model();
    // The selection may start a scan of the studio, which then shows it once it is done.
    const bool rescan = Context().commands->Select(*tag).scanStarted;
    StudioData* studio = model.SelectedStudio();
    if (!studio) {
        return;
    }
    QTreeWidgetItem* studioLine = LineOf(*studio);
    if (StrobeData* unit = model.SelectedUnit()) {
        if (studioLine == currentStudioLine_) {
            SendToNavigation(Msg::SelectUnitRow, 0, AsLParam(unit));
        } else if (!rescan) {
            // 1: the navigation view shows the unit's studio first.
            SendToNavigation(Msg::SelectUnitRow, 1, AsLParam(unit));
        }
    } else if (studioLine != currentStudioLine_ && !rescan) {
        SendToNavigation(Msg::ShowStudio, 0, AsLParam(studio));
    }
    ShowNameOf(*tag);
    SendToFrame(Msg::EnableCommand, kNameCommand, 0);
    currentStudioLine_ = studioLine;
}

void CStudioListFormView::ShowNameOf(const TreeItemTag& tag) {
    switch (tag.nItemKind) {
        case TreeItemTag::StudioLine:
            // A studio keeps its name: shown, but not for editing.
            nameEdit_->setText(static_cast<const StudioData&>(tag).sStudioName);
            nameEdit_->setEnabled(false);
            break;
        case TreeItemTag::UnitLine:
            nameEdit_->setText(static_cast<const StrobeData&>(tag).sModelName);
            nameEdit_->setEnabled(true);
            break;
        case TreeItemTag::LightNameLine:
            nameEdit_->setText(static_cast<const StrobeData*>(tag.pParent)->sLightName);
            nameEdit_->setEnabled(true);
            break;
        default:
            break;
    }
}

void CStudioListFormView::AddStudioLines() {
    quiet_ = true;
    tree_->clear();
    quiet_ = false;
    currentStudioLine_ = nullptr;
    if (!Model()) {
        return;
    }
    for (const auto& studio : Model()->pStudio) {
        AddLine(nullptr, studio->sStudioName, TreeItemTag::StudioLine, *studio);
        RebuildStudio(studio.get());
    }
}

bool CStudioListFormView::RebuildStudio(StudioData* studio) {
    if (!studio ||
        static_cast<unsigned>(studio->nStudioNum) >= static_cast<unsigned>(kStudioCount)) {
        return false;
    }
    QTreeWidgetItem* studioLine = LineOf(*studio);
    if (!studioLine) {
        return false;
    }
    quiet_ = true;
    // The lines below the studio go, and a scan has freed the units some of them show: the tree
    // must not carry the selection onto one of them as they go, so it moves to the studio first.
    const bool selectionBelow = IsBelow(tree_->currentItem(), studioLine);
    if (selectionBelow) {
        tree_->setCurrentItem(studioLine);
    }
    DeleteLinesBelow(*studioLine);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (StrobeData* unit = studio->bChUsed[slot] ? studio->Unit(slot) : nullptr) {
            AddUnitLines(studioLine, *unit);
        }
    }
    // The model's selection did not change (a scan has moved it to the studio itself): show it
    // again on its new line.
    const StudioModel& model = *Model();
    if (selectionBelow && model.pSelTag && model.SelectedStudio() == studio) {
        if (QTreeWidgetItem* selected = LineOf(*model.pSelTag)) {
            tree_->setCurrentItem(selected);
            tree_->scrollToItem(selected);
        }
        ShowNameOf(*model.pSelTag);
    }
    quiet_ = false;
    return true;
}

void CStudioListFormView::AddUnitLines(QTreeWidgetItem* studioLine, StrobeData& unit) {
    QTreeWidgetItem* unitLine =
        AddLine(studioLine, unit.UnitLineText(), TreeItemTag::UnitLine, unit);
    AddLine(unitLine, unit.sLightName, TreeItemTag::LightNameLine, unit.lightNameTag);
}

QTreeWidgetItem* CStudioListFormView::AddLine(QTreeWidgetItem* parent, const QString& text,
                                              int kind, TreeItemTag& tag) {
    // Owned by the parent line, or by the tree for a studio line.
    auto* line = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree_);
    line->setText(0, text);
    line->setIcon(0, images_[kind]);
    line->setData(0, kTagRole, QVariant::fromValue(static_cast<void*>(&tag)));
    line->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    tag.nItemKind = kind;
    tag.hTreeItem = line;
    if (parent) {
        parent->sortChildren(0, Qt::AscendingOrder);
    }
    return line;
}

QWidget* CStudioListFormView::NavigationView() const {
    const CPaneHost* host = Host();
    return host ? host->NavigationPane() : nullptr;
}

void CStudioListFormView::SendToNavigation(Msg message, std::intptr_t wParam,
                                           std::intptr_t lParam) const {
    if (QWidget* navigation = NavigationView()) {
        SendWindowMessage(navigation, message, wParam, lParam);
    }
}

void CStudioListFormView::SendToFrame(Msg message, std::intptr_t wParam,
                                      std::intptr_t lParam) const {
    if (MainFrame()) {
        SendWindowMessage(MainFrame(), message, wParam, lParam);
    }
}
