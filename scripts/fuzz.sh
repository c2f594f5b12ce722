#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer) and runs
# one target for a number of seconds, seeded with every small test fixture and with whatever seeds the
# target writes itself (a target that knows valid inputs writes them into $CANVELLO_FUZZ_SEEDS).
# Findings are written to BUILD/findings/TARGET/; keep the ones worth keeping as test fixtures.
#
# Usage: scripts/fuzz.sh [TARGET] [SECONDS] [JOBS] [LIBFUZZER OPTION...]
#        (default: picture_loader 60 1; BUILD=folder picks the build folder, default build-fuzz)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=${1:-picture_loader}
seconds=${2:-60}
jobs=${3:-1}
shift $(($# < 3 ? $# : 3))
build=${BUILD:-$root/build-fuzz}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCANVELLO_FUZZ=ON \
  -DCANVELLO_TESTS=OFF -DCANVELLO_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target "fuzz_$target"
fuzzer=$build/fuzz/fuzz_$target

corpus=$build/corpus/$target
seeds=$build/seeds/$target
findings=$build/findings/$target
mkdir -p "$corpus" "$seeds" "$findings"
# Seeds: the fixtures of every test folder (small files only).
find "$root/tests" -path '*/fixtures/*' -type f -size -64k -exec cp -t "$seeds" {} + 2>/dev/null || true

export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
# The target's own seeds: it starts, writes them and runs no input.
CANVELLO_FUZZ_SEEDS=$seeds "$fuzzer" -runs=0 >/dev/null 2>&1 || true

args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 -artifact_prefix="$findings/")
case $target in
  # Its inputs are small and its thumbnails tiny: any large allocation is a finding.
  picture_db_cache | recent_files_file) args+=(-malloc_limit_mb=128) ;;
esac
if [ "$jobs" -gt 1 ]; then
  args+=(-jobs="$jobs" -workers="$jobs")
fi
args+=("$@")
cd "$findings"
"$fuzzer" "${args[@]}" "$corpus" "$seeds"
