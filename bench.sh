#!/usr/bin/env bash
# Builds in Release and prints one figure per line as "name: value".
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DVELUNOR_BUILD_TESTS=OFF >/dev/null
cmake --build build/bench -j2 >/dev/null
export QT_QPA_PLATFORM=offscreen
for b in build/bench/bench/bench_*; do
    if [ -f "$b" ] && [ -x "$b" ]; then "$b"; fi
done
