#include "link/ReceiveFramer.h"

#include "link/ReceiveQueue.h"
#include "link/ZbProtocol.h"

void CReceiveFramer::Run(ReceiveQueue& queue) {
    for (int n = queue.Count(); n > 0; --n) {
        Feed(queue.TakeOldest());
    }
}

void CReceiveFramer::Feed(std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t b : bytes) {
        Feed(b);
    }
}

void CReceiveFramer::Feed(std::uint8_t b) {
    if (b == kFrameStart) {
        // Whatever frame was in progress is abandoned without notice.
        phase_ = Phase::StartSeen;
        command_ = Command::Invalid;
        expectedLength_ = 0;
        count_ = 0;
        frame_.fill(0);
        Store(b);
        return;
    }
    switch (phase_) {
        case Phase::StartSeen:
            phase_ = Phase::LengthSeen;
            expectedLength_ = b;
            Store(b);
            return;
        case Phase::LengthSeen:
            phase_ = Phase::CollectBody;
            command_ = Command::Reduce(b);
            Store(b);
            return;
        case Phase::CollectBody:
            if (command_ == Command::Invalid) {
                return;  // the rest of an unknown frame is dropped up to the next start byte
            }
            // A length the buffer cannot hold (or one below 4, which never completes) would run
            // past the buffer on a long enough run without 0xFF: give the frame up instead.
            if (count_ == kFrameBufferSize) {
                phase_ = Phase::Hunting;
                return;
            }
            Store(b);
            if (count_ == expectedLength_) {
                phase_ = Phase::Hunting;
                protocol_.DecodeFrame(frame_, command_);
            }
            return;
        case Phase::Hunting:
            return;
    }
}
