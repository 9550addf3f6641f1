#!/usr/bin/env bash
# Runs the call benchmarks with repetitions and prints the median time per
# call of each, and the ratios that matter, all from the same run.
#   bench/calls.sh [path/to/bench_ostrem]   (default: build/bench/bench/bench_ostrem)
#   REPS=15 bench/calls.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bench=${1:-$here/../build/bench/bench/bench_ostrem}
[ -x "$bench" ] || { echo "no $bench: build with cmake --workflow --preset bench" >&2; exit 1; }

"$bench" --benchmark_repetitions="${REPS:-15}" --benchmark_report_aggregates_only=true \
    --benchmark_time_unit=ns 2>/dev/null |
  awk '$1 ~ /_median$/ { name = $1; sub(/^BM_/, "", name); sub(/_median$/, "", name); t[name] = $2
                         printf "%-22s %7.1f ns per call (median)\n", name, $2 }
       END {
         printf "ostrem / its floor:          %.2f\n", t["ostrem"] / t["ostrem_floor"]
         printf "ostrem / chained floor:      %.2f\n", t["ostrem"] / t["ostrem_floor_chained"]
         printf "midpoint / its floor:        %.2f\n", t["midpoint"] / t["midpoint_floor"]
         if ("geod_inverse" in t)
           printf "geod_inverse / ostrem:       %.2f\n", t["geod_inverse"] / t["ostrem"] }'
