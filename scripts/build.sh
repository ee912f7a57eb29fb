#!/usr/bin/env bash
# Configures and builds one build tree. It configures again when the options differ from those of
# the last run here, starting from an empty cache so that an option left out is left out; a tree
# configured by hand is taken as it is the first time.
# Usage: build.sh DIR [--target TARGET]... [cmake options...]
set -euo pipefail
dir=$1
shift
targets=()
while [ $# -gt 0 ] && [ "$1" = "--target" ]; do
    targets+=(--target "$2")
    shift 2
done
root=$(cd "$(dirname "$0")/.." && pwd)
stamp="$root/$dir/.build-options"
options=$(printf '%s\n' "CC=${CC:-}" "CXX=${CXX:-}" "$@")
if [ ! -f "$root/$dir/build.ninja" ] || [ "$(cat "$stamp" 2>/dev/null || echo "$options")" != "$options" ]; then
    # A tree configured by hand (no record of options) keeps what was set there.
    [ -f "$stamp" ] && rm -f "$root/$dir/CMakeCache.txt"
    cmake -S "$root" -B "$root/$dir" -G Ninja "$@" >/dev/null
fi
printf '%s\n' "$options" >"$stamp"
cmake --build "$root/$dir" "${targets[@]}" -- -j"$(nproc)"
