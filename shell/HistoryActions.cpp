#include "shell/HistoryActions.h"

#include "platform/TipAndDescription.h"

#include <QAction>
#include <QPainter>
#include <QPainterPath>
#include <QToolBar>
#include <QUndoStack>

namespace {

// A curved arrow pointing left (undo) or right (redo), for a desktop theme without the icons.
QPixmap DrawnArrow(bool redo, QColor colour) {
    QPixmap pixmap(30, 30);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    if (redo) {
        painter.translate(30, 0);
        painter.scale(-1, 1);
    }
    QPen pen(colour, 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    QPainterPath arc;
    arc.moveTo(8, 12);
    arc.cubicTo(16, 4, 28, 8, 25, 19);
    arc.cubicTo(23, 25, 17, 26, 13, 25);
    painter.drawPath(arc);
    painter.setBrush(colour);
    painter.setPen(Qt::NoPen);
    painter.drawPolygon(QPolygonF({QPointF(3, 12), QPointF(12, 5), QPointF(12, 18)}));
    return pixmap;
}

QIcon HistoryIcon(bool redo) {
    const QIcon themed =
        QIcon::fromTheme(redo ? QStringLiteral("edit-redo") : QStringLiteral("edit-undo"));
    if (!themed.isNull()) {
        return themed;
    }
    QIcon icon;
    icon.addPixmap(DrawnArrow(redo, QColor(0x1f, 0x5f, 0xa8)), QIcon::Normal);
    icon.addPixmap(DrawnArrow(redo, QColor(0xa0, 0xa0, 0xa0)), QIcon::Disabled);
    return icon;
}

QAction* MakeAction(bool redo, QToolBar& toolbar, QWidget& window) {
    const QString text = redo ? QStringLiteral("Redo") : QStringLiteral("Undo");
    auto* action = new QAction(HistoryIcon(redo), text, &window);
    action->setObjectName(text.toLower() + QStringLiteral("Action"));
    if (redo) {
        action->setShortcuts(
            {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    } else {
        action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    }
    // From anywhere in the window, but a text box takes its own Ctrl+Z first.
    action->setShortcutContext(Qt::WindowShortcut);
    toolbar.addAction(action);
    window.addAction(action);
    if (QWidget* button = toolbar.widgetForAction(action)) {
        button->setAccessibleName(text);
    }
    return action;
}

}  // namespace

CHistoryActions::CHistoryActions(QUndoStack& history, QToolBar& toolbar, QWidget& window)
    : QObject(&window), history_(history), toolbar_(toolbar) {
    toolbar_.addSeparator();
    undo_ = MakeAction(false, toolbar_, window);
    redo_ = MakeAction(true, toolbar_, window);
    // A step pushed or taken tells up to five times; the buttons are shown once, after the
    // change has gone out, so that the frame is not kept waiting for the toolbar.
    connect(&history_, &QUndoStack::indexChanged, this, &CHistoryActions::ShowSoon);
    for (const auto can : {&QUndoStack::canUndoChanged, &QUndoStack::canRedoChanged}) {
        connect(&history_, can, this, &CHistoryActions::ShowSoon);
    }
    connect(&history_, &QUndoStack::undoTextChanged, this, &CHistoryActions::ShowSoon);
    connect(&history_, &QUndoStack::redoTextChanged, this, &CHistoryActions::ShowSoon);
    Show();
}

void CHistoryActions::ShowSoon() {
    if (!showPending_) {
        showPending_ = true;
        QMetaObject::invokeMethod(this, &CHistoryActions::Show, Qt::QueuedConnection);
    }
}

void CHistoryActions::Show() {
    showPending_ = false;
    const auto show = [this](QAction* action, bool can, const QString& step) {
        const QString tip = can ? action->text() + u' ' + step : action->text();
        action->setEnabled(can);
        action->setToolTip(tip);
        if (QWidget* button = toolbar_.widgetForAction(action)) {
            SetTipAndDescription(*button, tip);
        }
    };
    show(undo_, history_.canUndo(), history_.undoText());
    show(redo_, history_.canRedo(), history_.redoText());
}
