#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a few seconds on its seed corpus
# (fuzz/corpus/<target>/ plus the test data files named in fuzz/<target>.seeds).
set -euo pipefail
seconds="${1:-20}"
top="$(cd "$(dirname "$0")/.." && pwd)"
cd "$top"
jobs=$(nproc)
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPAGEWICK_FUZZ=ON -DPAGEWICK_SANITIZE=ON -DPAGEWICK_WITH_QT=OFF -DPAGEWICK_TESTS=OFF \
    -DPAGEWICK_BENCH=OFF >/dev/null
cmake --build build/fuzz -j "$jobs"
shopt -s nullglob
for exe in build/fuzz/fuzz/fuzz_*; do
    [ -x "$exe" ] || continue
    name=$(basename "$exe")
    work="build/fuzz-corpus/$name"
    rm -rf "$work"
    mkdir -p "$work"
    [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$work/"
    # fuzz/<target>.seeds: one glob a line, relative to this repository. Seeds from different
    # folders may share a base name (lzx/*/content.bin), so each copy is named after its path.
    if [ -f "fuzz/$name.seeds" ]; then
        while read -r pattern; do
            [ -n "$pattern" ] || continue
            for f in $pattern; do cp "$f" "$work/${f//\//_}" 2>/dev/null || true; done
        done < "fuzz/$name.seeds"
    fi
    echo "-- $name (${seconds}s)"
    "$exe" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -max_len=262144 \
        -print_final_stats=1 -artifact_prefix="build/fuzz-corpus/$name-" "$work" 2>&1 | tail -n 4
done
