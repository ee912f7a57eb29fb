#pragma once

#include <QObject>

class QAction;
class QToolBar;
class QUndoStack;
class QWidget;

// The toolbar's Undo and Redo: enabled while there is a step to take, their tooltip and accessible
// description naming it ("Undo Flash Power CH-03 5.6 → 6.0"). Triggering one calls the handler
// given, which takes the step through the commands.
class CHistoryActions final : public QObject {
public:
    CHistoryActions(QUndoStack& history, QToolBar& toolbar, QWidget& window);

    QAction* Undo() const { return undo_; }
    QAction* Redo() const { return redo_; }

private:
    void ShowSoon();
    void Show();

    QUndoStack& history_;
    QToolBar& toolbar_;
    QAction* undo_;
    QAction* redo_;
    bool showPending_ = false;
};
