#include "link/LinePacer.h"

#include "link/LinkWriter.h"

#include <QTimerEvent>

void CLinePacer::Send(QueuedFrame frame) {
    replaced_ += static_cast<std::uint64_t>(queue_.Push(std::move(frame)));
    Pump();
}

void CLinePacer::timerEvent(QTimerEvent* event) {
    if (event->timerId() != resume_.timerId()) {
        QObject::timerEvent(event);
        return;
    }
    resume_.stop();
    Pump();
}

void CLinePacer::Pump() {
    // Whoever hears of a sent frame may send another; it joins the queue and this loop takes it.
    if (pumping_) {
        return;
    }
    pumping_ = true;
    while (!queue_.Empty()) {
        const std::chrono::nanoseconds busy =
            link_ ? link_->LineBusyFor() : std::chrono::nanoseconds::zero();
        if (busy > kLead) {
            // Timers run in whole milliseconds: rounded up, so that the line is not asked early.
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(busy - kLead);
            resume_.start(static_cast<int>(wait.count()), Qt::PreciseTimer, this);
            break;
        }
        const QueuedFrame frame = queue_.Pop();
        if (link_) {
            link_->Write(frame.Bytes());
        }
        if (sent_) {
            sent_(frame);
        }
    }
    pumping_ = false;
}
