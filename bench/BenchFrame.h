#pragma once

// What the benchmarks of the real main window share: the window built in a scratch folder whose
// Option.xml names a pseudo-terminal that plays the dongle, shown and connected; and the run of a
// latency benchmark, warm-up first, one sample per iteration.

#include "BenchSupport.h"
#include "shell/MainFrame.h"
#include "support/OptionXml.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace bench {

// How long one sample of a window benchmark may take before the run gives up on it.
constexpr auto kSampleGiveUp = std::chrono::milliseconds(2000);

// The window part of a benchmark's rig. A rig derives from it, adds what the benchmark sets up in
// the window (SetUp, run once Start has succeeded) and may look for more going astray (Afterwards).
class FrameOnTerminal {
public:
    // Empty when the window is shown and has opened the terminal, otherwise what went wrong.
    QString Start() {
        if (!workDir_.isValid()) {
            return QStringLiteral("no scratch directory");
        }
        if (!pty_.IsOpen()) {
            return QStringLiteral("no pseudo-terminal");
        }
        if (!WriteOptionFile(workDir_.path(), pty_.SlavePath())) {
            return QStringLiteral("cannot write Option.xml");
        }
        MainFrameOptions options;
        options.workDir = QDir(workDir_.path());
        options.messages = &messages_;
        frame_ = std::make_unique<CMainFrame>(options);
        frame_->show();
        // The frame opens the port on its first reconnect tick, half a second after start.
        QElapsedTimer clock;
        clock.start();
        while (!frame_->IsConnected()) {
            if (clock.elapsed() > 5000) {
                return QStringLiteral("the main window never opened ") + pty_.SlavePath();
            }
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        return {};
    }

    CMainFrame& Window() const { return *frame_; }
    PseudoTerminal& Pty() { return pty_; }

    // Empty when no message box came up since the start: a benchmark that was shown one did not
    // measure the path it meant to.
    QString Afterwards() const {
        return messages_.Shown().isEmpty()
                   ? QString()
                   : QStringLiteral("a message box came up: ") + messages_.Shown().first();
    }

private:
    // Declared in this order so the window (and its link) go before the terminal and directory.
    QTemporaryDir workDir_;
    PseudoTerminal pty_;
    SilentMessageBox messages_;
    std::unique_ptr<CMainFrame> frame_;
};

// Starts the rig's window and sets the rig up, takes `warmUp` samples unmeasured, then one per
// iteration, and lets the rig say afterwards whether anything went astray. sample(n, seconds,
// timed) takes the n-th sample, puts its time into seconds and returns what went wrong, or nothing.
// False when the run was skipped.
template <class Rig, class Sample>
bool RunSampled(benchmark::State& state, Rig& rig, int warmUp, Sample sample) {
    const auto skipped = [&state](const QString& error) {
        state.SkipWithError(error.toStdString().c_str());
        return false;
    };
    QString error = rig.Start();
    if (error.isEmpty()) {
        error = rig.SetUp();
    }
    if (!error.isEmpty()) {
        return skipped(error);
    }
    double seconds = 0.0;
    int n = 0;
    for (; n < warmUp; ++n) {
        if (error = sample(n, seconds, false); !error.isEmpty()) {
            return skipped(QStringLiteral("warm-up: ") + error);
        }
    }
    for (auto _ : state) {
        if (error = sample(n++, seconds, true); !error.isEmpty()) {
            skipped(error);
            break;  // the loop must run out once a run is skipped
        }
        state.SetIterationTime(seconds);
    }
    if (state.error_occurred()) {
        return false;
    }
    error = rig.Afterwards();
    return error.isEmpty() || skipped(error);
}

}  // namespace bench
