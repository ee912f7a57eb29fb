#!/usr/bin/env bash
# scripts/build.sh with cmake stood in for: a tree is configured once, again when the options
# change (from an empty cache, so an option left out is left out), and a tree configured by hand
# is taken as it is the first time.
#
# usage: build_sh_check.sh REPOSITORY
set -euo pipefail
source "$(dirname "$0")/../e2e/e2e_lib.sh"
root=$(realpath "$1")
enter_scratch orvane-build-sh

# A copy of the script in a tree of its own, and a cmake that writes down how it was called.
mkdir -p tree/scripts bin
cp "$root/scripts/build.sh" tree/scripts/
cat >bin/cmake <<'SH'
#!/usr/bin/env bash
echo "$*" >>"$CMAKE_CALLS"
if [ "$1" = -S ]; then
    mkdir -p "$4"
    touch "$4/build.ninja"
    [ -f "$4/CMakeCache.txt" ] && echo kept >>"$CMAKE_CALLS"
    echo cache >"$4/CMakeCache.txt"
fi
SH
chmod +x bin/cmake
export PATH="$scratch/bin:$PATH" CMAKE_CALLS="$scratch/calls"
configures() { grep -c -- "^-S" calls || true; }
build() { : >calls; bash tree/scripts/build.sh out "$@"; }

build -DA=1
[ "$(configures)" -eq 1 ] || fail "the first run did not configure: $(cat calls)"
build -DA=1
[ "$(configures)" -eq 0 ] || fail "the same options configured again: $(cat calls)"
build -DA=2
[ "$(configures)" -eq 1 ] || fail "new options did not configure: $(cat calls)"
! grep -q kept calls || fail "new options configured over the old cache"
step "configured once, and again from an empty cache when the options change"

mkdir -p tree/hand && touch tree/hand/build.ninja tree/hand/CMakeCache.txt
: >calls
bash tree/scripts/build.sh hand -DB=1
[ "$(configures)" -eq 0 ] || fail "a tree configured by hand was configured again"
[ -f tree/hand/CMakeCache.txt ] || fail "a tree configured by hand lost its cache"
step "a tree configured by hand is taken as it is"
echo PASS
