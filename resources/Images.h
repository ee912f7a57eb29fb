#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

// The images drawn for the program, compiled in from resources.qrc. Each is drawn from its SVG at
// the size it is shown at, so that no scaling blurs the thin lines of the small ones.

// The toolbar's buttons, as ToolbarIcon numbers them.
constexpr int kToolbarLoad = 0;
constexpr int kToolbarSave = 1;
constexpr int kToolbarScan = 2;
constexpr int kToolbarName = 3;
constexpr int kToolbarCom = 4;
constexpr int kToolbarImageCount = 5;

constexpr QSize kToolbarImageSize(30, 30);
constexpr QSize kGripSize(5, 66);

// The toolbar image `index` (kToolbarLoad ... kToolbarCom) at 30 x 30: the coloured drawing for
// QIcon::Normal and its greyed twin for QIcon::Disabled. Any other index gives a null icon.
QIcon ToolbarIcon(int index);

// The grip drawn on a split bar, 5 x 66 in device-independent pixels, drawn sharp for the given
// device pixel ratio.
QPixmap GripPixmap(qreal devicePixelRatio = 1.0);

// The program's icon, for its windows and dialogs.
QIcon AppIcon();
