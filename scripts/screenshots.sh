#!/usr/bin/env bash
# Renders both tabs to docs/screenshots/*.png (offscreen, demo store in a temporary folder).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DVELUNOR_BUILD_TESTS=OFF \
    -DVELUNOR_BUILD_BENCH=OFF >/dev/null
cmake --build build/release -j2 --target velunor-screenshots >/dev/null
QT_QPA_PLATFORM=offscreen build/release/app/velunor-screenshots docs/screenshots
