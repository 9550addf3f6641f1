#!/usr/bin/env bash
# The filter at the module's pace: on one thread (-j 1), its line rate over
# the same file of pairs against the module's own call rate on those pairs
# (module_rate: the pairs read first, then the calls alone), for the
# default against ostrem, -m against midpoint and -p 6 against ostremd.
# The filter and the module take turns, round after round, so that both
# see the same machine; medians of the rounds.
#   bench/pace.sh [build dir]        (default: build/bench)
#   ROUNDS=7 LINES=2000000 BASELINE=/path/to/an/older/ostrem bench/pace.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build/bench}
filter=$build/ostrem rate=$build/bench/module_rate
for p in "$filter" "$rate"; do
  [ -x "$p" ] || { echo "no $p: build with cmake --workflow --preset bench" >&2; exit 1; }
done
lines=${LINES:-2000000}
rounds=${ROUNDS:-5}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
awk -v n="$lines" 'BEGIN { srand(20261208)
  for (i = 0; i < n; i++)
    printf "%.4f %.4f %.4f %.4f\n", 180*rand()-90, 360*rand()-180, 180*rand()-90, 360*rand()-180 }' \
  > "$tmp/pairs.txt"

# Lines per second of one run of the filter over the file.
filter_rate() {
  local t0 t1
  t0=$(date +%s%N)
  "$@" "$tmp/pairs.txt" >/dev/null
  t1=$(date +%s%N)
  awk -v n="$lines" -v ns=$((t1 - t0)) 'BEGIN { printf "%.0f\n", n / (ns / 1e9) }'
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

modes=("default:ostrem:" "-m:midpoint:-m" "-p 6:ostremd:-p 6")
for ((r = 0; r < rounds; r++)); do
  for m in "${modes[@]}"; do
    IFS=: read -r name fn opt <<<"$m"
    # shellcheck disable=SC2086
    filter_rate "$filter" -j 1 $opt >>"$tmp/filter.$fn"
    "$rate" "$tmp/pairs.txt" "$fn" 3 >>"$tmp/module.$fn"
    if [ -n "${BASELINE:-}" ]; then
      # shellcheck disable=SC2086
      filter_rate "$BASELINE" -j 1 $opt >>"$tmp/baseline.$fn"
    fi
  done
done
printf '%-6s %-9s %12s %12s %7s' mode module "lines/s" "calls/s" ratio
[ -n "${BASELINE:-}" ] && printf ' %14s %7s' "baseline l/s" ratio
echo
for m in "${modes[@]}"; do
  IFS=: read -r name fn opt <<<"$m"
  f=$(median <"$tmp/filter.$fn") c=$(median <"$tmp/module.$fn")
  printf '%-6s %-9s %12d %12d %7.2f' "$name" "$fn" "$f" "$c" "$(awk -v a="$f" -v b="$c" 'BEGIN { print a / b }')"
  if [ -n "${BASELINE:-}" ]; then
    b=$(median <"$tmp/baseline.$fn")
    printf ' %14d %7.2f' "$b" "$(awk -v a="$b" -v c="$c" 'BEGIN { print a / c }')"
  fi
  echo
done
