#pragma once

#include "platform/AlertEvent.h"
#include "platform/WindowMessage.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <iterator>
#include <ostream>
#include <set>
#include <utility>
#include <vector>

// Writes down the window messages and alerts that reach it, in order of arrival, on the thread
// that runs the event loop. It stands where a window stands (the main frame for the reader thread
// and the event handler), or it watches another object and keeps back what reaches that one, so
// that a test sees a pane's messages without the pane acting on them.
class NotifyRecorder final : public QObject {
public:
    struct Message {
        Msg message;
        std::intptr_t wParam;
        std::intptr_t lParam;

        friend bool operator==(const Message&, const Message&) = default;
        friend void PrintTo(const Message& m, std::ostream* os) {
            *os << "{WM_USER+" << static_cast<int>(m.message) - WM_USER << ", " << m.wParam << ", "
                << m.lParam << "}";
        }
    };
    struct Alert {
        QString caption;
        QString text;
    };

    // Writes down the window messages that reach `watched` and keeps them from it: all of them,
    // or only those in keepBackOnly when it names any.
    void Watch(QObject* watched) { watched->installEventFilter(this); }

    int Count(Msg message) const {
        return static_cast<int>(
            std::count_if(messages.begin(), messages.end(),
                          [&](const Message& m) { return m.message == message; }));
    }

    std::vector<Message> Of(Msg message) const {
        std::vector<Message> found;
        std::copy_if(messages.begin(), messages.end(), std::back_inserter(found),
                     [&](const Message& m) { return m.message == message; });
        return found;
    }

    // Lets what was posted arrive, then hands over everything written down and starts afresh.
    std::vector<Message> Take() {
        QCoreApplication::sendPostedEvents();
        return std::exchange(messages, {});
    }

    std::vector<Message> messages;
    std::vector<Alert> alerts;
    std::set<Msg> keepBackOnly;
    // Called for every window message after it was written down, as the main frame would react.
    std::function<void(const WindowMessageEvent&)> onMessage;

protected:
    bool event(QEvent* e) override {
        if (Record(e)) {
            return true;
        }
        if (e->type() == AlertEvent::Type()) {
            const auto* alert = static_cast<const AlertEvent*>(e);
            alerts.push_back({alert->Caption(), alert->Text()});
            return true;
        }
        return QObject::event(e);
    }

    bool eventFilter(QObject* /*watched*/, QEvent* e) override {
        const WindowMessageEvent* message = AsWindowMessage(e);
        return Record(e) && (keepBackOnly.empty() || keepBackOnly.contains(message->Message()));
    }

private:
    bool Record(const QEvent* e) {
        const WindowMessageEvent* message = AsWindowMessage(e);
        if (!message) {
            return false;
        }
        messages.push_back({message->Message(), message->WParam(), message->LParam()});
        if (onMessage) {
            onMessage(*message);
        }
        return true;
    }
};
