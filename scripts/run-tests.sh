#!/usr/bin/env bash
# Builds Pagewick and runs every test: the test programs, the core tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer, and each fuzzer briefly.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
cd "$top"
bash scripts/setup-deps.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

echo "== build and test (release)"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$jobs"
ctest --test-dir build/release -j "$jobs" --output-on-failure | tee build/release-ctest.log
bash scripts/e2e-wickstand.sh build/release
bash scripts/e2e-wickpad.sh build/release

echo "== core tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPAGEWICK_SANITIZE=ON \
    -DPAGEWICK_WITH_QT=OFF -DPAGEWICK_BENCH=OFF >/dev/null
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build/asan -j "$jobs" --output-on-failure | tee build/asan-ctest.log

echo "== the Debian package: validators, lintian, apt install into a fresh Debian 12 root"
bash scripts/check-package.sh build/release

echo "== fuzzers"
bash scripts/run-fuzzers.sh "${PAGEWICK_FUZZ_SECONDS:-20}"

# One closing line for the whole run.
passed=0
failed=0
for log in build/release-ctest.log build/asan-ctest.log; do
    line=$(grep -E 'tests passed, [0-9]+ tests failed out of' "$log" | tail -n 1)
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
