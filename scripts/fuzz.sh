#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer) in
# build-fuzz and runs one target for a number of seconds, seeded with every test fixture.
# Findings are written to build-fuzz/findings/TARGET/; keep the ones worth keeping as test fixtures.
#
# Usage: scripts/fuzz.sh [TARGET] [SECONDS] [JOBS]      (default: picture_loader 60 1)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=${1:-picture_loader}
seconds=${2:-60}
jobs=${3:-1}
build=$root/build-fuzz

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCANVELLO_FUZZ=ON \
  -DCANVELLO_TESTS=OFF -DCANVELLO_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target "fuzz_$target"

corpus=$build/corpus/$target
seeds=$build/seeds/$target
findings=$build/findings/$target
mkdir -p "$corpus" "$seeds" "$findings"
# Seeds: the fixtures of every test folder (small files only).
find "$root/tests" -path '*/fixtures/*' -type f -size -64k -exec cp -t "$seeds" {} + 2>/dev/null || true

export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 -artifact_prefix="$findings/")
if [ "$jobs" -gt 1 ]; then
  args+=(-jobs="$jobs" -workers="$jobs")
fi
cd "$findings"
"$build/fuzz/fuzz_$target" "${args[@]}" "$corpus" "$seeds"
