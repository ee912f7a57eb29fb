#pragma once

#include <QColor>
#include <QWidget>

// A caption line: its text at the left, vertically centred, then an etched rule to the right edge.
class COXSeparator : public QWidget {
    Q_OBJECT
public:
    explicit COXSeparator(const QString& text, QWidget* parent = nullptr);

    void SetText(const QString& text);
    QString Text() const { return text_; }
    void SetTextColor(const QColor& color);
    // The rule's shadow line (top and left) and highlight line (bottom and right).
    void SetLineColors(const QColor& shadow, const QColor& highlight);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    QColor textColor_;
    QColor shadow_;
    QColor highlight_;
};
