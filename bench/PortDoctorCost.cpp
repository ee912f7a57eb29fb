// What finding out why a port does not open costs the user-interface thread, which does it on
// every reconnect tick while the port stays refused and on every port selected in the Com dialog.
// BM_RetryOnALockedPort is one tick against a port another opener holds locked: the open, the
// refusal and the holder read off /proc/locks. BM_HolderByDescriptors is the walk through every
// process's descriptors that names a holder without a lock; it runs only when an open was refused
// and no lock tells who holds the line, and its cost grows with the processes this user can see
// (the "processes" counter). BM_LookWithoutOpening is the Com dialog's look at one selected port.

#include "BenchSupport.h"
#include "link/CommThread.h"
#include "link/PortSettings.h"
#include "platform/PortCheck.h"

#include <QObject>

#include <benchmark/benchmark.h>

#include <dirent.h>
#include <cctype>

namespace {

int VisibleProcesses() {
    int count = 0;
    if (DIR* proc = ::opendir("/proc")) {
        while (const dirent* entry = ::readdir(proc)) {
            count += std::isdigit(static_cast<unsigned char>(entry->d_name[0])) ? 1 : 0;
        }
        ::closedir(proc);
    }
    return count;
}

void BM_RetryOnALockedPort(benchmark::State& state) {
    bench::PseudoTerminal pty;
    QObject window;
    CCommThread holder(&window);
    CCommThread link(&window);
    PortSettings settings;
    settings.sPortName = pty.SlavePath();
    if (!pty.IsOpen() || holder.Open(settings) != 1) {
        state.SkipWithError("no pseudo-terminal to hold");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(link.Open(settings));
    }
    if (link.LastOpenProblem().problem != PortProblem::InUse || !link.LastOpenProblem().holder) {
        state.SkipWithError("the port was not found held");
    }
}
BENCHMARK(BM_RetryOnALockedPort)->Unit(benchmark::kMicrosecond);

void BM_HolderByDescriptors(benchmark::State& state) {
    bench::PseudoTerminal pty;  // held by this process alone, which the walk leaves out
    for (auto _ : state) {
        benchmark::DoNotOptimize(PortCheck::FindHolder(pty.SlavePath()));
    }
    state.counters["processes"] = VisibleProcesses();
}
BENCHMARK(BM_HolderByDescriptors)->Unit(benchmark::kMicrosecond);

void BM_LookWithoutOpening(benchmark::State& state) {
    bench::PseudoTerminal pty;
    for (auto _ : state) {
        benchmark::DoNotOptimize(PortCheck::Check(pty.SlavePath()));
    }
}
BENCHMARK(BM_LookWithoutOpening)->Unit(benchmark::kMicrosecond);

}  // namespace
