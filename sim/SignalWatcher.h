#pragma once

#include <QSocketNotifier>

#include <functional>
#include <memory>

#include "UniqueFd.h"

namespace orvane::sim {

// Turns SIGINT, SIGTERM and SIGHUP into an ordinary event-loop callback, so shutdown runs the
// same destructors as a quit command and the device link is always removed.
class SignalWatcher {
public:
    // Must run before any thread is started: the signals are blocked for the whole process and
    // read from a descriptor instead.
    static bool blockSignals();

    explicit SignalWatcher(std::function<void(int signal)> handler);

    bool valid() const { return fd_.valid(); }

private:
    UniqueFd fd_;
    std::function<void(int)> handler_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace orvane::sim
