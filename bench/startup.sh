#!/usr/bin/env bash
# Times one run of sorvane against a minimal C program and prints the ratio
# of the median run times.  The minimal program is built as cc builds it by
# default (dynamically linked) and, for a like-for-like view of the
# statically linked sorvane, with -static too.  Start-up times drift on a
# shared machine, so the three are timed side by side in several rounds and
# the median of the rounds' ratios is quoted.
#   bench/startup.sh [path/to/sorvane]     (default: build/bench/sorvane)
#   ROUNDS=7 RUNS=1000 bench/startup.sh
#   BASELINE=/path/to/an/older/ostrem bench/startup.sh
# With BASELINE, the filter beside it (build/bench/ostrem) on a one-line
# input is timed too, in the same rounds: a small input must not pay for
# the threads a large one gets.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
sorvane=${1:-$here/../build/bench/sorvane}
command -v hyperfine >/dev/null || { echo "needs hyperfine (apt-get install hyperfine)" >&2; exit 1; }
[ -x "$sorvane" ] || { echo "no $sorvane: build with cmake --workflow --preset bench" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
printf 'int main(void){return 0;}\n' > "$tmp/minimal.c"
cc -O2 "$tmp/minimal.c" -o "$tmp/minimal"
cc -O2 -static "$tmp/minimal.c" -o "$tmp/minimal-static"

for round in $(seq "${ROUNDS:-5}"); do
  hyperfine -N --warmup 50 --runs "${RUNS:-600}" --export-json "$tmp/r$round.json" \
    "$tmp/minimal" "$tmp/minimal-static" "$sorvane 38.3 142.4 34.95 -106.46" >/dev/null 2>&1
  # The three medians, in the order the commands were given, on one line.
  grep -o '"median": *[0-9.e+-]*' "$tmp/r$round.json" | grep -o '[0-9][0-9.e+-]*$' | paste -sd' '
done | tee "$tmp/rounds" | awk '
  function median(v, n,   i, j, t) {
    for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j-1] > v[j]; j--) { t = v[j]; v[j] = v[j-1]; v[j-1] = t }
    return n % 2 ? v[(n+1)/2] : (v[n/2] + v[n/2+1]) / 2 }
  { n++; dyn[n] = $1 * 1e6; sta[n] = $2 * 1e6; sor[n] = $3 * 1e6; rd[n] = $3 / $1; rs[n] = $3 / $2
    printf "round %d: minimal %.1f us, minimal static %.1f us, sorvane %.1f us\n", n, $1 * 1e6, $2 * 1e6, $3 * 1e6 }
  END {
    printf "median over %d rounds: minimal %.1f us, minimal static %.1f us, sorvane %.1f us\n", n, median(dyn, n), median(sta, n), median(sor, n)
    printf "sorvane / minimal C program:        %.3f\n", median(rd, n)
    printf "sorvane / minimal C program static: %.3f\n", median(rs, n) }'

if [ -n "${BASELINE:-}" ]; then
  filter=$(dirname "$sorvane")/ostrem
  printf '38.3 142.4 34.95 -106.46\n' > "$tmp/one.txt"
  for round in $(seq "${ROUNDS:-5}"); do
    hyperfine -N --warmup 50 --runs "${RUNS:-600}" --export-json "$tmp/f$round.json" \
      "$filter $tmp/one.txt" "$BASELINE $tmp/one.txt" >/dev/null 2>&1
    grep -o '"median": *[0-9.e+-]*' "$tmp/f$round.json" | grep -o '[0-9][0-9.e+-]*$' | paste -sd' '
  done | awk '
    function median(v, n,   i, j, t) {
      for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j-1] > v[j]; j--) { t = v[j]; v[j] = v[j-1]; v[j-1] = t }
      return n % 2 ? v[(n+1)/2] : (v[n/2] + v[n/2+1]) / 2 }
    { n++; f[n] = $1 * 1e6; b[n] = $2 * 1e6; r[n] = $1 / $2 }
    END {
      printf "one line through the filter: %.1f us, baseline %.1f us (medians over %d rounds)\n", median(f, n), median(b, n), n
      printf "filter / baseline filter:           %.3f\n", median(r, n) }'
fi
