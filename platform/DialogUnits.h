#pragma once

#include <QFont>
#include <QRect>

// Converts dialog-template units into pixels with the template's own font, so that controls sit
// where the templates place them: x * average character width / 4, y * font height / 8.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& templateFont);

    // The font the dialog templates are drawn with ("MS Shell Dlg", 8 points).
    static QFont ShellDlgFont();

    QRect Rect(int x, int y, int width, int height) const;
    QSize Size(int width, int height) const;

private:
    int baseX_;
    int baseY_;
};
