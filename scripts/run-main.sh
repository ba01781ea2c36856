#!/usr/bin/env bash
# Builds Pagewick and runs the main job: Wickstand, the desktop reader, on the bundled help book
# unless a book is given, on the desktop's display (the offscreen platform when there is none).
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
book="${1:-}"
if [ -n "$book" ]; then case "$book" in /*) ;; *) book="$PWD/$book" ;; esac; fi
cd "$top"
bash scripts/setup-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$(nproc)" --target wickstand
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"; fi
exec build/release/desktop/wickstand "${book:-$top/build/release/desktop/Pagewick Help.pawk}"
