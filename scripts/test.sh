#!/usr/bin/env bash
# Builds Canvello and runs every test: the headless ones on the offscreen platform, then those that need
# a real display under Xvfb with openbox. With CI=true the whole suite runs a second time in a build with
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build -j"$jobs" --output-on-failure --timeout 300 -LE display
bash scripts/with-display.sh ctest --test-dir build --output-on-failure --timeout 300 -L display
if [ "${CI:-}" = "true" ]; then
  cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCANVELLO_SANITIZE=ON -DCANVELLO_BENCH=OFF >/dev/null
  cmake --build build-asan -j"$jobs"
  ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan -j"$jobs" --output-on-failure --timeout 600 -LE display
  ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    bash scripts/with-display.sh ctest --test-dir build-asan --output-on-failure --timeout 600 -L display
fi
