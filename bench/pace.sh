#!/usr/bin/env bash
# The filter at the module's pace: on one thread (-j 1), its line rate over
# a file of pairs against the module's own call rate on the same pairs
# (module_rate: the pairs read first, then the calls alone), for the
# default against ostrem, -m against midpoint and -p 6 against ostremd.
# This machine's speed drifts from one second to the next, so each round
# runs the filter and then the module at once after it (module_rate does
# both), and the ratio is taken within the round; printed are the medians
# over the rounds.
#   bench/pace.sh [build dir]        (default: build/bench)
#   ROUNDS=15 LINES=1000000 BASELINE=/path/to/an/older/ostrem bench/pace.sh
set -euo pipefail
. "$(dirname "$0")/common.sh"
rate=$build/bench/module_rate
need "$filter" "$rate"
lines=${LINES:-1000000}
rounds=${ROUNDS:-15}
"$here/random-pairs" "$lines" 20261208 > "$tmp/pairs.txt"

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

modes=("default:ostrem:" "-m:midpoint:-m" "-p 6:ostremd:-p 6")
for m in "${modes[@]}"; do
  IFS=: read -r name fn opt <<<"$m"
  # shellcheck disable=SC2086
  "$rate" "$tmp/pairs.txt" "$fn" "$rounds" "$filter" -j 1 $opt >"$tmp/$fn"
  if [ -n "${BASELINE:-}" ]; then
    # shellcheck disable=SC2086
    "$rate" "$tmp/pairs.txt" "$fn" "$rounds" "$BASELINE" -j 1 $opt >"$tmp/baseline.$fn"
  fi
done
printf '%-6s %-9s %12s %12s %7s' mode module "lines/s" "calls/s" ratio
[ -n "${BASELINE:-}" ] && printf ' %14s %7s' "baseline l/s" ratio
echo
for m in "${modes[@]}"; do
  IFS=: read -r name fn opt <<<"$m"
  printf '%-6s %-9s %12d %12d %7.2f' "$name" "$fn" "$(cut -d' ' -f1 "$tmp/$fn" | median)" \
    "$(cut -d' ' -f2 "$tmp/$fn" | median)" "$(awk '{ print $1 / $2 }' "$tmp/$fn" | median)"
  if [ -n "${BASELINE:-}" ]; then
    printf ' %14d %7.2f' "$(cut -d' ' -f1 "$tmp/baseline.$fn" | median)" \
      "$(awk '{ print $1 / $2 }' "$tmp/baseline.$fn" | median)"
  fi
  echo
done
