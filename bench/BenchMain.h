#pragma once

#include <benchmark/benchmark.h>

namespace bench {

// The benchmarks' main: Google Benchmark reads its options first, then the application object of
// the kind the benchmarks need lives for the whole run.
template <class Application>
int RunBenchmarks(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    Application app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace bench
