# Helpers shared by the benchmark scripts (sourced, not run). The script sets $root (the source tree)
# and $repeat (runs per timing) first; sourcing sets $build to $BUILD or build-bench in the tree.
#
# How the sides are made alike:
# - Canvello is timed inside its benchmark program (--time), one fresh process per run, the best of
#   $repeat runs: no start-up, no load, and cold like the reference tools, which also start afresh.
# - ImageMagick reads its memory-mapped cache format (.mpc), which maps the file but reads no pixel;
#   so its base is the read with an operation that touches every pixel (-negate) and writes to null:,
#   and every row runs that base and then its operation. Base and row are timed in the same round,
#   once per round; the row's time is its best less the base's best.
# - libvips is timed by its own clock (--vips-progress, "done in"), which leaves out its start-up, from
#   a .v file (mapped, nothing decoded) to a .v file in memory (/dev/shm); the row's time is its best
#   less the best of a plain "vips copy" of the same input to the same place, taken in the same rounds.
# - A command-line tool without such a clock (giflib, libjpeg's tools, vips draw_flood) is timed by
#   its wall time on the big picture less its wall time on a 16 x 16 one, each in every round.
# - Thread counts are set alike on every side: bench_threads sets them and thread_note says which.
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

# Sets $work to a new temporary folder and $mem to one in memory (/dev/shm when it is there) for the
# outputs of libvips, both removed when the script exits.
make_work_dir() {
  work=$(mktemp -d)
  if [ -d /dev/shm ] && [ -w /dev/shm ]; then mem=$(mktemp -d /dev/shm/canvello-bench.XXXXXX); else mem=$work/mem; mkdir -p "$mem"; fi
  trap 'rm -rf "$work" "$mem"' EXIT
}

# The start that every script setting Canvello beside ImageMagick makes: checks each TOOL:PACKAGE
# given (see need_tool), sets $im to ImageMagick's convert, builds bench_TARGET ($bench), makes $work
# and $mem and lifts ImageMagick's caps for the script's runs. Usage: bench_setup TARGET [TOOL:PACKAGE...]
bench_setup() {
  local target=$1 tool
  shift
  for tool in "$@"; do need_tool "${tool%%:*}" "${tool#*:}"; done
  im=$(magick_tool convert)
  build_bench "$target"
  make_work_dir
  lift_magick_limits
}

# The 6000 x 4000 photo-like picture (plasma, fixed seed) as $work/photo.ppm and photo.jpg, and a
# 16 x 16 grey one as small.ppm and small.jpg for taking out start-up and opening; the JPEGs by cjpeg
# at quality 90.
make_plasma_photo() {
  echo "Making the 6000 x 4000 picture (plasma, fixed seed)..."
  "$im" -seed 42 -size 6000x4000 plasma:fractal -depth 8 "$work/photo.ppm"
  cjpeg -quality 90 -outfile "$work/photo.jpg" "$work/photo.ppm"
  "$im" -size 16x16 xc:gray -depth 8 "$work/small.ppm"
  cjpeg -quality 90 -outfile "$work/small.jpg" "$work/small.ppm"
}

# PICTURE as ImageMagick's .mpc and libvips's .v, $work/NAME.mpc and $work/NAME.v (NAME: its file
# name without the extension), which each tool opens without decoding.
mapped_copies() {
  local name
  name=$(basename "${1%.*}")
  "$im" "$1" "$work/$name.mpc"
  vips copy "$1" "$work/$name.v"
}

# Sets the thread count of every side to N: ImageMagick (MAGICK_THREAD_LIMIT, OMP_NUM_THREADS) and
# libvips (VIPS_CONCURRENCY). CANVELLO says how many Canvello uses for the same work, for the note.
bench_threads() {
  threads=$1
  canvello_threads=${2:-$1}
  export MAGICK_THREAD_LIMIT=$threads OMP_NUM_THREADS=$threads VIPS_CONCURRENCY=$threads
}
thread_note() {
  echo "Threads: $threads on every side (Canvello $canvello_threads, MAGICK_THREAD_LIMIT=$MAGICK_THREAD_LIMIT, VIPS_CONCURRENCY=$VIPS_CONCURRENCY)${1:+; $1}"
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

# Wall time in microseconds of one run of a command (its output thrown away).
wall_us() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  echo $(( (end - start) / 1000 ))
}

# The smaller of two numbers (the first when the second is empty).
min_of() { awk -v a="$1" -v b="$2" 'BEGIN { if (b == "" || a + 0 < b + 0) print a; else print b }'; }

# Microseconds as milliseconds with three decimals.
us_to_ms() { awk -v us="$1" 'BEGIN { printf "%.3f", us / 1000 }'; }

# Best wall time in milliseconds of $repeat runs of a command (its output thrown away).
best_ms() {
  local best=
  local i
  for ((i = 0; i < repeat; i++)); do best=$(min_of "$(wall_us "$@")" "$best"); done
  us_to_ms "$best"
}

# A - B in milliseconds with three decimals.
diff_ms() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a - b }'; }

# A / B to four significant digits ("n/a" when either is missing or B is not positive).
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a != "" && a != "n/a" && b != "n/a" && b > 0) printf "%.4g", a / b; else print "n/a" }'; }

# Runs BASE and ROW, given as two strings of shell words (eval'd), once each per round for $repeat
# rounds, each timed by TIMER (a function printing microseconds for one run of its arguments);
# sets $base_ms and $row_ms to their best times and $op_ms to row less base.
paired_ms() {
  local timer=$1 base=$2 row=$3 bb= br=
  local r
  for ((r = 0; r < repeat; r++)); do
    bb=$(min_of "$(eval "$timer $base")" "$bb")
    br=$(min_of "$(eval "$timer $row")" "$br")
  done
  base_ms=$(us_to_ms "$bb")
  row_ms=$(us_to_ms "$br")
  op_ms=$(diff_ms "$row_ms" "$base_ms")
}

# ImageMagick ($im) on a picture in .mpc: the base reads it, negates every pixel (which makes them all
# resident) and writes to null:; the row does the same with OPERATION... after the negation.
# Usage: magick_ms PICTURE.mpc OPERATION...   Sets $op_ms and $base_ms (see paired_ms).
magick_ms() {
  local picture=$1
  shift
  paired_ms wall_us "$(printf '%q ' "$im" "$picture" -negate null:)" \
    "$(printf '%q ' "$im" "$picture" -negate "$@" null:)"
}

# ImageMagick ($im) writing PICTURE.mpc, after the base's negation, to OUTPUT with OPTIONS..., less the
# base that writes to null:; the output is removed. Usage: magick_write_ms PICTURE.mpc OUTPUT [OPTIONS...]
# Echoes the milliseconds.
magick_write_ms() {
  local picture=$1 output=$2
  shift 2
  paired_ms wall_us "$(printf '%q ' "$im" "$picture" -negate null:)" \
    "$(printf '%q ' "$im" "$picture" -negate "$@" "$output")"
  rm -f "${output#*:}"
  echo "$op_ms"
}

# libvips's own time in microseconds for one run of vips with ARGUMENTS: the sum of the "done in"
# times that --vips-progress reports (no start-up, no opening of files).
vips_clock_us() {
  vips --vips-progress "$@" 2>&1 </dev/null | tr '\r' '\n' |
    awk '/done in/ { t = $0; sub(/.*done in /, "", t); sub(/s.*/, "", t); sum += t } END { printf "%d", sum * 1e6 }'
}

# libvips's time for OPERATION on INPUT.v written to a .v in memory, less a plain copy of the same
# input to the same place, both by its own clock in every round.
# Usage: vips_ms INPUT.v OPERATION [ARGUMENTS...]  (the arguments after the output's)
# Sets $op_ms and $base_ms.
vips_ms() {
  local input=$1 op=$2
  shift 2
  paired_ms vips_clock_us "$(printf '%q ' copy "$input" "$mem/copy.v")" \
    "$(printf '%q ' "$op" "$input" "$mem/out.v" "$@")"
  rm -f "$mem/copy.v" "$mem/out.v"
}

# A tool without its own clock: wall time on the big picture less that on the small one, each in
# every round. Usage: big_less_small_ms BIG SMALL COMMAND..., with BIG in the command's arguments
# where the picture's path without extension goes. Sets $op_ms and $base_ms (the small run).
big_less_small_ms() {
  local big=$1 small=$2
  shift 2
  local on_big=("${@//BIG/$big}") on_small=("${@//BIG/$small}")
  paired_ms wall_us "$(printf '%q ' "${on_small[@]}")" "$(printf '%q ' "${on_big[@]}")"
}
reference_ms() { big_less_small_ms "$@"; echo "$op_ms"; }

# Canvello's time inside its benchmark program: "$bench --time ARGUMENTS..." (which must ask for one
# run) in each of $repeat fresh processes, the best of them, in milliseconds.
canvello_ms() {
  local best= t
  local r
  for ((r = 0; r < repeat; r++)); do
    t=$("$bench" --time "$@" 2>/dev/null) || { echo "$bench --time $* failed" >&2; return 1; }
    best=$(min_of "$t" "$best")
  done
  echo "$best"
}

# Old interface, kept until every script has moved to magick_ms: the .mpc read alone (touches no
# pixel) and an operation less that base.
magick_io_ms() { best_ms "$im" "$1" null:; }
magick_op_ms() {
  local base=$1 picture=$2
  shift 2
  diff_ms "$(best_ms "$im" "$picture" "$@" null:)" "$base"
}
