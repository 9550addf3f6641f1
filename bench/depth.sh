#!/usr/bin/env bash
# What the hypocentral distance costs a line: -k -z 5 (and -k -z 5 -Z 6)
# against -k alone on the same 10^6 seeded pairs, with depths from 0 to
# 700 km and elevations from -500 to 5,000 m in the lines of all three
# (-k reads the first four fields with -f 1-4), timed side by side in one
# run by hyperfine on one thread; prints medians and ratios.
#   bench/depth.sh [build dir]          (default: build/bench)
#   RUNS=10 LINES=1000000 bench/depth.sh
set -euo pipefail
. "$(dirname "$0")/common.sh"
need "$filter" hyperfine
lines=${LINES:-1000000}
runs=${RUNS:-10}
"$here/random-pairs" "$lines" 20261211 heights > "$tmp/pairs.txt"
cmds=("$filter -j 1 -k -f 1-4 $tmp/pairs.txt" "$filter -j 1 -k -f 1-4 -z 5 $tmp/pairs.txt"
      "$filter -j 1 -k -z 5 -Z 6 $tmp/pairs.txt")
names=("-k" "-k -z 5" "-k -z 5 -Z 6")
hyperfine -N --warmup 1 --runs "$runs" --output=null --export-json "$tmp/depth.json" "${cmds[@]}" >/dev/null
mapfile -t m < <(grep -o '"median": *[0-9.e+-]*' "$tmp/depth.json" | grep -o '[0-9][0-9.e+-]*$')
printf '%-16s %10s %12s %8s\n' "options" "median s" "ns a line" "vs -k"
for i in "${!names[@]}"; do
  awk -v name="${names[$i]}" -v t="${m[$i]}" -v base="${m[0]}" -v n="$lines" \
    'BEGIN { printf "%-16s %10.3f %12.0f %8.3f\n", name, t, t / n * 1e9, t / base }'
done
