#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: the plain build, the suite again
# under AddressSanitizer and UndefinedBehaviorSanitizer, the link tests under ThreadSanitizer, and
# the fuzz targets for a bounded time. A second run rebuilds only what changed. Every stage runs
# even when one before it failed; the closing line counts the failed tests and stages, and the
# exit code is not 0 when anything failed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/deps.sh || exit 1
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
failed_stages=()

step() { printf '\n== %s ==\n' "$*"; }
run_ctest() { ctest --output-on-failure "$@" 2>&1 | tee -a "$log"; }
# stage NAME COMMAND...: runs one stage; a failure (a build or a test) is counted, not fatal.
stage() {
    local name=$1
    shift
    step "$name"
    "$@" || failed_stages+=("$name")
}

plain() {
    bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
        run_ctest --test-dir build -j"$jobs"
}
sanitizers() {
    bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DORVANE_SANITIZE=address,undefined \
        -DORVANE_BUILD_BENCH=OFF &&
        ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
            run_ctest --test-dir build-asan -j"$jobs"
}
threads() {
    bash scripts/build.sh build-tsan --target test_link -DCMAKE_BUILD_TYPE=Debug \
        -DORVANE_SANITIZE=thread -DORVANE_BUILD_BENCH=OFF &&
        TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
            run_ctest --test-dir build-tsan -L '^test_link$'
}
fuzzing() {
    CC=clang CXX=clang++ bash scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DORVANE_SANITIZE=address,undefined -DORVANE_BUILD_FUZZ=ON -DORVANE_BUILD_TESTS=OFF \
        -DORVANE_BUILD_BENCH=OFF &&
        run_ctest --test-dir build-fuzz -j"$jobs"
}

stage "build and test" plain
stage "address and undefined-behaviour sanitizers" sanitizers
stage "thread sanitizer (link)" threads
stage "fuzzing (bounded)" fuzzing

# One closing line for the whole suite, over every ctest run above and every stage.
names=$(printf '%s, ' "${failed_stages[@]}")
awk -v stages="${#failed_stages[@]}" -v names="${names%, }" '
    /tests passed, [0-9]+ tests failed out of/ { f += $4; n += $NF }
    END {
        # The stages first: the last line stays the plain count that tools read.
        printf "\nstages failed: %d%s\n", stages, (stages > 0 ? " (" names ")" : "")
        printf "suite: %d passed, %d failed\n", n - f, f
        exit (f > 0 || stages > 0)
    }' "$log"
