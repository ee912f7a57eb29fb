#pragma once

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "UniqueFd.h"

namespace orvane::sim {

// The dongle's end of a pseudo-terminal, published under a fixed link path so the program can
// open it like a serial device. Plugging makes a new terminal; unplugging hangs it up.
class PtyPort {
public:
    using Receiver = std::function<void(std::span<const std::uint8_t>)>;

    // baud empty: no pacing. Otherwise bytes leave, and the program's bytes are taken, at baud/10
    // per second (start, 8 data, stop), so that the program feels a busy line as it would on a
    // real one.
    PtyPort(std::string linkPath, std::optional<std::int64_t> baud, Receiver receiver);
    ~PtyPort();
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    bool plug(std::string& error);
    void unplug();
    bool plugged() const { return master_.valid(); }
    const std::string& devicePath() const { return devicePath_; }

    // Returns false when unplugged or when the program has stopped reading for so long that the
    // backlog is full; the bytes are dropped then, as a radio would lose them.
    bool send(std::span<const std::uint8_t> bytes);

private:
    bool publishLink(std::string& error);
    void removeLink();
    void readAvailable();
    void restartReadClockIfIdle();
    // How many of the program's bytes the line has carried by now that are not yet taken.
    std::size_t readAllowance() const;
    void pauseReading();
    void release(std::size_t count);
    void paceTick();
    void startPacing();

    std::string linkPath_;
    std::optional<std::int64_t> baud_;
    Receiver receiver_;
    UniqueFd master_;
    // Held open so the master never sees a hangup when the program closes its side; without it
    // the master reports end-of-file continuously and the notifier would spin.
    UniqueFd slaveGuard_;
    std::string devicePath_;
    std::unique_ptr<QSocketNotifier> readNotifier_;
    std::unique_ptr<QSocketNotifier> writeNotifier_;
    std::unique_ptr<QTimer> resumeTimer_;
    std::unique_ptr<QTimer> paceTimer_;
    QElapsedTimer paceClock_;
    std::int64_t paceReleased_ = 0;
    std::unique_ptr<QTimer> readPaceTimer_;
    QElapsedTimer readClock_;
    std::int64_t readTaken_ = 0;  // bytes taken since readClock_ started
    bool readPaused_ = false;     // bytes were left in the terminal for the line to carry
    std::deque<std::uint8_t> backlog_;
};

}  // namespace orvane::sim
