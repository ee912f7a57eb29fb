#include "panels/UserStaticAccessible.h"

#include "panels/UserStatic.h"

#include <QAccessibleWidget>
#include <QFontMetrics>

#include <algorithm>
#include <memory>

namespace {

// A value label as assistive technology sees it: named by its owner ("Flash Power value"), with
// the value it shows as its text and its value ("5.6", "OFF").
class UserStaticAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit UserStaticAccessible(CUserStatic* label)
        : QAccessibleWidget(label, QAccessible::StaticText) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) {
            return static_cast<QAccessibleTextInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override {
        const QString value = Label()->text();
        switch (t) {
            case QAccessible::Name: {
                const QString name = Label()->accessibleName();
                return name.isEmpty() ? value : name;
            }
            case QAccessible::Value:
                return value;
            default:
                return QAccessibleWidget::text(t);
        }
    }

    // The text is the value; nothing in it can be selected or edited.
    void selection(int /*selectionIndex*/, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int /*startOffset*/, int /*endOffset*/) override {}
    void removeSelection(int /*selectionIndex*/) override {}
    void setSelection(int /*selectionIndex*/, int /*startOffset*/, int /*endOffset*/) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int /*position*/) override {}
    QString text(int startOffset, int endOffset) const override {
        const QString value = Label()->text();
        startOffset = std::clamp(startOffset, 0, static_cast<int>(value.size()));
        endOffset = std::clamp(endOffset, startOffset, static_cast<int>(value.size()));
        return value.mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return static_cast<int>(Label()->text().size()); }
    QRect characterRect(int offset) const override {
        // Where the centred value puts that character on the screen.
        const QString value = Label()->text();
        const QFontMetrics metrics(Label()->font());
        const QRect area = Label()->contentsRect();
        const int left = area.left() + (area.width() - metrics.horizontalAdvance(value)) / 2;
        const int x = left + metrics.horizontalAdvance(value.left(std::max(0, offset)));
        const int width =
            offset >= 0 && offset < value.size() ? metrics.horizontalAdvance(value.at(offset)) : 0;
        const QRect local(x, area.top() + (area.height() - metrics.height()) / 2, width,
                          metrics.height());
        return QRect(Label()->mapToGlobal(local.topLeft()), local.size());
    }
    int offsetAtPoint(const QPoint& /*point*/) const override { return -1; }
    void scrollToSubstring(int /*startIndex*/, int /*endIndex*/) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = offset;
        return {};
    }

private:
    CUserStatic* Label() const { return static_cast<CUserStatic*>(widget()); }
};

QAccessibleInterface* UserStaticFactory(const QString& /*className*/, QObject* object) {
    if (auto* label = qobject_cast<CUserStatic*>(object)) {
        // Qt's cache of interfaces owns it from here and deletes it with the label.
        return std::make_unique<UserStaticAccessible>(label).release();
    }
    return nullptr;
}

}  // namespace

void InstallUserStaticAccessible() {
    static const bool installed = [] {
        QAccessible::installFactory(&UserStaticFactory);
        return true;
    }();
    (void)installed;
}
