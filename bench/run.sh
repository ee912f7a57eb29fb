#!/usr/bin/env bash
# Builds and runs the benchmarks in an optimised build tree of their own (default build-bench; set
# BUILD_DIR to use another). Arguments go to the benchmark program, e.g.
#   bench/run.sh --benchmark_filter=LastByte --benchmark_repetitions=5
# For humans only: the figures depend on the machine and its load, so nothing checks them.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-${repo}/build-bench}"

generator=()
if [[ ! -f "${build}/CMakeCache.txt" ]]; then
    generator=(-G Ninja)
fi
cmake -S "${repo}" -B "${build}" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORVANE_BUILD_BENCH=ON -DORVANE_SANITIZE= >/dev/null
cmake --build "${build}" --target bench_framer
exec "${build}/bench/bench_framer" "$@"
