#include "resources/Images.h"

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

namespace {

struct ToolbarImage {
    const char* normal;
    const char* disabled;
};
constexpr ToolbarImage kToolbarImages[kToolbarImageCount] = {
    {":/toolbar/load.svg", ":/toolbar/load-disabled.svg"},
    {":/toolbar/save.svg", ":/toolbar/save-disabled.svg"},
    {":/toolbar/scan.svg", ":/toolbar/scan-disabled.svg"},
    {":/toolbar/name.svg", ":/toolbar/name-disabled.svg"},
    {":/toolbar/com.svg", ":/toolbar/com-disabled.svg"},
};

// Device pixel ratios the toolbar images are drawn for ahead of time: plain and doubled screens.
constexpr qreal kToolbarRatios[] = {1.0, 2.0};

constexpr int kAppIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

constexpr const char* kTreeImages[kTreeImageCount] = {
    ":/tree/studio.svg",
    ":/tree/unit.svg",
    ":/tree/lightname.svg",
};

// Draws the SVG at `path` onto a transparent pixmap of `size` device-independent pixels. A missing
// or unreadable image gives a null pixmap rather than an empty square, so that the fault shows.
QPixmap Render(const char* path, QSize size, qreal devicePixelRatio) {
    QSvgRenderer renderer(QString::fromLatin1(path));
    if (!renderer.isValid()) {
        return {};
    }
    QImage image((QSizeF(size) * devicePixelRatio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        renderer.render(&painter);
    }
    QPixmap pixmap = QPixmap::fromImage(std::move(image));
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

}  // namespace

QIcon ToolbarIcon(int index) {
    if (index < 0 || index >= kToolbarImageCount) {
        return {};
    }
    const ToolbarImage& image = kToolbarImages[index];
    QIcon icon;
    for (const qreal ratio : kToolbarRatios) {
        const QPixmap normal = Render(image.normal, kToolbarImageSize, ratio);
        const QPixmap disabled = Render(image.disabled, kToolbarImageSize, ratio);
        if (normal.isNull() || disabled.isNull()) {
            return {};
        }
        icon.addPixmap(normal, QIcon::Normal);
        icon.addPixmap(disabled, QIcon::Disabled);
    }
    return icon;
}

QPixmap GripPixmap(qreal devicePixelRatio) {
    return Render(":/grip.svg", kGripSize, devicePixelRatio);
}

QIcon AppIcon() {
    QIcon icon;
    for (const int side : kAppIconSizes) {
        const QPixmap pixmap = Render(":/orvane.svg", QSize(side, side), 1.0);
        if (pixmap.isNull()) {
            return {};
        }
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon TreeImage(int index) {
    if (index < 0 || index >= kTreeImageCount) {
        return {};
    }
    QIcon icon;
    // Drawn ahead for plain and doubled screens, as the toolbar images are.
    for (const qreal ratio : kToolbarRatios) {
        const QPixmap pixmap = Render(kTreeImages[index], kTreeImageSize, ratio);
        if (pixmap.isNull()) {
            return {};
        }
        icon.addPixmap(pixmap);
    }
    return icon;
}

QPixmap GridIcon(int item, bool on) {
    static constexpr const char* kNames[] = {"mode1", "mode2", "cell", "sound", "charge"};
    if (item < 0 || item >= static_cast<int>(std::size(kNames))) {
        return {};
    }
    const QByteArray path = QByteArray(":/grid/") + kNames[item] + (on ? "-on.svg" : "-off.svg");
    return Render(path.constData(), kGridIconSize, 1.0);
}
