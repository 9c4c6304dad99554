#!/usr/bin/env bash
# Renders both tabs to docs/screenshots/*.png (offscreen, demo store in a temporary folder):
# on a 1366×768 screen as the window first opens and at the minimum size (800×600), each in a
# light and a dark palette, and at 2× scale.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DVELUNOR_BUILD_TESTS=OFF \
    -DVELUNOR_BUILD_BENCH=OFF >/dev/null
cmake --build build/release -j2 --target velunor-screenshots >/dev/null

tool="$PWD/build/release/app/velunor-screenshots"
out="$PWD/docs/screenshots"
config="$(mktemp -d)"
trap 'rm -rf "$config"' EXIT
# One offscreen screen of the given logical size.
screen() {
    printf '{"screens":[{"name":"screen","x":0,"y":0,"width":%d,"height":%d,"logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]}\n' \
        "$1" "$2" >"$config/$1x$2.json"
    echo "offscreen:configfile=$config/$1x$2.json"
}
export LC_ALL=C.UTF-8
QT_QPA_PLATFORM="$(screen 1366 768)" "$tool" "$out"
QT_QPA_PLATFORM="$(screen 1366 768)" "$tool" --dark --suffix -dark "$out"
QT_QPA_PLATFORM="$(screen 800 600)" "$tool" --minimum --suffix -800x600 "$out"
QT_QPA_PLATFORM="$(screen 800 600)" "$tool" --minimum --dark --suffix -800x600-dark "$out"
QT_QPA_PLATFORM="$(screen 2732 1536)" QT_SCALE_FACTOR=2 "$tool" --suffix -2x "$out"
