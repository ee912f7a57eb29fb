#!/usr/bin/env bash
# scripts/test.sh with its stages stood in for: every stage runs even when one before it fails,
# the closing line counts the failed tests and names the failed stages, and the exit code is not
# 0 when anything failed. The real stages build and run the whole suite, which this must not.
#
# usage: test_sh_check.sh REPOSITORY
set -euo pipefail
source "$(dirname "$0")/../e2e/e2e_lib.sh"
root=$(realpath "$1")
enter_scratch orvane-test-sh

# stood_in NAME BODY...: test.sh with deps.sh skipped and each stage's function replaced.
stood_in() {
    local out=$1 plain=$2 sanitizers=$3 threads=$4 fuzzing=$5
    sed -e 's|^bash scripts/deps.sh.*|:|' \
        -e "s#^plain() {#plain() { $plain; }\nplain_real() {#" \
        -e "s#^sanitizers() {#sanitizers() { $sanitizers; }\nsanitizers_real() {#" \
        -e "s#^threads() {#threads() { $threads; }\nthreads_real() {#" \
        -e "s#^fuzzing() {#fuzzing() { $fuzzing; }\nfuzzing_real() {#" \
        "$root/scripts/test.sh" >"$out"
}
passed() { echo "echo '100% tests passed, 0 tests failed out of $1' | tee -a \"\$log\""; }
one_failed() { echo "echo '80% tests passed, 1 tests failed out of 5' | tee -a \"\$log\"; return 8"; }

stood_in failing.sh "$(passed 5)" "$(one_failed)" "return 1" "$(passed 2)"
status=0
(cd "$root" && bash "$scratch/failing.sh") >failing.out 2>&1 || status=$?
[ "$status" -ne 0 ] || fail "a failed stage left the exit code 0"
grep -q "^100% tests passed, 0 tests failed out of 2" failing.out || fail "a stage after a failed one did not run"
grep -q "^stages failed: 2 (address and undefined-behaviour sanitizers, thread sanitizer (link))$" failing.out ||
    fail "the failed stages are not named: $(tail -n 2 failing.out)"
[ "$(tail -n 1 failing.out)" = "suite: 11 passed, 1 failed" ] ||
    fail "wrong closing line: $(tail -n 1 failing.out)"
step "failures counted, every stage run"

stood_in passing.sh "$(passed 5)" ":" ":" "$(passed 2)"
(cd "$root" && bash "$scratch/passing.sh") >passing.out 2>&1 || fail "a clean run ended with $?"
grep -q "^stages failed: 0$" passing.out || fail "no count of failed stages: $(tail -n 2 passing.out)"
[ "$(tail -n 1 passing.out)" = "suite: 7 passed, 0 failed" ] ||
    fail "wrong closing line: $(tail -n 1 passing.out)"
step "a clean run ends with 0"
echo PASS
