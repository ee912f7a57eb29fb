#pragma once

#include <QColor>
#include <QLabel>

// A value shown large on a panel: its text, centred, in the label's own text colour on the label's
// own solid background colour; both are the owner's to set. The label paints every pixel itself,
// the background first and the text over it, so a value that becomes shorter leaves nothing of the
// longer one behind.
//
// Its accessible name is its text, unless the owner gives it a name of its own; either way a
// screen reader can read the value itself as the label's text and its value, and hears of each
// new value set through SetText.
class CUserStatic : public QLabel {
    Q_OBJECT
public:
    explicit CUserStatic(QWidget* parent = nullptr);
    explicit CUserStatic(const QString& text, QWidget* parent = nullptr);

    void SetTextColor(const QColor& color);
    void SetBackgroundColor(const QColor& color);
    QColor TextColor() const { return textColor_; }
    QColor BackgroundColor() const { return backgroundColor_; }

    // Shows a new value and tells assistive technology of it.
    void SetText(const QString& text);

    // A frame of this colour just inside the edge marks the value out; an invalid colour, none.
    void SetMarkColor(const QColor& color);
    QColor MarkColor() const { return markColor_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor textColor_;
    QColor backgroundColor_;
    QColor markColor_;
};
