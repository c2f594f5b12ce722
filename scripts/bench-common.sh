# Helpers shared by the benchmark scripts (sourced, not run). The script sets $root (the source tree)
# and $repeat (rounds, at least 5) first; sourcing sets $build to $BUILD or build-bench in the tree.
#
# How the sides are made alike:
# - Every side is one fresh process per run that prints the milliseconds of its own work, timed inside
#   it: Canvello by its benchmark program (--time), libvips, libjpeg and giflib by the small programs
#   in bench/reference (ref_vips, ref_jpeg, ref_gif), which load the input (libvips: and make it
#   resident with vips_image_copy_memory) before their clock starts. No start-up on any side.
# - The sides run interleaved, A B C then C B A, for $rounds rounds (at least five); each side's
#   minimum and median are reported, and the ratios of both.
# - ImageMagick has no such clock: its rows are its wall time less that of a base run in the same
#   round (for operations: read .mpc, -negate to make every pixel resident, to null:; for loads: the
#   same load of a 16 x 16 picture), and the tables say so.
# - Thread counts are set alike on every side: bench_threads sets them (CANVELLO_THREADS included) and
#   thread_note says which.
# - BUILD=folder measures an existing build as it is: no configuring, no building.
# - BENCH_SAMPLES=1 prints every run of every side to stderr, beside the table.
# - Just before its clock starts every side timed inside its process touches and frees
#   $BENCH_WARM_MB MB, so that the memory its work takes was in use a moment ago on every side alike
#   (a virtual machine may hand memory free for a while back to its host: taking it again costs up to
#   5 ms per 2 MB, and would fall on whichever side allocates later after the previous run).
build=${BUILD:-$root/build-bench}
rounds=$(( ${repeat:-5} > 5 ? ${repeat:-5} : 5 ))
# Memory every timed side (ImageMagick aside) touches and frees just before its clock starts; see
# WarmFreshMemory in bench/reference/PixelBuffer.h. Enough for the largest result timed (288 MB).
export BENCH_WARM_MB=${BENCH_WARM_MB:-320}

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
  bench=$build/bench/bench_$1
  refs=$build/bench/reference
  if [ -n "${BUILD:-}" ]; then
    [ -x "$bench" ] || { echo "$bench is not built (BUILD=$BUILD is used as it is)" >&2; exit 1; }
    return 0
  fi
  log=$(mktemp)
  if ! { cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCANVELLO_TESTS=OFF -DCANVELLO_BENCH=ON &&
         cmake --build "$build" -j"$(nproc)" --target "bench_$1" ref_jpeg &&
  { ! grep -q '^VIPS_FOUND:INTERNAL=1' "$build/CMakeCache.txt" || cmake --build "$build" --target ref_vips; } &&
  { [ ! -e /usr/include/gif_lib.h ] || cmake --build "$build" --target ref_gif; }; } >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    exit 1
  fi
  rm -f "$log"
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
  export CANVELLO_THREADS=$canvello_threads
}
thread_note() {
  echo "Threads: $threads on every side (CANVELLO_THREADS=$CANVELLO_THREADS, MAGICK_THREAD_LIMIT=$MAGICK_THREAD_LIMIT, OMP_NUM_THREADS=$OMP_NUM_THREADS, VIPS_CONCURRENCY=$VIPS_CONCURRENCY)${1:+; $1}"
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

# Wall time in milliseconds of one run of a command (its output thrown away).
wall_ms() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e6 }'
}

# The milliseconds of a row that has no clock of its own: the wall time of ROW less that of BASE, run
# one after the other. Usage: wall_less_ms "BASE WORDS" "ROW WORDS" (each eval'd).
wall_less_ms() {
  local b r
  b=$(eval "wall_ms $1")
  r=$(eval "wall_ms $2")
  awk -v a="$r" -v b="$b" 'BEGIN { printf "%.3f", a - b }'
}

# ImageMagick ($im) on PICTURE.mpc: OPERATION... after a negation that makes every pixel resident,
# to OUTPUT (null: when not given), less the same without the operation to null:. One run.
# Usage: magick_op_ms PICTURE.mpc [-o OUTPUT] OPERATION...
magick_op_ms() {
  local picture=$1 output=null: t
  shift
  if [ "${1:-}" = -o ]; then output=$2; shift 2; fi
  t=$(wall_less_ms "$(printf '%q ' "$im" "$picture" -negate null:)" "$(printf '%q ' "$im" "$picture" -negate "$@" "$output")")
  [ "$output" = null: ] || rm -f "${output#*:}"
  echo "$t"
}

# The arguments quoted for eval, as interleave takes its sides.
q() { printf '%q ' "$@"; }

# ImageMagick ($im) loading PICTURE and writing nothing, less the same load of SMALL, one run.
# Usage: magick_load_ms PICTURE SMALL
magick_load_ms() { wall_less_ms "$(q "$im" "$2" null:)" "$(q "$im" "$1" null:)"; }

# Canvello's time for one run inside its benchmark program: "$bench --time ARGUMENTS...", which must
# ask for one run.
cv_ms() { "$bench" --time "$@" 2>/dev/null || { echo "$bench --time $* failed" >&2; return 1; }; }

# The reference programs' time for one run (see bench/reference).
vips_ms() { [ -x "$refs/ref_vips" ] || { echo "ref_vips is not built (libvips-dev)" >&2; return 1; }; "$refs/ref_vips" "$@"; }
jpeg_ms() { "$refs/ref_jpeg" "$@"; }
gif_ms() { [ -x "$refs/ref_gif" ] || { echo "ref_gif is not built (libgif-dev)" >&2; return 1; }; "$refs/ref_gif" "$@"; }

# The minimum and median of the numbers given, with three decimals.
min_median() {
  printf '%s\n' "$@" | sort -g |
    awk '{ v[NR] = $1 } END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.3f %.3f\n", v[1], m }'
}

# Runs each SIDE (a string of shell words, eval'd, printing the milliseconds of one run) once per
# round for $rounds rounds, in the order given in even rounds and backwards in odd ones, so no side
# runs all its rounds first. Sets side_min[i] and side_med[i] for the i-th side, and side_wall[i]
# when it is a wall time less a base. With BENCH_SAMPLES set, every side's samples go to stderr.
# Usage: interleave SIDE...
interleave() {
  local -a sides=("$@") samples=()
  local n=$# r k i t
  for ((r = 0; r < rounds; r++)); do
    for ((k = 0; k < n; k++)); do
      i=$(( r % 2 ? n - 1 - k : k ))
      t=$(eval "${sides[i]}") || { echo "failed: ${sides[i]}" >&2; return 1; }
      samples[i]+="$t "
    done
  done
  side_min=() side_med=() side_wall=()
  for ((i = 0; i < n; i++)); do
    [ -z "${BENCH_SAMPLES:-}" ] || echo "samples of ${sides[i]%% *} ${sides[i]#* }: ${samples[i]}" >&2
    case ${sides[i]} in magick_* | wall_less_ms*) side_wall[i]=1 ;; esac
    # shellcheck disable=SC2086
    read -r "side_min[i]" "side_med[i]" < <(min_median ${samples[i]})
  done
}

# A / B to three significant digits, "-" when B is not a positive time.
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a != "" && b + 0 > 0) printf "%.3g", a / b; else print "-" }'; }

# Whether side I has a time. A wall time less a base comes out at or under zero, or its rounds more
# than 4x apart, when the work is quicker than the base itself varies: such a side was not timed.
# Only the first test applies to a side with its own clock.
side_timed() {
  awk -v m="${side_min[$1]}" -v d="${side_med[$1]}" -v wall="${side_wall[$1]:-}" \
    'BEGIN { exit !(m + 0 > 0 && (wall == "" || d + 0 <= 4 * m)) }'
}

# Side I's cell "min / median", and the cell of side 0 against side I: "min-ratio / median-ratio";
# "below base noise" and no ratio for a side without a time (closing_notes then explains it).
side_cell() { if side_timed "$1"; then echo "${side_min[$1]} / ${side_med[$1]}"; else echo "below base noise"; fi; }
ratio_cell() {
  side_timed "$1" || return 0
  echo "$(ratio "${side_min[0]}" "${side_min[$1]}") / $(ratio "${side_med[0]}" "${side_med[$1]}")"
}

# The notes that end every table: on memory taken before each clock, and on cells "below base
# noise" when a table has one.
closing_notes() {
  echo "memory: every side timed inside its process touched and freed $BENCH_WARM_MB MB just before its clock (BENCH_WARM_MB); sides timed by wall time did not."
  [ -z "${untimed_seen:-}" ] ||
    echo "below base noise: that side's wall time less its base came out at or under 0 ms, or its rounds over 4x apart: the work is quicker than the base varies, so it has no time here."
}

# One table row: LABEL, then for side 0 its cell and for each further side its cell and the ratio of
# side 0 to it. Sides given as "-" were not timed (the script's notes say why).
# Usage: table_row FORMAT LABEL SIDE-INDEX...   (FORMAT: printf's, LABEL then the cells)
table_row() {
  local format=$1 label=$2 i
  shift 2
  local -a cells=()
  for i in "$@"; do
    [ "$i" = - ] || side_timed "$i" || untimed_seen=1
    if [ "$i" = - ]; then cells+=("not timed" "");
    elif [ ${#cells[@]} -eq 0 ]; then cells+=("$(side_cell "$i")");
    else cells+=("$(side_cell "$i")" "$(ratio_cell "$i")"); fi
  done
  # shellcheck disable=SC2059
  printf "$format" "$label" "${cells[@]}"
}

# The rows every side has for the 6000 x 4000 photo ($work/photo.jpg, .ppm, .mpc, .v, small.jpg of
# make_plasma_photo and mapped_copies): Canvello's OPERATION on the JPEG beside the others' decode of
# it, then Canvello's save of SAVE-INPUT beside the others' JPEG saves (quality 90, 4:2:0), into
# $mem. Usage: jpeg_rows FORMAT LOAD-LABEL LOAD-OPERATION SAVE-INPUT
jpeg_rows() {
  local format=$1
  interleave "$(q cv_ms "$3" "$work/photo.jpg" "" 1)" "$(q magick_load_ms "$work/photo.jpg" "$work/small.jpg")" \
    "$(q vips_ms jpegload "$work/photo.jpg")" "$(q jpeg_ms decode "$work/photo.jpg")"
  table_row "$format" "$2" 0 1 2 3
  interleave "$(q cv_ms jpeg-save "$4" "$mem/cv-out.jpg" 1)" \
    "$(q magick_op_ms "$work/photo.mpc" -o "$mem/im-out.jpg" -quality 90 -sampling-factor 2x2)" \
    "$(q vips_ms jpegsave "$work/photo.v" "$mem/vips-out.jpg")" "$(q jpeg_ms encode "$work/photo.ppm" "$mem/jpeg-out.jpg")"
  table_row "$format" "JPEG save (q 90, 4:2:0)" 0 1 2 3
  rm -f "$mem"/*-out.jpg
}
