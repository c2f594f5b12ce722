# Helpers shared by the benchmark scripts (sourced, not run). The script sets $root (the source tree)
# and $repeat (runs per timing) first; sourcing sets $build to $BUILD or build-bench in the tree.
build=${BUILD:-$root/build-bench}

# Exits with a message unless TOOL is on the path; PACKAGE is the Debian package that has it.
need_tool() {
  command -v "$1" >/dev/null || { echo "$1 is missing (apt-get install $2)" >&2; exit 1; }
}

# The path of an ImageMagick program (convert, compare...) itself, not a wrapper in front of it.
# Use as im=$(magick_tool convert): under set -e a missing program ends the script.
magick_tool() {
  command -v "$1-im6.q16" || command -v "$1" || { echo "ImageMagick's $1 is missing" >&2; return 1; }
}

# Configures $build for the benchmarks (Release) and builds bench_TARGET, showing the build's output
# only when it fails; sets $bench to the program.
build_bench() {
  local log
  log=$(mktemp)
  if ! { cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCANVELLO_TESTS=OFF -DCANVELLO_BENCH=ON &&
         cmake --build "$build" -j"$(nproc)" --target "bench_$1"; } >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    exit 1
  fi
  rm -f "$log"
  bench=$build/bench/bench_$1
}

# Sets $work to a new temporary folder, removed when the script exits.
make_work_dir() {
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
}

# The system policy caps ImageMagick's pixel cache far below the pictures benchmarked (up to
# 12000 x 8000); a policy of our own in $work, found first through MAGICK_CONFIGURE_PATH, lifts the
# caps for this script's runs only.
lift_magick_limits() {
  cat >"$work/policy.xml" <<'POLICY'
<policymap>
  <policy domain="resource" name="memory" value="8GiB"/>
  <policy domain="resource" name="map" value="8GiB"/>
  <policy domain="resource" name="disk" value="16GiB"/>
  <policy domain="resource" name="area" value="4GP"/>
  <policy domain="resource" name="width" value="64KP"/>
  <policy domain="resource" name="height" value="64KP"/>
</policymap>
POLICY
  export MAGICK_CONFIGURE_PATH=$work
}

# Best wall time in milliseconds of $repeat runs of a command (its output thrown away).
best_ms() {
  local best=
  for ((i = 0; i < repeat; i++)); do
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    local t=$(( (end - start) / 1000 ))
    if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
  done
  awk -v us="$best" 'BEGIN { printf "%.1f", us / 1000 }'
}

# A - B in milliseconds with one decimal.
diff_ms() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a - b }'; }

# A / B with two decimals ("n/a" when B is not positive).
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }

# A reference tool's time without its start-up: the best wall time of a command on the big picture
# less the same on a small one. Usage: reference_ms BIG SMALL COMMAND..., with BIG in the command's
# arguments where the picture's path without extension goes.
reference_ms() {
  local big=$1 small=$2
  shift 2
  diff_ms "$(best_ms "${@//BIG/$big}")" "$(best_ms "${@//BIG/$small}")"
}

# ImageMagick ($im) reading a picture from its memory-mapped cache format (.mpc) and writing it to
# null:, the base that magick_op_ms takes out.
magick_io_ms() { best_ms "$im" "$1" null:; }

# ImageMagick's time for an operation on a picture, its read and write taken out.
# Usage: magick_op_ms BASE PICTURE.mpc OPERATION...
magick_op_ms() {
  local base=$1 picture=$2
  shift 2
  diff_ms "$(best_ms "$im" "$picture" "$@" null:)" "$base"
}

# Canvello's time inside a benchmark program taking "--time OP INPUT [OUTPUT] [REPEAT]".
canvello_ms() { "$bench" --time "$1" "$2" "${3:-}" "$repeat"; }
