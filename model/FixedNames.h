#pragma once

#include <QString>
#include <QStringView>

#include <array>

inline constexpr int kStudioCount = 5;
inline constexpr int kSlotCount = 10;

inline constexpr std::array<QStringView, kStudioCount> kStudioNames = {
    u"Studio A", u"Studio B", u"Studio C", u"Studio D", u"Studio E",
};

inline constexpr std::array<QStringView, kSlotCount> kSlotNames = {
    u"CH-01", u"CH-02", u"CH-03", u"CH-04", u"CH-05",
    u"CH-06", u"CH-07", u"CH-08", u"CH-09", u"CH-10",
};

// A power level is kept in tenths and always shown with one decimal: 55 reads 5.5.
inline QString PowerLevelText(int value) {
    return QString::asprintf("%d.%d", value / 10, value % 10);
}
