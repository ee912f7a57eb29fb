// How long the program takes from building its main window to showing it, measured inside this
// process with the steps the application object takes at start: the signal quitter, the main frame
// (panes, toolbar, status bar, Option.xml read from its work folder), the title, show(), and then
// the event loop until the window's first expose has been handled. On Qt's widget stack handling
// that expose paints the whole window into its backing store before it returns, so the end point
// is a window drawn in full; the benchmark checks that the frame was painted by then.
//
// Not included: loading the executable and its libraries and building the QApplication (the
// platform plugin), which happen once per process before any of this. The first window a process
// builds also pays for what Qt sets up lazily (fonts, style, icon loading); it is reported on its
// own as cold_us (by the first run of a process only) and kept out of the percentiles, which
// describe the starts after it.

#include "BenchSupport.h"
#include "platform/QuitOnSignal.h"
#include "shell/MainFrame.h"
#include "support/OptionXml.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kGiveUp = std::chrono::milliseconds(5000);
constexpr int kRepetitions = 100;

// Notes the first expose of the frame's window and whether the frame itself was painted. It
// watches the whole application because the native window only exists once show() made it.
class ShownWatch final : public QObject {
public:
    explicit ShownWatch(const QWidget& frame) : frame_(frame) {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~ShownWatch() override { QCoreApplication::instance()->removeEventFilter(this); }
    ShownWatch(const ShownWatch&) = delete;
    ShownWatch& operator=(const ShownWatch&) = delete;

    bool Exposed() const { return exposed_; }
    bool Painted() const { return painted_; }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::Expose && watched == frame_.windowHandle() &&
            frame_.windowHandle()->isExposed()) {
            exposed_ = true;
        } else if (e->type() == QEvent::Paint && watched == &frame_) {
            painted_ = true;
        }
        return false;
    }

private:
    const QWidget& frame_;
    bool exposed_ = false;
    bool painted_ = false;
};

struct StartTimes {
    double construct = 0.0;  // quitter and main frame built
    double shown = 0.0;      // first expose handled, window painted
};

// One start in a fresh scratch folder; empty, or what went wrong. The window is torn down
// afterwards, outside the timed part.
QString StartOnce(StartTimes& times) {
    QTemporaryDir workDir;
    if (!workDir.isValid()) {
        return QStringLiteral("no scratch directory");
    }
    const QDir dir(workDir.path());
    // The option file of an earlier run, as most starts find it. The port does not exist: the
    // first attempt to open it comes half a second after start, long after the window is shown.
    if (!WriteOptionFile(workDir.path(), dir.filePath(QStringLiteral("no-dongle")))) {
        return QStringLiteral("cannot write Option.xml");
    }
    bench::SilentMessageBox messages;
    MainFrameOptions options;
    options.workDir = dir;
    options.messages = &messages;
    QTimer guard;  // only makes sure the wait returns if the window never comes up
    guard.setSingleShot(true);
    guard.start(kGiveUp);

    const Clock::time_point start = Clock::now();
    auto quitter = std::make_unique<CQuitOnSignal>();
    auto frame = std::make_unique<CMainFrame>(options);
    const Clock::time_point constructed = Clock::now();
    ShownWatch watch(*frame);
    frame->setWindowTitle(QStringLiteral("Orvane"));
    frame->show();
    const Clock::time_point deadline = start + kGiveUp;
    while (!watch.Exposed() && Clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    const Clock::time_point shown = Clock::now();

    times.construct = std::chrono::duration<double>(constructed - start).count();
    times.shown = std::chrono::duration<double>(shown - start).count();
    QString error;
    if (!watch.Exposed()) {
        error = QStringLiteral("the main window was never exposed");
    } else if (!frame->isVisible() || !watch.Painted()) {
        error = QStringLiteral("the main window was exposed but not shown and painted");
    } else if (!messages.Shown().isEmpty()) {
        error = QStringLiteral("a message box came up: ") + messages.Shown().first();
    }
    frame.reset();
    quitter.reset();
    // Lets whatever the window left behind (deferred deletes, window-system events) go now, so it
    // does not land in the next start.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    return error;
}

void BM_ConstructToShown(benchmark::State& state) {
    // Only the first window of the process is cold; later runs (--benchmark_repetitions) still
    // start once untimed, so that every run's samples follow the same warm-up.
    static bool coldTaken = false;
    StartTimes times;
    if (const QString error = StartOnce(times); !error.isEmpty()) {
        state.SkipWithError(error.toStdString().c_str());
        return;
    }
    if (!coldTaken) {
        coldTaken = true;
        state.counters["cold_us"] = times.shown * 1e6;
    }
    const auto expected = static_cast<std::size_t>(state.max_iterations);
    bench::Samples shown(expected);
    bench::Samples constructed(expected);
    for (auto _ : state) {
        if (const QString error = StartOnce(times); !error.isEmpty()) {
            state.SkipWithError(error.toStdString().c_str());
            break;
        }
        state.SetIterationTime(times.shown);
        shown.Add(times.shown);
        constructed.Add(times.construct);
    }
    if (state.error_occurred()) {
        return;
    }
    shown.Report(state);
    constructed.Report(state, "construct_");
}
BENCHMARK(BM_ConstructToShown)
    ->UseManualTime()
    ->Iterations(kRepetitions)
    ->Unit(benchmark::kMillisecond);

}  // namespace
