// How long a received frame takes to reach the event handler. BM_LastByteToHandler measures the
// whole way on the real link: a pseudo-terminal stands in for the dongle, the real reader thread
// drains it into the ring and posts BytesWaiting, and a window object on this thread runs the real
// framer and decoder. BM_RingPushToHandler measures only the part from the last byte entering the
// ring to the handler call (post, event delivery, framing, decoding), with a thread of its own in
// the reader's place; the difference between the two is the driver and the reader's wake-up.
//
// Each is run twice: "spinning" keeps this thread busy polling its event queue, which shows the
// cost of the path itself; "blocking" sleeps in the event dispatcher as the program's event loop
// does, and so adds this thread's own wake-up.

#include "BenchSupport.h"
#include "link/CommThread.h"
#include "link/Frame.h"
#include "link/PortSettings.h"
#include "link/ReceiveFramer.h"
#include "link/ReceiveQueue.h"
#include "link/ZbEventHandler.h"
#include "link/ZbProtocol.h"
#include "platform/AlertEvent.h"
#include "platform/WindowMessage.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QString>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <semaphore>
#include <span>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// A setting report for slot 0: one handler call per frame.
constexpr std::array<std::uint8_t, kSettingLength> kFrame = {0xFF, 0x07, 0x13, 0x00,
                                                             0x01, 0x30, 0x20};
constexpr auto kGiveUp = std::chrono::seconds(1);
constexpr int kWarmUpFrames = 50;
constexpr int kSamples = 20000;
constexpr auto kTimed = &bench::TimedInMicroseconds<kSamples>;

// Notes when the first event after Arm() arrives.
class TimingHandler final : public CZbEventHandler {
public:
    void Arm() { called_ = false; }
    bool Called() const { return called_; }
    Clock::time_point CalledAt() const { return calledAt_; }
    int Unexpected() const { return unexpected_; }

    int OnSettingReport(std::uint8_t, int, int, std::span<const std::uint8_t>) override {
        if (!called_) {
            calledAt_ = Clock::now();
            called_ = true;
        }
        return 1;
    }
    int OnUnitStatus(int, const StrobeData&, int) override { return Other(); }
    int OnStateReport(std::uint8_t, int, std::uint8_t) override { return Other(); }
    int OnMonitorReport(std::uint8_t, int, std::uint8_t) override { return Other(); }

private:
    int Other() {
        ++unexpected_;
        return 1;
    }

    bool called_ = false;
    Clock::time_point calledAt_;
    int unexpected_ = 0;
};

// Stands in for the main frame: frames whatever the reader has queued when it says so.
class NotifyWindow final : public QObject {
public:
    explicit NotifyWindow(CReceiveFramer& framer) : framer_(framer) {}

    void Attach(ReceiveQueue& queue) { queue_ = &queue; }
    const QString& Alert() const { return alert_; }

    bool event(QEvent* e) override {
        if (const WindowMessageEvent* message = AsWindowMessage(e)) {
            if (message->Message() == Msg::BytesWaiting && queue_) {
                framer_.Run(*queue_);
            }
            return true;
        }
        if (e->type() == AlertEvent::Type()) {
            alert_ = static_cast<const AlertEvent*>(e)->Text();
            return true;
        }
        return QObject::event(e);
    }

private:
    CReceiveFramer& framer_;
    ReceiveQueue* queue_ = nullptr;
    QString alert_;
};

enum class Wait { Spinning, Blocking };

// Runs this thread's events until the handler was called. Arm() goes before the clock starts, so
// that the guard timer's setup is not counted.
class HandlerWait {
public:
    HandlerWait(const TimingHandler& handler, Wait wait) : handler_(handler), wait_(wait) {
        guard_.setSingleShot(true);
    }

    void Arm() {
        if (wait_ == Wait::Blocking) {
            // Only makes sure the blocking wait returns if nothing ever arrives.
            guard_.start(std::chrono::duration_cast<std::chrono::milliseconds>(kGiveUp));
        }
    }

    // False once kGiveUp has passed since start without a call.
    bool Until(Clock::time_point start) {
        const auto deadline = start + kGiveUp;
        const auto flags =
            wait_ == Wait::Blocking ? QEventLoop::WaitForMoreEvents : QEventLoop::AllEvents;
        while (!handler_.Called()) {
            QCoreApplication::processEvents(flags);
            if (Clock::now() > deadline) {
                return false;
            }
        }
        return true;
    }

private:
    const TimingHandler& handler_;
    const Wait wait_;
    QTimer guard_;
};

using bench::PseudoTerminal;
using bench::Samples;

void BM_LastByteToHandler(benchmark::State& state, Wait wait) {
    PseudoTerminal pty;
    if (!pty.IsOpen()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    TimingHandler handler;
    CZbProtocol protocol(&handler, nullptr);
    CReceiveFramer framer(protocol);
    NotifyWindow window(framer);
    // The ring alone is 4 KiB; kept off this thread's stack.
    const auto link = std::make_unique<CCommThread>(&window);
    window.Attach(link->Queue());

    PortSettings settings;
    settings.sPortName = pty.SlavePath();
    settings.nBaudRate = 115200;
    if (!link->Open(settings)) {
        state.SkipWithError("the link did not open the pseudo-terminal");
        return;
    }

    // One frame travels the whole path; false if it never arrives.
    HandlerWait waitFor(handler, wait);
    auto roundTrip = [&](Clock::time_point& sent) {
        handler.Arm();
        waitFor.Arm();
        sent = Clock::now();
        return pty.Send(kFrame) && waitFor.Until(sent);
    };
    Clock::time_point sent;
    for (int i = 0; i < kWarmUpFrames; ++i) {
        if (!roundTrip(sent)) {
            state.SkipWithError("a warm-up frame never reached the handler");
            return;
        }
    }

    Samples samples(static_cast<std::size_t>(state.max_iterations));
    for (auto _ : state) {
        if (!roundTrip(sent)) {
            state.SkipWithError("a frame never reached the handler");
            break;
        }
        const double seconds = std::chrono::duration<double>(handler.CalledAt() - sent).count();
        state.SetIterationTime(seconds);
        samples.Add(seconds);
    }
    link->Close();
    QCoreApplication::processEvents();  // whatever the reader posted last

    if (state.error_occurred()) {
        return;
    }
    if (handler.Unexpected() != 0 || !window.Alert().isEmpty()) {
        state.SkipWithError("the link reported something besides the frames written");
        return;
    }
    samples.Report(state);
}
BENCHMARK_CAPTURE(BM_LastByteToHandler, spinning, Wait::Spinning)->Apply(kTimed);
BENCHMARK_CAPTURE(BM_LastByteToHandler, blocking, Wait::Blocking)->Apply(kTimed);

// The reader's part is played by a thread that pushes one frame into the ring when told and posts
// BytesWaiting, as the reader does after each wake-up. Timing starts once the last byte is in.
void BM_RingPushToHandler(benchmark::State& state, Wait wait) {
    TimingHandler handler;
    CZbProtocol protocol(&handler, nullptr);
    CReceiveFramer framer(protocol);
    NotifyWindow window(framer);
    const auto queue = std::make_unique<ReceiveQueue>();
    window.Attach(*queue);

    std::binary_semaphore go(0);
    std::atomic<bool> stop{false};
    std::atomic<bool> pushFailed{false};
    std::atomic<Clock::time_point> pushedAt{};
    std::thread reader([&] {
        for (;;) {
            go.acquire();
            if (stop.load(std::memory_order_acquire)) {
                return;
            }
            if (!queue->Push(kFrame)) {
                pushFailed.store(true, std::memory_order_release);
            }
            pushedAt.store(Clock::now(), std::memory_order_release);
            PostWindowMessage(&window, Msg::BytesWaiting);
        }
    });

    HandlerWait waitFor(handler, wait);
    auto roundTrip = [&] {
        handler.Arm();
        waitFor.Arm();
        go.release();
        return waitFor.Until(Clock::now());
    };
    bool ok = true;
    for (int i = 0; i < kWarmUpFrames && ok; ++i) {
        ok = roundTrip();
    }
    Samples samples(static_cast<std::size_t>(state.max_iterations));
    if (ok) {
        for (auto _ : state) {
            if (!roundTrip()) {
                ok = false;
                break;
            }
            const double seconds =
                std::chrono::duration<double>(handler.CalledAt() -
                                              pushedAt.load(std::memory_order_acquire))
                    .count();
            state.SetIterationTime(seconds);
            samples.Add(seconds);
        }
    }
    stop.store(true, std::memory_order_release);
    go.release();
    reader.join();

    if (!ok || pushFailed.load() || handler.Unexpected() != 0) {
        state.SkipWithError("a frame pushed into the ring never reached the handler intact");
        return;
    }
    samples.Report(state);
}
BENCHMARK_CAPTURE(BM_RingPushToHandler, spinning, Wait::Spinning)->Apply(kTimed);
BENCHMARK_CAPTURE(BM_RingPushToHandler, blocking, Wait::Blocking)->Apply(kTimed);

}  // namespace
