#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

// The images drawn for the program, compiled in from resources.qrc. Each is drawn from its SVG at
// the size it is shown at, so that no scaling blurs the thin lines of the small ones.

// The toolbar's buttons, as ToolbarIcon numbers them.
enum ToolbarButton : int {
    kToolbarLoad,
    kToolbarSave,
    kToolbarScan,
    kToolbarName,
    kToolbarCom,
    kToolbarImageCount,
};

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

// The studio tree's line images, as TreeImage numbers them: the same numbers as the kinds of line.
constexpr int kTreeStudio = 0;     // a folder
constexpr int kTreeUnit = 1;       // a flash head
constexpr int kTreeLightName = 2;  // a burst of light
constexpr int kTreeImageCount = 3;

constexpr QSize kTreeImageSize(16, 16);

// The tree image `index` (kTreeStudio ... kTreeLightName) at 16 x 16, drawn sharp for plain and
// doubled screens. Any other index gives a null icon.
QIcon TreeImage(int index);

// The navigation grid's switch icons, 20 x 20: a green disc for on, a grey one for off, with a
// white pictogram. Items by number: 0 lamp mode 1 (P), 1 lamp mode 2 (C), 2 photo cell (eye), 3
// sound (note), 4 charge (bolt). Any other item gives a null pixmap.
constexpr QSize kGridIconSize(20, 20);
QPixmap GridIcon(int item, bool on);
