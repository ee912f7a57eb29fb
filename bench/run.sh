#!/usr/bin/env bash
# Builds and runs the benchmarks in an optimised build tree of their own (default build-bench; set
# BUILD_DIR to use another). Arguments go to every benchmark program, e.g.
#   bench/run.sh --benchmark_filter=LastByte --benchmark_repetitions=5
# A program none of whose benchmarks match the filter says so and runs nothing.
# For humans only: the figures depend on the machine and its load, so nothing checks them.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-${repo}/build-bench}"
programs=(bench_framer bench_report_path bench_startup bench_panel_action bench_undo
          bench_remote_action bench_line_stream)

generator=()
if [[ ! -f "${build}/CMakeCache.txt" ]]; then
    generator=(-G Ninja)
fi
cmake -S "${repo}" -B "${build}" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORVANE_BUILD_BENCH=ON -DORVANE_SANITIZE= >/dev/null
cmake --build "${build}" --target "${programs[@]}"
# The window benchmarks need no display: they pick the offscreen platform themselves unless
# QT_QPA_PLATFORM names another.
for program in "${programs[@]}"; do
    "${build}/bench/${program}" "$@"
done
