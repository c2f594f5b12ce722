# Helpers shared by the benchmark scripts (sourced, not run). best_ms reads $repeat.

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

# A / B with two decimals ("n/a" when B is not positive).
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
