#include "SimApp.h"

#include <QCoreApplication>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <variant>

namespace orvane::sim {

SimApp::SimApp(SimOptions options)
    : options_(std::move(options)),
      world_(options_.seed),
      framer_([this](std::span<const std::uint8_t> frame) { frameIn(frame); },
              [this](std::span<const std::uint8_t> bytes) { garbageIn(bytes); }),
      port_(options_.linkPath, options_.baud,
            [this](std::span<const std::uint8_t> bytes) {
                catchUp();
                framer_.feed(bytes);
                scheduleNextEvent();
            }),
      // Garbage draws from its own generator so that sending garbage never shifts the answer
      // delays of a seeded run.
      garbageRandom_(options_.seed ^ 0x5EED5EEDu) {
    clock_.start();
    world_.setSink([this](const Frame& frame) { transmit(frame); });
    for (const UnitSetup& unit : options_.units) {
        world_.addUnit(unit.where, unit.state);
    }
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        catchUp();
        scheduleNextEvent();
    });
}

bool SimApp::start(std::string& error) {
    if (!log_.open(options_.logPath, error) || !port_.plug(error)) {
        return false;
    }
    say(port_.devicePath());
    commands_ = std::make_unique<LineReader>(STDIN_FILENO,
                                             [this](std::string_view line) { commandLine(line); });
    signals_ = std::make_unique<SignalWatcher>([](int) { QCoreApplication::exit(0); });
    if (!signals_->valid()) {
        std::fputs("orvane-dongle-sim: cannot watch signals; stop it with 'quit'\n", stderr);
    }
    return true;
}

void SimApp::frameIn(std::span<const std::uint8_t> frame) {
    // Answers are always scheduled, never sent from inside receive(), so this line lands in the
    // log before anything the frame causes.
    const bool understood = world_.receive(frame);
    log_.write(understood ? "in" : "in-garbage", frame);
}

void SimApp::garbageIn(std::span<const std::uint8_t> bytes) {
    log_.write("in-garbage", bytes);
}

void SimApp::transmit(const Frame& frame) {
    const bool sent = port_.send(frame);
    log_.write(sent ? "out" : "out-dropped", frame);
}

void SimApp::commandLine(std::string_view line) {
    const ParsedCommand parsed = parseCommand(line);
    if (const auto* failure = std::get_if<CommandError>(&parsed)) {
        std::fprintf(stderr, "orvane-dongle-sim: %s\n", failure->message.c_str());
        say("error: " + failure->message);
    } else if (const auto* command = std::get_if<ConsoleCommand>(&parsed)) {
        catchUp();
        run(*command);
        scheduleNextEvent();
    }
}

void SimApp::run(const ConsoleCommand& command) {
    std::string error;
    switch (command.kind) {
        case CommandKind::Unplug:
            if (!port_.plugged()) {
                say("error: already unplugged");
                return;
            }
            port_.unplug();
            break;
        case CommandKind::Plug:
            if (!port_.plug(error)) {
                say("error: " + error);
                return;
            }
            say(port_.devicePath());
            break;
        case CommandKind::Add:
            if (!world_.addUnit(command.where)) {
                say("error: that slot already has a head");
                return;
            }
            break;
        case CommandKind::Remove:
            if (!world_.removeUnit(command.where)) {
                say("error: no head in that slot");
                return;
            }
            break;
        case CommandKind::Heat:
            if (!world_.setHeat(command.where, command.value)) {
                say("error: no head in that slot");
                return;
            }
            break;
        case CommandKind::Mute:
        case CommandKind::Unmute:
            if (!world_.setMuted(command.where, command.kind == CommandKind::Mute)) {
                say("error: no head in that slot");
                return;
            }
            break;
        case CommandKind::Garbage:
            if (!port_.plugged()) {
                say("error: unplugged");
                return;
            }
            sendGarbage(command.value);
            break;
        case CommandKind::Quit:
            say("ok");
            QCoreApplication::exit(0);
            return;
    }
    say("ok");
}

void SimApp::sendGarbage(int count) {
    // Never the start byte: the point is noise the program must skip, not phantom frames.
    std::uniform_int_distribution<int> byteValue(0, kStartByte - 1);
    Frame bytes(static_cast<std::size_t>(count));
    std::ranges::generate(bytes,
                          [&] { return static_cast<std::uint8_t>(byteValue(garbageRandom_)); });
    const bool sent = port_.send(bytes);
    log_.write(sent ? "out-garbage" : "out-dropped", bytes);
}

void SimApp::catchUp() {
    world_.advanceTo(clock_.elapsed());
}

void SimApp::scheduleNextEvent() {
    const std::optional<std::int64_t> due = world_.nextDueMs();
    if (!due) {
        timer_.stop();
        return;
    }
    const std::int64_t wait = std::max<std::int64_t>(0, *due - clock_.elapsed());
    timer_.start(static_cast<int>(std::min<std::int64_t>(wait, 60'000)));
}

void SimApp::say(std::string_view line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace orvane::sim
