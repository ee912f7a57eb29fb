#include "views/PaneBase.h"

#include <QLabel>
#include <QVBoxLayout>

CPaneBase::CPaneBase(const QString& caption, QWidget* parent)
    : QWidget(parent), caption_(new QLabel(caption, this)) {
    setAccessibleName(caption);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(16);
    font.setWeight(QFont::Black);
    caption_->setFont(font);
    QPalette palette = caption_->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 128));
    caption_->setPalette(palette);
    caption_->setAccessibleName(caption);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption_);
    layout->addStretch();
}

void CPaneBase::Attach(QObject* mainFrame, StudioModel* model) {
    mainFrame_ = mainFrame;
    model_ = model;
}

bool CPaneBase::event(QEvent* e) {
    if (const WindowMessageEvent* message = AsWindowMessage(e)) {
        return OnMessage(*message);
    }
    return QWidget::event(e);
}
