#!/usr/bin/env bash
# Renders the README's screenshots into docs/screenshots/: the real windows,
# driven through a rehearsal against quillet-sim on Qt's offscreen platform
# (no display needed). Usage: bash scripts/screenshots.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-$root/build/release}

bash scripts/install-deps.sh
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target quillet-screenshots quillet-sim

sim=$(find "$build" -type f -name quillet-sim -perm -u+x -print -quit)
shots=$(find "$build" -type f -name quillet-screenshots -perm -u+x -print -quit)
QT_QPA_PLATFORM=offscreen "$shots" --sim "$sim" --out "$root/docs/screenshots"
