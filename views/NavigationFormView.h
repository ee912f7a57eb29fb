#pragma once

#include "views/PaneBase.h"

class CNavigationGrid;
class COXSeparator;
class QWidget;
struct StudioData;

// The navigation pane: a caption and the grid of the units of one studio. It receives the other
// panes' messages and hands them to the grid.
class CNavigationFormView final : public CPaneBase {
    Q_OBJECT
public:
    explicit CNavigationFormView(QWidget* parent);

    CNavigationGrid* Grid() const { return grid_; }

protected:
    bool OnMessage(const WindowMessageEvent& message) override;
    void OnInitialUpdate() override;
    void resizeEvent(QResizeEvent* e) override;

private:
    // Makes row `row` current; the grid's selection handling does the rest.
    void MakeRowCurrent(int row);
    // Shows the studio: its first unit made current, or the panel told there is none.
    void OnShowStudio(const StudioData& studio);

    COXSeparator* caption_;  // 1005
    QWidget* placeholder_;   // 1004, taken over by the grid
    CNavigationGrid* grid_;
};
