#pragma once

#include <QPixmap>
#include <QSplitter>
#include <QSplitterHandle>

// The bar between two panes of a CStrobeSplitterWnd. It draws itself: a frame in the button colour
// round the bar, and the grip centred on the splitter's height, so that the grips of side-by-side
// splitters line up however the bars are cut. Dragging is left to QSplitterHandle.
class CStrobeSplitterBar final : public QSplitterHandle {
    Q_OBJECT
public:
    // The frame's width on each side of the bar, in pixels.
    static constexpr int kFrameWidth = 4;

    explicit CStrobeSplitterBar(QSplitter* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap grip_;  // drawn for the screen the bar was last painted on
};

// A left-to-right splitter whose bars carry a grip; the main frame nests two of them, the outer one
// splitting the window and the inner one its right part. A pane cannot be dragged narrower than
// its minimum width: the bar stops there rather than folding the pane away.
class CStrobeSplitterWnd : public QSplitter {
    Q_OBJECT
public:
    // Wide enough for the 5-pixel grip with a pixel to spare on each side.
    static constexpr int kBarWidth = 7;

    explicit CStrobeSplitterWnd(QWidget* parent = nullptr);

    // The widths the first two panes should take; with fewer panes, the widths of those there are.
    void SetColumnWidths(int first, int second);

    // The narrowest the pane in `column` may become. A column without a pane is left alone.
    void SetMinimumColumnWidth(int column, int width);

    // The pane in `column`, or nullptr when there is none.
    QWidget* Pane(int column) const;

protected:
    QSplitterHandle* createHandle() override;
};
