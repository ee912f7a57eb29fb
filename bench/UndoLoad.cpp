// How long taking back a setup loaded onto ten units takes to reach the dongle. The benchmark plays
// the dongle on a pseudo-terminal and talks to a real, shown main window that found the port
// through its own Option.xml. The dongle is tuned to Studio A, whose line the tree has selected,
// and ten units there reported themselves as a scan finds them, so the tree and the grid show
// them as in the program. A setup with other settings and light names for all ten is loaded once,
// through the window's own commands.
//
// A sample starts, on a line the link reckons idle, just before the window's undo (what Ctrl+Z
// and the toolbar's Undo call) and gives three figures:
//   returned_  until the undo has returned: it hands the frames to the link and has the panes show
//              the units again;
//   first_     until the last byte of the first 14-byte unit-settings frame has been read on the
//              dongle's end: the link writes it at once;
//   (none)     until the last byte of the tenth has been read. The link holds each further frame
//              back until the line has carried nearly all of the one before, so this figure is
//              mostly the line time of nine frames (about 131 ms at 9600 baud) and says whether
//              the undo keeps the line busy without gaps.
// The line is read on the user-interface thread, turning its event loop, which resumes the link's
// waiting frames. The ten frames must carry the settings the units reported, byte for byte, in
// slot order, and nothing may follow them. Between samples, untimed, a redo loads the setup again
// and its frames are read and checked the same way, so every sample takes back the same load.

#include "BenchFrame.h"
#include "commands/Commands.h"
#include "link/CommThread.h"
#include "link/UnitMask.h"
#include "model/StudioModel.h"
#include "shell/MainFrame.h"

#include <QByteArray>
#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace {

using Clock = std::chrono::steady_clock;

// A sample takes about two line times of ten frames (the undo and the redo), some 0.3 s.
constexpr int kWarmUpSamples = 3;
constexpr int kSamples = 200;
constexpr int kUnits = kSlotCount;  // every slot of the studio holds a unit
constexpr std::size_t kFrameLength = 14;
constexpr std::size_t kLineLength = kUnits * kFrameLength;

using Line = std::array<std::uint8_t, kLineLength>;

// What the unit in a slot reported before the load. Every unit differs from the others and from
// its setup, so a frame for the wrong slot or with the wrong values cannot pass.
StrobeSettings Reported(int slot) {
    return {.nFlashValue = 20 + 5 * slot,
            .bFlashCell = slot % 2,
            .bFlashSnd = (slot / 2) % 2,
            .bFlashPow = 1,
            .nModelValue = 15 + 3 * slot,
            .nModelMode1 = 0,
            .nModelMode2 = slot % 3 == 0 ? 1 : 0,
            .bModelPow = 1};
}

// What the setup gives the unit in a slot.
StrobeSettings Loaded(int slot) {
    return {.nFlashValue = 78 - 4 * slot,
            .bFlashCell = 1 - slot % 2,
            .bFlashSnd = 1 - (slot / 2) % 2,
            .bFlashPow = 1,
            .nModelValue = 70 - 2 * slot,
            .nModelMode1 = 0,
            .nModelMode2 = slot % 3 == 0 ? 0 : 1,
            .bModelPow = slot % 4 == 0 ? 0 : 1};
}

// The frames of all ten units, in slot order.
Line UnitFrames(StrobeSettings (*settingsOf)(int)) {
    Line line{};
    for (int slot = 0; slot < kUnits; ++slot) {
        const auto frame = bench::UnitFrame(slot, settingsOf(slot));
        std::copy(frame.begin(), frame.end(), line.begin() + slot * kFrameLength);
    }
    return line;
}

QString Hex(std::span<const std::uint8_t> bytes) {
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                          static_cast<qsizetype>(bytes.size()))
                                   .toHex(' '));
}

// The main window attached to a pseudo-terminal, connected, tuned to Studio A with ten units
// there, and a setup for all ten loaded once.
class Rig : public bench::FrameOnTerminal {
public:
    // Empty when everything is in place, otherwise what went wrong.
    QString SetUp() {
        StudioModel& model = Window().Model();
        StudioData& studio = *model.Studio(0);
        // Studio A was scanned: the dongle listens to it, and its units report into it.
        model.pScanStudio = &studio;
        if (const CommandResult selected = Window().Commands().Select(studio); !selected) {
            return QStringLiteral("Studio A cannot be selected: ") + selected.reason;
        }
        if (QString error = ReportUnits(studio); !error.isEmpty()) {
            return error;
        }
        for (int slot = 0; slot < kUnits; ++slot) {
            auto unit = std::make_unique<StrobeData>();
            unit->Settings() = Loaded(slot);
            unit->sLightName = QStringLiteral("Light %1").arg(slot + 1);
            setup_.Place(slot, std::move(unit));
        }
        Pty().Drain();
        const CommandResult loaded = Window().Commands().LoadFrom(
            setup_, QStringLiteral("Ten units"), CCommands::Origin::Window);
        if (!loaded) {
            return QStringLiteral("the load was refused: ") + loaded.reason;
        }
        if (QString error = Expect(UnitFrames(Loaded), QStringLiteral("load")); !error.isEmpty()) {
            return error;
        }
        return Window().Commands().History().count() == 1
                   ? QString()
                   : QStringLiteral("the load is not the one step of the history");
    }

    // The latencies of one undo, in seconds.
    struct Latencies {
        double returned = 0.0;
        double firstFrame = 0.0;
        double lastByte = 0.0;
    };

    // One undo and its frames, then the redo that restores the load. Empty, or what went wrong.
    QString Sample(Latencies& latencies) {
        QCoreApplication::processEvents();
        bench::WaitForIdleLine(Window().Link());
        Line got{};
        const Clock::time_point start = Clock::now();
        Window().OnUndo();
        const Clock::time_point returned = Clock::now();
        Arrivals at{returned, returned};
        if (QString error = Read(got, start, at); !error.isEmpty()) {
            return QStringLiteral("undo: ") + error;
        }
        const auto seconds = [start](Clock::time_point t) {
            return std::chrono::duration<double>(t - start).count();
        };
        latencies = {seconds(returned), seconds(at.firstFrame), seconds(at.lastByte)};
        if (QString error = Check(got, UnitFrames(Reported), QStringLiteral("undo"));
            !error.isEmpty()) {
            return error;
        }
        Window().OnRedo();
        return Expect(UnitFrames(Loaded), QStringLiteral("redo"));
    }

private:
    // The dongle reports a unit in every slot, as during a scan, and the window places them in
    // the tuned studio, its tree and its grid.
    QString ReportUnits(const StudioData& studio) {
        for (int slot = 0; slot < kUnits; ++slot) {
            if (!Pty().Send(bench::UnitFrame(slot, Reported(slot)))) {
                return QStringLiteral("the dongle's report of slot %1 was not written").arg(slot);
            }
        }
        const Clock::time_point deadline = Clock::now() + bench::kSampleGiveUp;
        while (studio.nChItemCnt < kUnits || Window().Model().arUnits.size() < kUnits) {
            if (Clock::now() > deadline) {
                return QStringLiteral("%1 units placed, %2 shown in the grid")
                    .arg(studio.nChItemCnt)
                    .arg(Window().Model().arUnits.size());
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        QCoreApplication::processEvents();
        return {};
    }

    struct Arrivals {
        Clock::time_point firstFrame;
        Clock::time_point lastByte;
    };

    // Reads the ten frames, letting the event loop turn so that the link can hand over the frames
    // it holds back; at says when the first frame was complete and when the last byte arrived.
    QString Read(Line& got, Clock::time_point start, Arrivals& at) {
        std::size_t have = 0;
        const Clock::time_point deadline = start + bench::kSampleGiveUp;
        while (have < got.size()) {
            const std::size_t read = Pty().ReadAvailable(std::span(got).subspan(have));
            if (read > 0) {
                const Clock::time_point now = Clock::now();
                if (have < kFrameLength && have + read >= kFrameLength) {
                    at.firstFrame = now;
                }
                have += read;
                at.lastByte = now;
            } else if (Clock::now() > deadline) {
                return QStringLiteral("only %1 of %2 bytes arrived").arg(have).arg(got.size());
            } else {
                QCoreApplication::processEvents();
            }
        }
        return {};
    }

    // The frames are the expected ones, and once the messages the command posted have been
    // handled, as the event loop would, nothing follows them.
    QString Check(const Line& got, const Line& expected, const QString& what) {
        if (got != expected) {
            return QStringLiteral("%1 sent %2, expected %3").arg(what, Hex(got), Hex(expected));
        }
        QCoreApplication::processEvents();
        std::array<std::uint8_t, 64> extra{};
        if (const std::size_t more = Pty().ReadAvailable(extra); more != 0) {
            return QStringLiteral("%1 more bytes followed the frames of the %2")
                .arg(more)
                .arg(what);
        }
        return {};
    }

    QString Expect(const Line& expected, const QString& what) {
        Line got{};
        Arrivals at{};
        if (QString error = Read(got, Clock::now(), at); !error.isEmpty()) {
            return what + QStringLiteral(": ") + error;
        }
        return Check(got, expected, what);
    }

    StudioData setup_;  // the setup as the studio-file box would have read it
};

void BM_UndoLoadToLastByte(benchmark::State& state) {
    Rig rig;
    const auto expected = static_cast<std::size_t>(state.max_iterations);
    bench::Samples returnedSamples(expected);
    bench::Samples firstFrameSamples(expected);
    bench::Samples lastByteSamples(expected);
    const auto sample = [&](int /*n*/, double& lastByte, bool timed) {
        Rig::Latencies latencies;
        const QString error = rig.Sample(latencies);
        lastByte = latencies.lastByte;
        if (timed && error.isEmpty()) {
            returnedSamples.Add(latencies.returned);
            firstFrameSamples.Add(latencies.firstFrame);
            lastByteSamples.Add(latencies.lastByte);
        }
        return error;
    };
    if (bench::RunSampled(state, rig, kWarmUpSamples, sample)) {
        lastByteSamples.Report(state);
        firstFrameSamples.Report(state, "first_");
        returnedSamples.Report(state, "returned_");
    }
}
BENCHMARK(BM_UndoLoadToLastByte)->Apply(&bench::TimedInMicroseconds<kSamples>);

}  // namespace
