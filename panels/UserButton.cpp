#include "panels/UserButton.h"

#include <QEvent>

CUserButton::CUserButton(QWidget* parent) : QPushButton(parent) {
    setCheckable(true);
    connect(this, &QAbstractButton::toggled, this, &CUserButton::ShowState);
    ShowState();
}

QString CUserButton::CaptionFor(bool checked) {
    return checked ? tr("Power\nOn") : tr("Power\nOff");
}

bool CUserButton::event(QEvent* event) {
    // Showing is the last moment before the first paint at which a caption set from outside can
    // be put right without costing a second paint.
    if (event->type() == QEvent::Show) {
        ShowState();
    }
    return QPushButton::event(event);
}

void CUserButton::paintEvent(QPaintEvent* event) {
    // The toggled signal does not come while the button's signals are blocked, and setText is not
    // ours to watch: whatever the caption became since, this paint shows the state.
    ShowState();
    QPushButton::paintEvent(event);
}

void CUserButton::ShowState() {
    const QString caption = CaptionFor(isChecked());
    if (text() != caption) {
        setText(caption);
    }
    // A screen reader reads the caption as one phrase, not as two lines.
    QString name = caption;
    name.replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (accessibleName() != name) {
        setAccessibleName(name);
    }
}
