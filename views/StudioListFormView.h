#pragma once

#include "views/PaneBase.h"

#include <QIcon>

#include <array>
#include <cstdint>

class COXSeparator;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;
struct StrobeData;
struct StudioData;
struct TreeItemTag;

// The studio list: the five studios, their units and the units' light names as a tree, and an edit
// box that renames the selected unit or light name. Selecting a line sets the model's selection and
// tells the navigation view which studio or unit to show.
//
// Every line keeps a pointer to the tag of the record it shows, and the tag keeps the line back in
// hTreeItem, so the model's selection and the tree can always find each other.
class CStudioListFormView final : public CPaneBase {
    Q_OBJECT
public:
    explicit CStudioListFormView(QWidget* parent = nullptr);

    // Selects the line of a studio, unit or light name as a click on it does, opening the lines
    // above it first as the user would have to. False when the record has no line.
    bool ClickLine(TreeItemTag& tag);

protected:
    bool OnMessage(const WindowMessageEvent& message) override;
    // The studio lines appear once the model is known.
    void OnInitialUpdate() override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void OnUnitPlaced(std::intptr_t slot, StrobeData* unit);
    void OnApplyName();
    void FollowSelection();
    void ShowNames(StrobeData* unit);
    void OnCurrentLineChanged(QTreeWidgetItem* line);

    void AddStudioLines();
    // Replaces every line below the studio's line with lines for its used slots. A studio that is
    // not one of the five changes nothing and gives false.
    bool RebuildStudio(StudioData* studio);
    void AddUnitLines(QTreeWidgetItem* studioLine, StrobeData& unit);
    QTreeWidgetItem* AddLine(QTreeWidgetItem* parent, const QString& text, int kind,
                             TreeItemTag& tag);
    void ShowNameOf(const TreeItemTag& tag);

    QWidget* NavigationView() const;
    void SendToNavigation(Msg message, std::intptr_t wParam, std::intptr_t lParam) const;
    void SendToFrame(Msg message, std::intptr_t wParam, std::intptr_t lParam) const;

    COXSeparator* title_;
    QTreeWidget* tree_;
    QLineEdit* nameEdit_;
    // The studio line of the line last selected (or that line itself): what decides whether a new
    // selection stays inside the studio the navigation view already shows.
    QTreeWidgetItem* currentStudioLine_ = nullptr;
    // Set while the view moves the tree's selection itself, which is no choice of the user's.
    bool quiet_ = false;
    std::array<QIcon, 3> images_;  // by kind of line, drawn once
};
