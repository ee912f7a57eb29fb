// Changes faster than a 9600-baud line carries them, sent through the protocol and the real serial
// link to the simulated dongle started with --baud 9600, which takes bytes no faster than that
// line. Each iteration is one stream of 150 changes at 200 a second:
//   one_unit      flash power of one unit, a 7-byte setting frame each (7.3 ms of line);
//   ticked_units  flash power of the five ticked units of Studio A, a 23-byte power table each
//                 (24 ms of line), as the group panel sends them.
// The values change as the panels change them (record first, then the send), each pair of powers
// unique within a stream, so every frame on the line can be told apart. Counters:
//   last_value_ms   from just before the last request until the simulator had taken its frame;
//                   mean over the iterations, and the worst (last_value_max_ms);
//   line_busy_pct   the frames taken times their line time, over the time from the first one's
//                   first byte to the last one's last byte;
//   lost_frames     frames handed to the link that the simulator never took;
//   on_line         frames that went out, of the 150 asked for (the rest were replaced waiting).
// "Taken" is when the simulator logged the frame, seen here through inotify on its frame log, so
// the figures include the simulator's own pacing steps and the log's way to this process.
//
// BM_IdleLineChange is the cost of the send queue to a single change on an idle line: the time a
// setting sent through the protocol takes to return, its frame written, against the same frame
// written straight to the link. Both run on a pseudo-terminal at 9600 baud, after the line's
// reckoning of the last frame has run out. BM_IdleLineChangeInProcess and BM_LineBusyFor take the
// queue's part apart from the terminal's: the CPU of a whole send to a link that takes everything
// at once, and the one question the pacer puts to the real link before a frame.

#include "BenchSupport.h"
#include "link/CommThread.h"
#include "link/SendObserver.h"
#include "link/ZbProtocol.h"
#include "model/StudioModel.h"
#include "support/NotifyRecorder.h"
#include "support/SimProcess.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <sys/inotify.h>
#include <unistd.h>
#include <algorithm>
#include <array>
#include <chrono>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kChanges = 150;
constexpr auto kRequestEvery = 5ms;  // 200 a second
constexpr int kTickedSlots = 5;
constexpr double kByteMs = 10.0 * 1000.0 / 9600.0;  // ten bits a byte

// Lines of the simulator's frame log as they appear, each stamped with this process's clock.
class FrameLogTail {
public:
    struct Line {
        Clock::time_point seen;
        std::string text;
    };

    bool Open(const std::filesystem::path& path) {
        path_ = path;
        fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd_ < 0 || ::inotify_add_watch(fd_, path.c_str(), IN_MODIFY) < 0) {
            return false;
        }
        file_.open(path);
        notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { ReadNew(); });
        return file_.is_open();
    }
    ~FrameLogTail() {
        notifier_.reset();
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }

    const std::vector<Line>& Lines() const { return lines_; }

private:
    void ReadNew() {
        std::array<char, 4096> events{};
        while (::read(fd_, events.data(), events.size()) > 0) {
        }
        const Clock::time_point now = Clock::now();
        file_.clear();
        for (std::string text; std::getline(file_, text);) {
            if (file_.eof()) {
                // A line still being written: read it again whole next time.
                partial_ += text;
                break;
            }
            lines_.push_back({now, partial_ + text});
            partial_.clear();
        }
    }

    std::filesystem::path path_;
    int fd_ = -1;
    std::ifstream file_;
    std::string partial_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::vector<Line> lines_;
};

class SentCounter final : public CSendObserver {
public:
    void OnFrameSent(const SentFrame&) override { ++count; }
    int count = 0;
};

enum class Target { OneUnit, TickedUnits };

struct StreamFigures {
    double lastValueMs = 0;
    double busyPercent = 0;
    int lost = 0;
    int onLine = 0;
};

class SimRig {
public:
    // Empty when the simulator runs and the link is open, otherwise what went wrong.
    std::string Start() {
        const auto link = dir_.path() / "dongle";
        const auto log = dir_.path() / "frames.log";
        std::vector<std::string> args = {"--link", link.string(), "--baud",
                                         "9600",   "--log",       log.string()};
        for (int slot = 0; slot < kTickedSlots; ++slot) {
            args.insert(args.end(), {"--unit", "A:" + std::to_string(slot)});
        }
        sim_ = std::make_unique<orvane::sim::test::SimProcess>(args, dir_.path() / "stderr.txt");
        if (!sim_->started() || !sim_->readLine(5s)) {
            return "the simulator did not start";
        }
        if (!tail_.Open(log)) {
            return "cannot follow the simulator's frame log";
        }
        // Drop the simulator's answers as the framer would take them.
        recorder_.onMessage = [this](const WindowMessageEvent& m) {
            if (m.Message() == Msg::BytesWaiting) {
                for (int n = link_.Queue().Count(); n > 0; --n) {
                    link_.Queue().TakeOldest();
                }
            }
        };
        PortSettings settings;
        settings.sPortName = QString::fromStdString(link.string());
        if (link_.Open(settings) != 1) {
            return "the link did not open the simulator's terminal";
        }
        protocol_.SetSendObserver(&sent_);
        StudioData& studio = *model_.pStudio[0];
        model_.pSelTag = &studio;
        for (int slot = 0; slot < kTickedSlots; ++slot) {
            auto unit = std::make_unique<StrobeData>();
            unit->bSelected = 1;
            model_.PlaceUnit(slot, 0, std::move(unit));
        }
        // Tuned to Studio A, as after a scan; its answers come in the other direction.
        protocol_.SendScanRequest(0);
        RunFor(300ms);
        return {};
    }

    StreamFigures Stream(Target target, int round) {
        const std::size_t logStart = tail_.Lines().size();
        const int sentStart = sent_.count;
        // A pair of powers no other change of this run has: flash 11..81, lamp by round and step.
        const auto flashOf = [](int n) { return 11 + n % 71; };
        const auto lampOf = [round](int n) { return 11 + (round * 3 + n / 71) % 71; };
        Clock::time_point lastRequest{};
        int n = 0;
        QTimer requests;
        requests.setTimerType(Qt::PreciseTimer);
        QObject::connect(&requests, &QTimer::timeout, [&] {
            lastRequest = Clock::now();
            Change(target, flashOf(n), lampOf(n));
            if (++n == kChanges) {
                requests.stop();
            }
        });
        requests.start(kRequestEvery);
        const std::string last = Expected(target, flashOf(kChanges - 1), lampOf(kChanges - 1));
        const std::string prefix = Expected(target, -1, -1);
        const auto taken = [&](const std::string& wanted) {
            for (std::size_t i = logStart; i < tail_.Lines().size(); ++i) {
                if (tail_.Lines()[i].text.find(wanted) != std::string::npos) {
                    return true;
                }
            }
            return false;
        };
        // Sleeps until something happens: a request is due, the pacer resumes, the log grows.
        QTimer giveUp;
        giveUp.setSingleShot(true);
        giveUp.start(5s);
        while ((n < kChanges || !taken(last)) && giveUp.isActive()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        RunFor(100ms);  // anything still on its way arrives now

        StreamFigures figures;
        std::optional<Clock::time_point> first;
        Clock::time_point end{};
        for (std::size_t i = logStart; i < tail_.Lines().size(); ++i) {
            const FrameLogTail::Line& line = tail_.Lines()[i];
            if (line.text.find(prefix) == std::string::npos) {
                continue;
            }
            ++figures.onLine;
            first = first.value_or(line.seen);
            end = line.seen;
            if (line.text.find(last) != std::string::npos) {
                figures.lastValueMs =
                    std::chrono::duration<double, std::milli>(line.seen - lastRequest).count();
            }
        }
        const double frameMs = FrameLength(target) * kByteMs;
        const double spanMs =
            first ? std::chrono::duration<double, std::milli>(end - *first).count() + frameMs : 0.0;
        figures.busyPercent = spanMs > 0 ? 100.0 * figures.onLine * frameMs / spanMs : 0.0;
        figures.lost = (sent_.count - sentStart) - figures.onLine;
        return figures;
    }

private:
    static int FrameLength(Target target) {
        return target == Target::OneUnit ? kSettingLength : kPowerTableLength;
    }

    // The logged frame a change makes, as far as slot 0 tells it apart; negative values: only
    // the part every frame of the stream shares.
    static std::string Expected(Target target, int flash, int lamp) {
        std::string text = target == Target::OneUnit ? " in FF 07 13 00 01" : " in FF 17 1E";
        if (flash >= 0) {
            char bytes[8];
            std::snprintf(bytes, sizeof bytes, " %02X %02X", flash, lamp);
            text += bytes;
        }
        return text;
    }

    // What a panel does: the records first, then the frame that carries them.
    void Change(Target target, int flash, int lamp) {
        StudioData& studio = *model_.pStudio[0];
        if (target == Target::OneUnit) {
            StrobeData& unit = *studio.Unit(0);
            unit.nFlashValue = flash;
            unit.nModelValue = lamp;
            protocol_.SendSetting(0, &unit, SettingType::FlashPower);
            return;
        }
        for (int slot = 0; slot < kTickedSlots; ++slot) {
            studio.Unit(slot)->nFlashValue = slot == 0 ? flash : 11 + (flash + slot) % 71;
            studio.Unit(slot)->nModelValue = lamp;
        }
        protocol_.SendPowerTable(SettingType::FlashPowerTable, &studio);
    }

    static void RunFor(std::chrono::milliseconds period) {
        QEventLoop loop;
        QTimer::singleShot(period, &loop, &QEventLoop::quit);
        loop.exec();
    }

    orvane::sim::test::TempDir dir_;
    std::unique_ptr<orvane::sim::test::SimProcess> sim_;
    FrameLogTail tail_;
    NotifyRecorder recorder_;
    StudioModel model_;
    CCommThread link_{&recorder_};
    CZbProtocol protocol_{nullptr, &link_};
    SentCounter sent_;
};

void BM_StreamAt200PerSecond(benchmark::State& state, Target target) {
    SimRig rig;
    if (const std::string error = rig.Start(); !error.empty()) {
        state.SkipWithError(error.c_str());
        for (auto _ : state) {
        }
        return;
    }
    double latency = 0;
    double worst = 0;
    double busy = 0;
    int lost = 0;
    int onLine = 0;
    int round = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const StreamFigures figures = rig.Stream(target, round++);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        latency += figures.lastValueMs;
        worst = std::max(worst, figures.lastValueMs);
        busy += figures.busyPercent;
        lost += figures.lost;
        onLine += figures.onLine;
    }
    const double rounds = std::max(round, 1);
    state.counters["last_value_ms"] = latency / rounds;
    state.counters["last_value_max_ms"] = worst;
    state.counters["line_busy_pct"] = busy / rounds;
    state.counters["lost_frames"] = lost;
    state.counters["on_line"] = onLine / rounds;
}
BENCHMARK_CAPTURE(BM_StreamAt200PerSecond, one_unit, Target::OneUnit)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StreamAt200PerSecond, ticked_units, Target::TickedUnits)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

enum class Road { ThroughTheQueue, StraightToTheLink };

// The two roads alternate, sample by sample, so that the machine's load and the terminal's state
// weigh on both alike; the iteration time is the queue's road.
void BM_IdleLineChange(benchmark::State& state) {
    bench::PseudoTerminal pty;
    NotifyRecorder recorder;
    CCommThread link(&recorder);
    CZbProtocol protocol(nullptr, &link);
    PortSettings settings;
    settings.sPortName = pty.SlavePath();
    if (!pty.IsOpen() || link.Open(settings) != 1) {
        state.SkipWithError("no pseudo-terminal for the link");
        for (auto _ : state) {
        }
        return;
    }
    StrobeData unit;
    unit.nModelValue = 40;
    bench::Samples queued(static_cast<std::size_t>(state.max_iterations));
    bench::Samples straight(static_cast<std::size_t>(state.max_iterations));
    int n = 0;
    // One change on an idle line by the given road: how long until its frame was written.
    const auto change = [&](Road road) {
        // Idle: the line's reckoning of the last frame has run out.
        while (link.LineBusyFor() > std::chrono::nanoseconds::zero()) {
            std::this_thread::sleep_for(1ms);
        }
        unit.nFlashValue = 11 + n++ % 71;
        const std::array<std::uint8_t, kSettingLength> frame = {
            0xFF, 0x07, 0x13, 0x00, 0x01, static_cast<std::uint8_t>(unit.nFlashValue), 40};
        const Clock::time_point start = Clock::now();
        if (road == Road::ThroughTheQueue) {
            protocol.SendSetting(0, &unit, SettingType::FlashPower);
        } else {
            link.Write(frame);
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const bool whole = pty.Drain() == frame.size() && protocol.Pacer().Waiting() == 0;
        return whole ? seconds : -1.0;
    };
    for (auto _ : state) {
        const double viaQueue = change(Road::ThroughTheQueue);
        const double direct = change(Road::StraightToTheLink);
        if (viaQueue < 0 || direct < 0) {
            state.SkipWithError("the frame did not reach the terminal at once");
            break;
        }
        state.SetIterationTime(viaQueue);
        queued.Add(viaQueue);
        straight.Add(direct);
    }
    queued.Report(state, "queue_");
    straight.Report(state, "straight_");
}
BENCHMARK(BM_IdleLineChange)->Apply(&bench::TimedInMicroseconds<500>);

// A whole send through the queue in the process alone, to a link that takes everything at once:
// the frame built, queued, handed over and told of. All of it is an upper bound on what the queue
// adds, without the terminal's own cost and noise.
class IdleWriter final : public CLinkWriter {
public:
    int Write(std::span<const std::uint8_t> bytes) override {
        benchmark::DoNotOptimize(bytes.data());
        return static_cast<int>(bytes.size());
    }
};

void BM_IdleLineChangeInProcess(benchmark::State& state) {
    IdleWriter writer;
    CZbProtocol protocol(nullptr, &writer);
    SentCounter sent;
    protocol.SetSendObserver(&sent);
    StrobeData unit;
    unit.nFlashValue = 50;
    for (auto _ : state) {
        protocol.SendSetting(0, &unit, SettingType::FlashPower);
    }
}
BENCHMARK(BM_IdleLineChangeInProcess);

// What the pacer asks the real link before each frame: the line's clock and the driver's count.
void BM_LineBusyFor(benchmark::State& state) {
    bench::PseudoTerminal pty;
    NotifyRecorder recorder;
    CCommThread link(&recorder);
    PortSettings settings;
    settings.sPortName = pty.SlavePath();
    if (!pty.IsOpen() || link.Open(settings) != 1) {
        state.SkipWithError("no pseudo-terminal for the link");
        for (auto _ : state) {
        }
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(link.LineBusyFor());
    }
}
BENCHMARK(BM_LineBusyFor);

}  // namespace
