#pragma once

#include "link/SendQueue.h"

#include <QBasicTimer>
#include <QObject>

#include <chrono>
#include <cstdint>
#include <functional>

class CLinkWriter;

// Stands between the protocol and the link: hands the link a frame only when the line has carried
// nearly all it was given before, and keeps the rest in the send queue, where a newer change can
// still replace a waiting one. While the line keeps up, each frame is written at once, inside the
// call that sends it, as if nothing stood here.
//
// User-interface thread only: the link's writes belong to it, and the timer that resumes a waiting
// queue runs in its event loop.
class CLinePacer final : public QObject {
public:
    // How much of the line's work may still be ahead when the next frame is handed over: the
    // timer that resumes the queue runs in whole milliseconds, and this lets it wake before the
    // line falls idle; short against a frame (7.3 ms for a setting frame at 9600 baud), so a new
    // change waits at most about one frame, behind the one on the line.
    static constexpr std::chrono::microseconds kLead{1000};

    // Told of each frame right after it was handed to the link (none: written nowhere, still
    // told), never of a frame that was replaced while it waited.
    using Sent = std::function<void(const QueuedFrame&)>;

    CLinePacer(CLinkWriter* link, Sent sent) : link_(link), sent_(std::move(sent)) {}

    void Send(QueuedFrame frame);

    std::size_t Waiting() const { return queue_.Size(); }
    // Frames replaced while they waited, since the start.
    std::uint64_t Replaced() const { return replaced_; }

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    // Hands over waiting frames while the line has room, then waits for it to have room again.
    void Pump();

    CLinkWriter* link_;  // not owned
    Sent sent_;
    CSendQueue queue_;
    QBasicTimer resume_;
    bool pumping_ = false;
    std::uint64_t replaced_ = 0;
};
