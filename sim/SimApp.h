#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <random>
#include <span>
#include <string_view>

#include "FrameLog.h"
#include "LineReader.h"
#include "PtyPort.h"
#include "SignalWatcher.h"
#include "SimCommand.h"
#include "SimFramer.h"
#include "SimOptions.h"
#include "SimWorld.h"

namespace orvane::sim {

// Joins the dongle's logic to the outside: the pseudo-terminal, the log, standard input and
// signals, and a real timer that drives the world's clock.
class SimApp {
public:
    explicit SimApp(SimOptions options);

    // Opens the log and the device and prints the device path; false (with a reason) if either
    // cannot be set up.
    bool start(std::string& error);

private:
    void frameIn(std::span<const std::uint8_t> frame);
    void garbageIn(std::span<const std::uint8_t> bytes);
    void transmit(const Frame& frame);
    void commandLine(std::string_view line);
    void run(const ConsoleCommand& command);
    void sendGarbage(int count);
    // Brings the world's clock up to real time; called before anything new reaches the world.
    void catchUp();
    void scheduleNextEvent();
    static void say(std::string_view line);

    SimOptions options_;
    FrameLog log_;
    QElapsedTimer clock_;
    SimWorld world_;
    SimFramer framer_;
    PtyPort port_;
    QTimer timer_;
    std::mt19937 garbageRandom_;
    std::unique_ptr<LineReader> commands_;
    std::unique_ptr<SignalWatcher> signals_;
};

}  // namespace orvane::sim
