#pragma once

#include "platform/AlertEvent.h"
#include "platform/WindowMessage.h"

#include <QEvent>
#include <QObject>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <ostream>
#include <vector>

// Stands where the main frame stands: receives what the reader thread posts, on the thread that
// runs the event loop, and writes it down in order of arrival.
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

    int Count(Msg message) const {
        return static_cast<int>(
            std::count_if(messages.begin(), messages.end(),
                          [&](const Message& m) { return m.message == message; }));
    }

    std::vector<Message> messages;
    std::vector<Alert> alerts;
    // Called for every window message after it was written down, as the main frame would react.
    std::function<void(const WindowMessageEvent&)> onMessage;

protected:
    bool event(QEvent* e) override {
        if (const WindowMessageEvent* message = AsWindowMessage(e)) {
            messages.push_back({message->Message(), message->WParam(), message->LParam()});
            if (onMessage) {
                onMessage(*message);
            }
            return true;
        }
        if (e->type() == AlertEvent::Type()) {
            const auto* alert = static_cast<const AlertEvent*>(e);
            alerts.push_back({alert->Caption(), alert->Text()});
            return true;
        }
        return QObject::event(e);
    }
};
