#!/usr/bin/env bash
# Configures (once) and builds one build tree.
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
if [ ! -f "$root/$dir/build.ninja" ]; then
    cmake -S "$root" -B "$root/$dir" -G Ninja "$@" >/dev/null
fi
cmake --build "$root/$dir" "${targets[@]}" -- -j"$(nproc)"
