#include "platform/DialogUnits.h"

#include <QFontMetrics>

DialogUnits::DialogUnits(const QFont& templateFont) {
    const QFontMetrics metrics(templateFont);
    // The average width is taken over the 52 letters and rounded, as dialog units are defined.
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    baseX_ = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
    baseY_ = metrics.height();
}

QFont DialogUnits::ShellDlgFont() {
    QFont font(QStringLiteral("MS Shell Dlg"));
    font.setPointSize(8);
    return font;
}

QRect DialogUnits::Rect(int x, int y, int width, int height) const {
    return {x * baseX_ / 4, y * baseY_ / 8, width * baseX_ / 4, height * baseY_ / 8};
}

QSize DialogUnits::Size(int width, int height) const {
    return {width * baseX_ / 4, height * baseY_ / 8};
}
