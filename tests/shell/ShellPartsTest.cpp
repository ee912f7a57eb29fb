#include "resources/Images.h"
#include "shell/AboutDlg.h"
#include "shell/StrobeSplitterWnd.h"

#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <vector>

namespace {

const char* const kResourcePaths[] = {
    ":/orvane.svg",
    ":/grip.svg",
    ":/toolbar/load.svg",
    ":/toolbar/save.svg",
    ":/toolbar/scan.svg",
    ":/toolbar/name.svg",
    ":/toolbar/com.svg",
    ":/toolbar/load-disabled.svg",
    ":/toolbar/save-disabled.svg",
    ":/toolbar/scan-disabled.svg",
    ":/toolbar/name-disabled.svg",
    ":/toolbar/com-disabled.svg",
};

QImage ToImage(const QPixmap& pixmap) {
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

bool IsGrey(QRgb pixel) {
    // Antialiased edges leave a rounding step between the channels at most.
    const int r = qRed(pixel);
    const int g = qGreen(pixel);
    const int b = qBlue(pixel);
    return std::max({r, g, b}) - std::min({r, g, b}) <= 2;
}

int CountColouredPixels(const QImage& image) {
    int coloured = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) == 255 && !IsGrey(pixel)) {
                ++coloured;
            }
        }
    }
    return coloured;
}

QImage AlphaMask(const QImage& image) {
    return image.convertToFormat(QImage::Format_Alpha8);
}

// A horizontal splitter 300 x `height` with two panes, shown offscreen, its bar after the first
// 100 pixels, in colours the test can tell apart.
struct ShownSplitter {
    CStrobeSplitterWnd splitter;
    QWidget* left;
    QWidget* right;

    static constexpr QRgb kButton = qRgb(20, 160, 60);
    static constexpr QRgb kWindow = qRgb(250, 240, 200);

    explicit ShownSplitter(int height, QMargins margins = {}) {
        QPalette palette = splitter.palette();
        palette.setColor(QPalette::Button, QColor(kButton));
        palette.setColor(QPalette::Window, QColor(kWindow));
        splitter.setPalette(palette);
        splitter.setContentsMargins(margins);
        left = new QWidget(&splitter);
        right = new QWidget(&splitter);
        splitter.addWidget(left);
        splitter.addWidget(right);
        splitter.resize(300, height);
        splitter.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&splitter));
        splitter.SetColumnWidths(100, 300 - 100 - CStrobeSplitterWnd::kBarWidth);
    }

    QSplitterHandle* Bar() const { return splitter.handle(1); }

    // Presses the bar in its middle, moves the mouse by `dx` and lets go. The points are fixed on
    // the splitter, as a real mouse's are: the bar follows the mouse while it is dragged, so a
    // point taken on the bar would run away with it.
    void DragBar(int dx) {
        QSplitterHandle* bar = Bar();
        const QPoint start = bar->geometry().center();
        const auto onBar = [&](QPoint inSplitter) { return bar->mapFrom(&splitter, inSplitter); };
        QTest::mousePress(bar, Qt::LeftButton, {}, onBar(start));
        // In steps, as a hand moves it; the last one lands on the target.
        for (int step = 1; step <= 4; ++step) {
            QTest::mouseMove(bar, onBar(start + QPoint(dx * step / 4, 0)));
        }
        QTest::mouseRelease(bar, Qt::LeftButton, {}, onBar(start + QPoint(dx, 0)));
    }
};

// Checks the bar in a grab of `shown` pixel by pixel: a frame four pixels wide in the button
// colour, the window colour inside it, and over both the grip with its top left at `gripTopLeft`
// in the splitter.
void ExpectBarWithGripAt(ShownSplitter& shown, QPoint gripTopLeft) {
    constexpr int kFrame = 4;
    const QImage shot = ToImage(shown.splitter.grab());
    const QRect bar = shown.Bar()->geometry();

    QImage expected(bar.size(), QImage::Format_ARGB32);
    for (int y = 0; y < bar.height(); ++y) {
        for (int x = 0; x < bar.width(); ++x) {
            const bool inFrame =
                x < kFrame || y < kFrame || x >= bar.width() - kFrame || y >= bar.height() - kFrame;
            expected.setPixel(x, y, inFrame ? ShownSplitter::kButton : ShownSplitter::kWindow);
        }
    }
    const QImage bare = expected.copy();
    {
        QPainter painter(&expected);
        painter.drawPixmap(gripTopLeft - bar.topLeft(), GripPixmap());
    }
    // The grip must show against the bar, or finding it where it belongs proves nothing.
    int gripPixels = 0;
    for (int y = 0; y < bar.height(); ++y) {
        for (int x = 0; x < bar.width(); ++x) {
            gripPixels += expected.pixel(x, y) != bare.pixel(x, y) ? 1 : 0;
        }
    }
    ASSERT_GT(gripPixels, kGripSize.width() * kGripSize.height() / 2);

    int mismatches = 0;
    for (int y = 0; y < bar.height(); ++y) {
        for (int x = 0; x < bar.width(); ++x) {
            const QRgb seen = shot.pixel(bar.topLeft() + QPoint(x, y));
            if (seen != expected.pixel(x, y) && ++mismatches <= 5) {
                ADD_FAILURE() << "bar pixel (" << x << ", " << y << ") is " << std::hex << seen
                              << ", expected " << expected.pixel(x, y);
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

// Runs the dialog modally and lets `answer` act on it once it is shown.
int RunModal(CAboutDlg& dialog, const std::function<void(CAboutDlg&)>& answer) {
    QTimer::singleShot(0, &dialog, [&] { answer(dialog); });
    return dialog.DoModal();
}

}  // namespace

TEST(Images, EveryImageIsCompiledIntoTheProgram) {
    // Nothing in this test calls into the library's image code first: the images must be there
    // just because the program links orvane_ui.
    for (const char* path : kResourcePaths) {
        EXPECT_TRUE(QFile::exists(QString::fromLatin1(path))) << path;
    }
}

TEST(Images, ToolbarIconsHaveAColouredAndAGreyedDrawingOfTheSameShape) {
    std::vector<QImage> normals;
    for (int index = 0; index < kToolbarImageCount; ++index) {
        SCOPED_TRACE(index);
        const QIcon icon = ToolbarIcon(index);
        ASSERT_FALSE(icon.isNull());
        const QImage normal = ToImage(icon.pixmap(kToolbarImageSize, 1.0, QIcon::Normal));
        const QImage disabled = ToImage(icon.pixmap(kToolbarImageSize, 1.0, QIcon::Disabled));
        ASSERT_EQ(normal.size(), QSize(30, 30));
        ASSERT_EQ(disabled.size(), QSize(30, 30));

        EXPECT_NE(normal, disabled);
        EXPECT_GT(CountColouredPixels(normal), 40);
        EXPECT_EQ(CountColouredPixels(disabled), 0);
        // The greyed drawing is the same drawing: only its colours differ.
        EXPECT_EQ(AlphaMask(normal), AlphaMask(disabled));

        // Truly transparent round the drawing, not a keyed-out background colour.
        for (const QPoint corner : {QPoint(0, 0), QPoint(29, 0), QPoint(0, 29), QPoint(29, 29)}) {
            EXPECT_EQ(qAlpha(normal.pixel(corner)), 0) << corner.x() << "," << corner.y();
            EXPECT_EQ(qAlpha(disabled.pixel(corner)), 0) << corner.x() << "," << corner.y();
        }
        normals.push_back(normal);
    }
    for (size_t a = 0; a < normals.size(); ++a) {
        for (size_t b = a + 1; b < normals.size(); ++b) {
            EXPECT_NE(normals[a], normals[b]) << "buttons " << a << " and " << b << " look alike";
        }
    }
}

TEST(Images, ToolbarIconsAreDrawnSharpForDoubleDensityScreens) {
    const QIcon icon = ToolbarIcon(kToolbarSave);
    const QPixmap twice = icon.pixmap(kToolbarImageSize, 2.0, QIcon::Normal);
    EXPECT_EQ(twice.size(), QSize(60, 60));
    EXPECT_EQ(twice.deviceIndependentSize(), QSizeF(30, 30));
    // Drawn at that size, not the 30-pixel image blown up: blown up, each 2 x 2 block would be
    // one colour.
    const QImage image = ToImage(twice);
    int splitBlocks = 0;
    for (int y = 0; y < 60; y += 2) {
        for (int x = 0; x < 60; x += 2) {
            const QRgb first = image.pixel(x, y);
            if (image.pixel(x + 1, y) != first || image.pixel(x, y + 1) != first ||
                image.pixel(x + 1, y + 1) != first) {
                ++splitBlocks;
            }
        }
    }
    EXPECT_GT(splitBlocks, 20);
}

TEST(Images, ToolbarIconOutsideTheButtonsIsNull) {
    EXPECT_TRUE(ToolbarIcon(-1).isNull());
    EXPECT_TRUE(ToolbarIcon(kToolbarImageCount).isNull());
}

TEST(Images, GripIsANarrowStripInGreys) {
    const QPixmap grip = GripPixmap();
    ASSERT_FALSE(grip.isNull());
    EXPECT_EQ(grip.size(), QSize(5, 66));
    const QImage image = ToImage(grip);
    std::set<QRgb> shades;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            EXPECT_TRUE(IsGrey(pixel)) << x << "," << y;
            shades.insert(pixel);
        }
    }
    // Raised dots need a light and a dark shade besides the strip's own.
    EXPECT_GE(shades.size(), 3U);

    const QPixmap sharp = GripPixmap(2.0);
    EXPECT_EQ(sharp.size(), QSize(10, 132));
    EXPECT_EQ(sharp.deviceIndependentSize(), QSizeF(5, 66));
}

TEST(Images, AppIconIsARoundedTileAtEverySize) {
    const QIcon icon = AppIcon();
    ASSERT_FALSE(icon.isNull());
    for (const int side : {16, 32, 48, 256}) {
        SCOPED_TRACE(side);
        const QImage image = ToImage(icon.pixmap(QSize(side, side), 1.0));
        ASSERT_EQ(image.size(), QSize(side, side));
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(image.pixel(side / 2, side / 2)), 255);
        EXPECT_GT(CountColouredPixels(image), side * side / 2);
    }
}

TEST(StrobeSplitterWnd, BarIsDrawnWithTheGripCentredOnTheSplittersHeight) {
    ShownSplitter even(200);
    ASSERT_EQ(even.Bar()->geometry(), QRect(100, 0, CStrobeSplitterWnd::kBarWidth, 200));
    ASSERT_EQ(CStrobeSplitterWnd::kBarWidth, 7);
    ExpectBarWithGripAt(even, QPoint(101, 67));

    ShownSplitter odd(251);
    ExpectBarWithGripAt(odd, QPoint(101, 92));

    // Resizing the window keeps the grip in the middle.
    odd.splitter.resize(300, 120);
    QCoreApplication::processEvents();
    ExpectBarWithGripAt(odd, QPoint(odd.Bar()->x() + 1, 27));
}

TEST(StrobeSplitterWnd, GripFollowsTheSplitterNotTheBarWhenTheBarStartsLower) {
    // A top margin moves the bar down; the grip stays centred on the whole splitter so that it
    // lines up with the grip of a splitter beside it.
    ShownSplitter shown(200, QMargins(0, 40, 0, 0));
    ASSERT_EQ(shown.Bar()->geometry(), QRect(100, 40, 7, 160));
    ExpectBarWithGripAt(shown, QPoint(101, 67));
}

TEST(StrobeSplitterWnd, WiderBarShowsItsFrameAroundTheGrip) {
    // At its own width the frame covers the whole bar; made wider, the frame's four pixels show
    // with the window's colour inside them and the grip still centred across.
    ShownSplitter shown(200);
    shown.splitter.setHandleWidth(15);
    shown.splitter.SetColumnWidths(100, 185);
    QCoreApplication::processEvents();
    ASSERT_EQ(shown.Bar()->geometry(), QRect(100, 0, 15, 200));
    ExpectBarWithGripAt(shown, QPoint(105, 67));
}

TEST(StrobeSplitterWnd, BarsAreNamedAndPanesFoundByColumn) {
    ShownSplitter shown(200);
    EXPECT_NE(qobject_cast<CStrobeSplitterBar*>(shown.Bar()), nullptr);
    EXPECT_EQ(shown.Bar()->accessibleName(), "Split bar");
    EXPECT_EQ(shown.splitter.orientation(), Qt::Horizontal);
    EXPECT_EQ(shown.splitter.Pane(0), shown.left);
    EXPECT_EQ(shown.splitter.Pane(1), shown.right);
    EXPECT_EQ(shown.splitter.Pane(2), nullptr);
    EXPECT_EQ(shown.splitter.Pane(-1), nullptr);

    shown.splitter.SetColumnWidths(150, 143);
    EXPECT_EQ(shown.splitter.sizes(), QList<int>({150, 143}));
    EXPECT_EQ(shown.right->x(), 157);

    // A column without a pane changes nothing.
    shown.splitter.SetMinimumColumnWidth(2, 500);
    shown.splitter.SetMinimumColumnWidth(-1, 500);
    EXPECT_LT(shown.left->minimumWidth(), 500);
    EXPECT_LT(shown.right->minimumWidth(), 500);
}

TEST(StrobeSplitterWnd, DraggingTheBarMovesItAndStopsAtTheMinimumWidths) {
    ShownSplitter shown(200);
    ASSERT_EQ(shown.splitter.sizes(), QList<int>({100, 193}));

    shown.DragBar(-40);
    EXPECT_EQ(shown.splitter.sizes(), QList<int>({60, 233}));

    shown.splitter.SetMinimumColumnWidth(0, 80);
    EXPECT_EQ(shown.left->minimumWidth(), 80);
    shown.DragBar(30);
    EXPECT_EQ(shown.splitter.sizes(), QList<int>({90, 203}));
    shown.DragBar(-60);
    EXPECT_EQ(shown.splitter.sizes(), QList<int>({80, 213}));

    // On the right the bar stops where the second pane reaches its minimum; it is not folded away.
    shown.splitter.SetMinimumColumnWidth(1, 150);
    shown.DragBar(200);
    EXPECT_EQ(shown.splitter.sizes(), QList<int>({143, 150}));
    EXPECT_TRUE(shown.right->isVisible());
}

TEST(AboutDlg, ShowsTheProgramAndItsVersion) {
    CAboutDlg dialog(nullptr);
    EXPECT_EQ(dialog.windowTitle(), "About Lumora");
    EXPECT_TRUE(dialog.isModal());
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());

    auto* version = dialog.findChild<QLabel*>(QStringLiteral("versionLabel"));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), "Lumora, Version 1.0");
    auto* icon = dialog.findChild<QLabel*>(QStringLiteral("iconLabel"));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->pixmap().size(), QSize(32, 32));
    EXPECT_GT(CountColouredPixels(ToImage(icon->pixmap())), 32 * 32 / 2);

    auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("okButton"));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_TRUE(ok->isDefault());

    // Everything the user can reach, and what it shows, has a name for a screen reader.
    for (const QWidget* child : dialog.findChildren<QWidget*>()) {
        EXPECT_FALSE(child->accessibleName().isEmpty()) << child->metaObject()->className();
    }

    // The text and the button must fit in the fixed size, or part of them is cut off.
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_TRUE(dialog.rect().contains(ok->geometry()));
    EXPECT_TRUE(dialog.rect().contains(version->geometry()));
    EXPECT_LE(version->fontMetrics().horizontalAdvance(version->text()), version->width());
    EXPECT_FALSE(version->geometry().intersects(ok->geometry()));
    dialog.hide();
}

TEST(AboutDlg, OkEnterAndEscapeCloseIt) {
    CAboutDlg clicked(nullptr);
    EXPECT_EQ(RunModal(clicked,
                       [](CAboutDlg& d) {
                           QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("okButton")),
                                             Qt::LeftButton);
                       }),
              CAboutDlg::kIdOk);
    EXPECT_FALSE(clicked.isVisible());

    CAboutDlg entered(nullptr);
    EXPECT_EQ(RunModal(entered, [](CAboutDlg& d) { QTest::keyClick(&d, Qt::Key_Return); }),
              CAboutDlg::kIdOk);
    EXPECT_FALSE(entered.isVisible());

    CAboutDlg escaped(nullptr);
    EXPECT_EQ(RunModal(escaped, [](CAboutDlg& d) { QTest::keyClick(&d, Qt::Key_Escape); }),
              CAboutDlg::kIdCancel);
    EXPECT_FALSE(escaped.isVisible());
}
