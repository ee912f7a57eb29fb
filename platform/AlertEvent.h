#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QString>

// A message box asked for by a thread that must not show one itself. It is posted to a window of
// the user-interface thread, which shows it (OK button only) through the message box service.
class AlertEvent final : public QEvent {
public:
    AlertEvent(QString caption, QString text)
        : QEvent(Type()), caption_(std::move(caption)), text_(std::move(text)) {}

    static QEvent::Type Type() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    const QString& Caption() const { return caption_; }
    const QString& Text() const { return text_; }

private:
    QString caption_;
    QString text_;
};

inline void PostAlert(QObject* receiver, const QString& caption, const QString& text) {
    // Qt takes ownership of a posted event and deletes it once handled.
    QCoreApplication::postEvent(receiver, new AlertEvent(caption, text));
}
