#!/usr/bin/env bash
# Builds Pagewick and runs the main job: for now the command-line tool paginates a book (the
# bundled help book unless one is given) with real font metrics.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
book="${1:-$top/data/help.htm}"
case "$book" in /*) ;; *) book="$PWD/$book" ;; esac
cd "$top"
bash scripts/setup-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$(nproc)" --target pagewick
QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" build/release/cli/pagewick paginate "$book"
