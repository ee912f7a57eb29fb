#pragma once

#include <QPushButton>

// The unit's power switch: a push-like check button whose caption always says the state the
// switch is in, "Power On" while checked and "Power Off" while not, on two lines. The caption is
// never left to whoever created the button: a caption set from outside (such as the one a form
// was laid out with) is replaced before it is ever painted.
class CUserButton : public QPushButton {
    Q_OBJECT
public:
    explicit CUserButton(QWidget* parent = nullptr);

    // The caption the button shows for a state.
    static QString CaptionFor(bool checked);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Brings the caption and the accessible name in line with the check state. Changes the text
    // only when it differs, because each change asks for another paint.
    void ShowState();
};
