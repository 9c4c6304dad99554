#!/usr/bin/env bash
# Installs what is missing, builds Velunor (Release) and starts it.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DVELUNOR_BUILD_TESTS=OFF \
    -DVELUNOR_BUILD_BENCH=OFF >/dev/null
cmake --build build/release -j2 --target velunor
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: start Velunor under a display, for example: xvfb-run -a ./run.sh" >&2
    exit 1
fi
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR="/tmp/runtime-$(id -u)"
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
fi
exec build/release/app/velunor "$@"
