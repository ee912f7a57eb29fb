#pragma once

#include <QAccessibleWidget>
#include <QPointer>

#include <map>
#include <utility>

class CUGCtrl;

// The grid as a screen reader sees it: a table whose children are its cells, row by row, the top
// heading row first and each row's side heading cell first, as far as the headings are shown.
// The current cell is the focused and selected one.
class CUGGridAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit CUGGridAccessible(CUGCtrl* grid);
    ~CUGGridAccessible() override;

    // Makes Qt ask us for the interfaces of grids; once for the program, repeats do nothing.
    static void Install();
    // The cell's index among the table's children; -1 when it is no cell or its heading is hidden.
    static int ChildIndex(const CUGCtrl* grid, int col, int row);

    // The interface of one cell, made on first asking and kept until the table goes.
    QAccessibleInterface* CellInterface(int col, int row) const;

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface*> selectedCells() const override;
    QString columnDescription(int column) const override;
    QString rowDescription(int row) const override;
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return 0; }
    int columnCount() const override;
    int rowCount() const override;
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int /*column*/) const override { return false; }
    bool isRowSelected(int /*row*/) const override { return false; }
    bool selectRow(int /*row*/) override { return false; }
    bool selectColumn(int /*column*/) override { return false; }
    bool unselectRow(int /*row*/) override { return false; }
    bool unselectColumn(int /*column*/) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent* event) override;

private:
    CUGCtrl* Grid() const;

    // By (column, row). The ids belong to Qt's registry of interfaces; they are given back when
    // the table goes or the cell does.
    mutable std::map<std::pair<int, int>, QAccessible::Id> cells_;
};

// One cell, found by its place in the grid; it reads the grid anew each time it is asked.
class CUGCellAccessible : public QAccessibleInterface,
                          public QAccessibleTableCellInterface,
                          public QAccessibleActionInterface {
public:
    CUGCellAccessible(CUGCtrl* grid, int col, int row);

    const CUGCtrl* Grid() const { return grid_; }
    int Col() const { return col_; }
    int Row() const { return row_; }

    bool isValid() const override;
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* childAt(int /*x*/, int /*y*/) const override { return nullptr; }
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int /*index*/) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface* /*child*/) const override { return -1; }
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text /*t*/, const QString& /*text*/) override {}
    QRect rect() const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    bool isSelected() const override;
    QList<QAccessibleInterface*> columnHeaderCells() const override;
    QList<QAccessibleInterface*> rowHeaderCells() const override;
    int columnIndex() const override { return col_; }
    int rowIndex() const override { return row_; }
    int columnExtent() const override;
    int rowExtent() const override;
    QAccessibleInterface* table() const override { return parent(); }

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

private:
    bool IsDataCell() const { return col_ >= 0 && row_ >= 0; }
    bool IsCheckBox() const;
    bool IsCurrent() const;
    CUGGridAccessible* Table() const;

    QPointer<CUGCtrl> grid_;
    int col_;
    int row_;
};
