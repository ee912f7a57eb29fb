#!/usr/bin/env bash
# Builds the package target of a build tree and checks the .deb it writes: the files a user's
# desktop needs are in it, its programs run from an unpacked copy, its desktop entry and AppStream
# metainfo validate, its Depends were computed, and lintian finds no error.
#
# usage: package_check.sh BUILD_DIR VERSION
set -euo pipefail

source "$(dirname "$0")/../e2e/e2e_lib.sh"

[ $# -eq 2 ] || fail "usage: $0 BUILD_DIR VERSION"
build=$(realpath "$1")
version=$2
for tool in dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli lintian file; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/deps.sh installs it)"
done
scratch=$(mktemp -d "${TMPDIR:-/tmp}/orvane-package.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

deb="$build/orvane_${version}_$(dpkg --print-architecture).deb"
rm -f "$deb"
step "building the package"
cmake --build "$build" --target package >"$scratch/package.log" 2>&1 ||
    { cat "$scratch/package.log" >&2; fail "the package target failed"; }
[ -f "$deb" ] || fail "no $deb after building the package target"

step "file list of $(basename "$deb")"
dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|' >"$scratch/files"
programs=(orvane orvane-dongle-sim orvane-ctl)
wanted=(
    /usr/share/applications/orvane.desktop
    /usr/share/icons/hicolor/scalable/apps/orvane.svg
    /usr/share/metainfo/io.github.orvane.Orvane.metainfo.xml
    /usr/share/doc/orvane/copyright
    /usr/share/doc/orvane/changelog.gz
)
for program in "${programs[@]}"; do
    wanted+=("/usr/bin/$program" "/usr/share/man/man1/$program.1.gz")
done
sizes=(16 22 24 32 48 64 128 256)
for size in "${sizes[@]}"; do
    wanted+=("/usr/share/icons/hicolor/${size}x${size}/apps/orvane.png")
done
for path in "${wanted[@]}"; do
    grep -qx -- "$path" "$scratch/files" || fail "$path is not in the package"
done
echo "${#wanted[@]} files present: ${programs[*]}, their man pages, entry, icons, metainfo, docs"

depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6core6 libqt6widgets6 libqt6serialport6 libqt6network6 libqt6httpserver6 \
    libc6; do
    grep -q "\\b$library\\b" <<<"$depends" || fail "Depends lacks $library: $depends"
done
echo "Depends: $depends"

step "the unpacked copy"
root="$scratch/root"
dpkg-deb -x "$deb" "$root"
# --version needs no display; a copy that tried to open one would fail here.
for program in "${programs[@]}"; do
    answer=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$root/usr/bin/$program" --version) ||
        fail "packaged $program --version failed"
    [ "$answer" = "$program $version" ] || fail "packaged $program --version said '$answer'"
    echo "$answer"
done
for size in "${sizes[@]}"; do
    png="$root/usr/share/icons/hicolor/${size}x${size}/apps/orvane.png"
    file -b "$png" | grep -q "^PNG image data, $size x $size," ||
        fail "the ${size}x$size icon is $(file -b "$png")"
done
desktop="$root/usr/share/applications/orvane.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate found faults in orvane.desktop"
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ -x "$root/usr/bin/${exec_line%% *}" ] || fail "the desktop entry starts '$exec_line', not packaged"
[[ " $exec_line " == *" --user-folder "* ]] || fail "the desktop entry does not start in ~/Orvane"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml ||
    fail "appstreamcli found faults in the metainfo"

step "lintian (errors fail, warnings are listed)"
started=$(date +%s)
lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors"
echo "lintian took $(($(date +%s) - started)) s"
step "passed"
