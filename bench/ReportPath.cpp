// How long a unit's status report takes from the dongle to the views. The benchmark plays the
// dongle on a pseudo-terminal and talks to a real, shown main window that found the port through
// its own Option.xml: the real reader thread, framer, decoder, event handler, model and message
// routing all run as in the program, and the main thread sleeps in the event dispatcher between
// reports as the program's event loop does.
//
// A sample runs from just before the report is written to the terminal to the moment the pane's
// message reaches the pane (an event filter notes it before the pane handles it). Each cycle
// clears Studio A, then sends two reports for one slot:
//   new_unit    the slot is empty: the unit is created, UnitCreated goes to the main frame, which
//               posts UnitPlaced to the studio list;
//   known_unit  the unit exists: its settings are refreshed, UnitStatusRefreshed goes to the main
//               frame, which posts UnitRefreshed to the navigation view.
// Both run in every cycle, so both kinds see the same history; each benchmark times its own kind.
// After every report the model must hold the unit in that slot with exactly the values sent.
//
// A pseudo-terminal does not pace bytes at the line rate: the 14 bytes a report takes on the wire
// (about 15 ms at 9600 baud) are not part of these figures.

#include "BenchFrame.h"
#include "link/UnitMask.h"
#include "model/StudioModel.h"
#include "platform/WindowMessage.h"
#include "shell/MainFrame.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWarmUpCycles = 50;
constexpr int kSamples = 4000;

enum class Leg { NewUnit, KnownUnit };

// What the report of a given cycle and leg carries. Every field changes from cycle to cycle and
// the two legs of one cycle differ in the power values, so a report that was not applied, or
// applied to the wrong record, shows in the model.
StrobeSettings ReportedSettings(int cycle, Leg leg) {
    const int l = leg == Leg::NewUnit ? 0 : 1;
    StrobeSettings s;
    s.nFlashValue = 11 + (cycle * 7 + l) % 71;
    s.nModelValue = 11 + (cycle * 3 + 5 * l) % 71;
    s.bFlashPow = (cycle + l) & 1;
    s.bFlashCell = (cycle >> 1) & 1;
    s.bFlashSnd = (cycle >> 2) & 1;
    s.nModelMode1 = (cycle >> 3) & 1;
    s.nModelMode2 = (cycle >> 4) & 1;
    s.bModelPow = ((cycle >> 5) & 1) ^ l;
    return s;
}

// Watches the two panes for the message one report should end in. Anything else of those two
// kinds that turns up is counted as a stray: the routing told a view something it should not.
class ArrivalWatch final : public QObject {
public:
    ArrivalWatch(QObject* studioList, QObject* navigation)
        : studioList_(studioList), navigation_(navigation) {
        studioList_->installEventFilter(this);
        navigation_->installEventFilter(this);
    }
    ~ArrivalWatch() override {
        studioList_->removeEventFilter(this);
        navigation_->removeEventFilter(this);
    }
    ArrivalWatch(const ArrivalWatch&) = delete;
    ArrivalWatch& operator=(const ArrivalWatch&) = delete;

    void Arm(Leg leg, int slot) {
        leg_ = leg;
        slot_ = slot;
        seen_ = false;
        unit_ = nullptr;
    }
    bool Seen() const { return seen_; }
    Clock::time_point SeenAt() const { return seenAt_; }
    const StrobeData* Unit() const { return unit_; }
    int Strays() const { return strays_; }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        const WindowMessageEvent* message = AsWindowMessage(e);
        if (!message) {
            return false;
        }
        const bool placed = watched == studioList_ && message->Message() == Msg::UnitPlaced;
        const bool refreshed = watched == navigation_ && message->Message() == Msg::UnitRefreshed;
        if (!placed && !refreshed) {
            return false;
        }
        const Clock::time_point now = Clock::now();
        const bool wanted =
            !seen_ && (leg_ == Leg::NewUnit ? placed : refreshed) && message->WParam() == slot_;
        if (!wanted) {
            ++strays_;
            return false;
        }
        seenAt_ = now;
        seen_ = true;
        unit_ = message->LParamAs<StrobeData>();
        return false;  // the pane still handles it
    }

private:
    QObject* const studioList_;
    QObject* const navigation_;
    Leg leg_ = Leg::NewUnit;
    int slot_ = -1;
    bool seen_ = false;
    Clock::time_point seenAt_;
    const StrobeData* unit_ = nullptr;
    int strays_ = 0;
};

// Sleeps in the event dispatcher until a condition holds or the time is up. Arm() goes before the
// clock starts, so that setting up the guard timer, which only makes sure a wait with nothing
// arriving still returns, is not counted.
class EventWait {
public:
    EventWait() { guard_.setSingleShot(true); }

    void Arm(std::chrono::milliseconds giveUp) {
        giveUp_ = giveUp;
        guard_.start(giveUp);
    }

    // False once the armed time has passed since start without done() holding.
    template <class Done>
    bool Until(Clock::time_point start, Done done) {
        const Clock::time_point deadline = start + giveUp_;
        while (!done()) {
            if (Clock::now() > deadline) {
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        return true;
    }

private:
    QTimer guard_;
    std::chrono::milliseconds giveUp_{0};
};

// The main window attached to a pseudo-terminal, connected, with Studio A selected.
class Rig : public bench::FrameOnTerminal {
public:
    QString SetUp() {
        studio_ = Window().Model().pStudio[0].get();
        studio_->nItemKind = TreeItemTag::StudioLine;
        Window().Model().pSelTag = studio_;
        watch_ =
            std::make_unique<ArrivalWatch>(Window().StudioListPane(), Window().NavigationPane());
        return {};
    }

    // One cycle: Studio A cleared, then a report that creates the unit of the cycle's slot and
    // one that refreshes it. Fills in the latency of each leg; empty, or what went wrong.
    QString Cycle(int cycle, double& newUnitSeconds, double& knownUnitSeconds) {
        Window().Model().ClearStudio(*studio_);
        Pty().Drain();
        const int slot = cycle % kSlotCount;
        for (const Leg leg : {Leg::NewUnit, Leg::KnownUnit}) {
            const StrobeSettings sent = ReportedSettings(cycle, leg);
            const auto report = bench::UnitFrame(slot, sent);
            watch_->Arm(leg, slot);
            wait_.Arm(bench::kSampleGiveUp);
            const Clock::time_point start = Clock::now();
            if (!Pty().Send(report)) {
                return QStringLiteral("writing the report failed");
            }
            if (!wait_.Until(start, [this] { return watch_->Seen(); })) {
                return leg == Leg::NewUnit ? QStringLiteral("UnitPlaced never reached the list")
                                           : QStringLiteral("UnitRefreshed never reached the view");
            }
            const double seconds = std::chrono::duration<double>(watch_->SeenAt() - start).count();
            (leg == Leg::NewUnit ? newUnitSeconds : knownUnitSeconds) = seconds;
            const StrobeData* unit = studio_->Unit(slot);
            if (!unit || studio_->bChUsed[static_cast<std::size_t>(slot)] != 1 ||
                unit->nChNum != slot) {
                return QStringLiteral("the model does not hold the unit of slot %1").arg(slot);
            }
            if (watch_->Unit() != unit) {
                return QStringLiteral("the view was told about another record than the model's");
            }
            if (unit->Settings() != sent) {
                return QStringLiteral("the unit of slot %1 does not hold the values sent")
                    .arg(slot);
            }
        }
        return {};
    }

    // Empty when nothing went astray during the run.
    QString Afterwards() const {
        if (watch_->Strays() != 0) {
            return QStringLiteral("%1 unexpected placed/refreshed messages").arg(watch_->Strays());
        }
        return FrameOnTerminal::Afterwards();
    }

private:
    EventWait wait_;
    StudioData* studio_ = nullptr;
    std::unique_ptr<ArrivalWatch> watch_;
};

void BM_StatusReportToViews(benchmark::State& state, Leg timed) {
    Rig rig;
    bench::Samples samples(static_cast<std::size_t>(state.max_iterations));
    const auto cycle = [&](int n, double& seconds, bool measured) {
        double newUnit = 0.0;
        double knownUnit = 0.0;
        const QString error = rig.Cycle(n, newUnit, knownUnit);
        seconds = timed == Leg::NewUnit ? newUnit : knownUnit;
        if (measured && error.isEmpty()) {
            samples.Add(seconds);
        }
        return error;
    };
    if (bench::RunSampled(state, rig, kWarmUpCycles, cycle)) {
        samples.Report(state);
    }
}
constexpr auto kTimed = &bench::TimedInMicroseconds<kSamples>;
BENCHMARK_CAPTURE(BM_StatusReportToViews, new_unit, Leg::NewUnit)->Apply(kTimed);
BENCHMARK_CAPTURE(BM_StatusReportToViews, known_unit, Leg::KnownUnit)->Apply(kTimed);

}  // namespace
