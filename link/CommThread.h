#pragma once

#include "link/LineClock.h"
#include "link/LinkWriter.h"
#include "link/PortSettings.h"
#include "link/ReceiveQueue.h"
#include "platform/PortProblem.h"
#include "platform/SerialDevice.h"

#include <QObject>
#include <QString>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <thread>

// The serial link to the coordinator dongle. The user-interface thread opens, writes synchronously
// and closes; one reader thread per open port, ThreadWatchComm, only drains the driver into the
// receive queue and posts BytesWaiting after each wake-up, then ReaderEnded once when it stops.
// It knows nothing of frames.
class CCommThread final : public CLinkWriter {
public:
    static constexpr int kReadChunk = 2048;
    static constexpr int kWriteMarginMs = 100;

    // notifyWindow receives the reader's messages and alerts; it must outlive this object.
    explicit CCommThread(QObject* notifyWindow);
    ~CCommThread();
    CCommThread(const CCommThread&) = delete;
    CCommThread& operator=(const CCommThread&) = delete;

    // 1 when the port is open, configured and the reader runs; 0 otherwise, with nothing left
    // open. A port still held by a running reader is refused.
    int Open(const PortSettings& settings);
    // Stops the reader (it wakes at once and posts ReaderEnded), purges and closes the port.
    // Returns once the reader thread has ended.
    void Close();
    // Blocks until the driver has taken the bytes or the write time-out passed, and returns how
    // many it took; 0 while closed. A write that runs out of time fails like any other.
    int Write(std::span<const std::uint8_t> bytes) override;
    // How long the line still needs for what was written: by the line rate, or by what the
    // driver still holds when that is more (a real port held back by flow control). Zero while
    // closed.
    std::chrono::nanoseconds LineBusyFor() const override;

    // What the last Open found: the port, why it failed (and who holds it, when another program
    // does) or that it opened. Kept on the user-interface thread, which alone opens.
    const PortReport& LastOpenProblem() const { return lastOpen_; }

    bool IsConnected() const { return connected_.load(std::memory_order_acquire) != 0; }
    const QString& PortPath() const { return portPath_; }
    // Milliseconds per byte a write is given at the open line's rate: 19200 / baud, which is 0
    // above 19200 baud.
    int WriteMsPerByte() const { return writeMsPerByte_; }
    // How long a write of count bytes may block: at least 1 ms per byte, so that a fast line is
    // bounded too, plus a margin for the driver to wake the writer.
    int WriteTimeoutMs(std::size_t count) const {
        const std::size_t ms =
            count * static_cast<std::size_t>(std::max(writeMsPerByte_, 1)) + kWriteMarginMs;
        return static_cast<int>(std::min<std::size_t>(ms, std::numeric_limits<int>::max()));
    }
    // For the receive framer, on the user-interface thread only.
    ReceiveQueue& Queue() { return queue_; }

    static int WriteMsPerByteFor(int baudRate) { return baudRate > 0 ? 19200 / baudRate : 0; }

private:
    void ThreadWatchComm();
    int Read(std::span<std::uint8_t> buffer);
    // Who holds the port an open was just refused as in use, as far as /proc tells.
    std::optional<PortHolder> HolderAfterRefusal() const;
    // Ends the reader (if any) and closes the port; leaves the link closed.
    void StopReaderAndClose();

    QObject* const commNotifyWindow_;
    CSerialDevice device_;
    QString portPath_;
    PortReport lastOpen_;
    int writeMsPerByte_ = 0;
    LineClock lineClock_;  // user-interface thread, as the writes
    std::atomic<int> connected_{0};
    std::atomic<bool> readerRunning_{false};
    // "Buffer full" is told once per open port, so a stalled window cannot flood the user.
    std::atomic<bool> bufferFullTold_{false};
    ReceiveQueue queue_;
    std::thread reader_;
};
