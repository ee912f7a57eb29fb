#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: the plain build, the suite again
# under AddressSanitizer and UndefinedBehaviorSanitizer, the link tests under ThreadSanitizer, and
# the fuzz targets for a bounded time. A second run rebuilds only what changed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
log=$(mktemp)
trap 'rm -f "$log"' EXIT

step() { printf '\n== %s ==\n' "$*"; }
run_ctest() { ctest --output-on-failure "$@" 2>&1 | tee -a "$log"; }

step "build and test"
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
run_ctest --test-dir build -j"$jobs"

step "address and undefined-behaviour sanitizers"
bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DORVANE_SANITIZE=address,undefined \
    -DORVANE_BUILD_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run_ctest --test-dir build-asan -j"$jobs"

step "thread sanitizer (link)"
bash scripts/build.sh build-tsan --target test_link -DCMAKE_BUILD_TYPE=Debug \
    -DORVANE_SANITIZE=thread -DORVANE_BUILD_BENCH=OFF
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    run_ctest --test-dir build-tsan -L '^test_link$'

step "fuzzing (bounded)"
CC=clang CXX=clang++ bash scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORVANE_SANITIZE=address,undefined -DORVANE_BUILD_FUZZ=ON -DORVANE_BUILD_TESTS=OFF \
    -DORVANE_BUILD_BENCH=OFF
run_ctest --test-dir build-fuzz -j"$jobs"

# One closing line for the whole suite, over every ctest run above.
awk '/tests passed, [0-9]+ tests failed out of/ { f += $4; n += $NF }
     END { printf "\nsuite: %d passed, %d failed\n", n - f, f; exit (f > 0) }' "$log"
