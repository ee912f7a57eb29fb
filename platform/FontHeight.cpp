#include "platform/FontHeight.h"

#include <QFontMetrics>

#include <algorithm>

QFont FontOfCellHeight(const QString& family, int cellHeight, QFont::Weight weight) {
    QFont font(family);
    font.setWeight(weight);
    font.setPixelSize(std::max(1, cellHeight));
    // The cell grows with the em in proportion: one measurement gives the em that fits, and the
    // steps after it only mend the rounding of the face's metrics.
    const int measured = QFontMetrics(font).height();
    int size = measured > 0 ? std::max(1, cellHeight * cellHeight / measured) : cellHeight;
    font.setPixelSize(size);
    while (size > 1 && QFontMetrics(font).height() > cellHeight) {
        font.setPixelSize(--size);
    }
    while (QFontMetrics(font).height() < cellHeight) {
        font.setPixelSize(size + 1);
        if (QFontMetrics(font).height() > cellHeight) {
            font.setPixelSize(size);
            break;
        }
        ++size;
    }
    return font;
}
