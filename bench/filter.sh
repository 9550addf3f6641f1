#!/usr/bin/env bash
# Lines per second of the filter against the batch tools a user would
# otherwise pipe pairs through, all on the same 10^6 random pairs from the
# whole globe, timed side by side in one run by hyperfine; and a shell loop
# over sorvane on the first 1,000 of them.  Then the filter's options
# against its default rate: an FDSN-style station table with the codes kept
# (-a -d '|' -f 3,4 -e), double precision (-p 6), and -w against -m, on
# 10^6 lines each.  Prints medians and ratios.
#   bench/filter.sh [build dir]          (default: build/bench)
#   RUNS=5 LINES=1000000 bench/filter.sh
#   BASELINE=/path/to/an/older/ostrem bench/filter.sh   (its default rate too)
#   THREAD_LINES=10000000 bench/filter.sh     (the threads' file; 0 skips them)
# The comparisons with peers and between options run on one thread (-j 1),
# as they did before -j; the threads are timed apart, on a larger file:
# -j 1, -j 2 and the default from a file and from a pipe, to /dev/null and
# to a file, and -r 30,90 against no window.
# Needs hyperfine, and for the peers proj-bin (geod) and
# geographiclib-tools (GeodSolve); a missing peer is left out.
set -euo pipefail
. "$(dirname "$0")/common.sh"
need "$filter" hyperfine
lines=${LINES:-1000000}
runs=${RUNS:-5}

# Seeded pairs, four decimals (about 10 m), uniform in latitude and longitude.
"$here/random-pairs" "$lines" 20261208 > "$tmp/pairs.txt"
head -n 1000 "$tmp/pairs.txt" > "$tmp/pairs1000.txt"
# A station table as FDSN text (network, code, latitude, longitude, elevation,
# site name, dates), and walks: a start, an azimuth in [-360, 360] and a
# distance in [0, 180].
awk -v n="$lines" 'BEGIN { srand(20261209); print "#Network|Station|Latitude|Longitude|Elevation|SiteName|StartTime|EndTime"
  for (i = 0; i < n; i++)
    printf "IU|S%06d|%.4f|%.4f|%.1f|Site %d, Somewhere|2002-11-19T21:07:00|\n", i, 180*rand()-90, 360*rand()-180, 3000*rand(), i }' \
  > "$tmp/stations.txt"
awk -v n="$lines" 'BEGIN { srand(20261210)
  for (i = 0; i < n; i++)
    printf "%.4f %.4f %.3f %.3f\n", 180*rand()-90, 360*rand()-180, 720*rand()-360, 180*rand() }' \
  > "$tmp/walks.txt"

cmds=("$filter -j 1 $tmp/pairs.txt" "$filter -j 1 -m $tmp/pairs.txt")
names=("ostrem" "ostrem -m")
if command -v geod >/dev/null; then
  cmds+=("geod -I +ellps=WGS84 -f %.2f $tmp/pairs.txt"); names+=("geod -I (WGS84)")
fi
if command -v GeodSolve >/dev/null; then
  cmds+=("GeodSolve -i --input-file $tmp/pairs.txt"); names+=("GeodSolve -i")
fi
hyperfine -N --warmup 1 --runs "$runs" --output=null --export-json "$tmp/big.json" "${cmds[@]}" >/dev/null
hyperfine --warmup 1 --runs 3 --output=null --export-json "$tmp/loop.json" \
  "while read -r a b c d; do $build/sorvane \$a \$b \$c \$d; done < $tmp/pairs1000.txt" >/dev/null

medians() { grep -o '"median": *[0-9.e+-]*' "$1" | grep -o '[0-9][0-9.e+-]*$'; }
mapfile -t big < <(medians "$tmp/big.json")
loop=$(medians "$tmp/loop.json")
{
  for i in "${!names[@]}"; do echo "${names[$i]}|$lines|${big[$i]}"; done
  echo "shell loop over sorvane|1000|$loop"
} | awk -F'|' '
  { rate[NR] = $2 / $3; name[NR] = $1
    printf "%-26s %9.0f lines/s  (median %.3f s for %d lines)\n", $1, rate[NR], $3, $2 }
  END { for (i = 2; i <= NR; i++)
          printf "ostrem / %-24s %8.1f\n", name[i], rate[1] / rate[i] }'

# The options, side by side with the default in one hyperfine run.
opts=("$filter -j 1 $tmp/pairs.txt"
      "$filter -j 1 -a -d | -f 3,4 -e 38.3,142.4 $tmp/stations.txt"
      "$filter -j 1 -p 6 $tmp/pairs.txt"
      "$filter -j 1 -m $tmp/pairs.txt"
      "$filter -j 1 -w $tmp/walks.txt")
onames=("default" "stations: -a -d pipe -f 3,4 -e" "-p 6" "-m" "-w")
if [ -n "${BASELINE:-}" ]; then
  opts+=("$BASELINE $tmp/pairs.txt"); onames+=("baseline default")
fi
hyperfine -N --warmup 1 --runs "$runs" --output=null --export-json "$tmp/opts.json" "${opts[@]}" >/dev/null
mapfile -t om < <(medians "$tmp/opts.json")
echo
for i in "${!onames[@]}"; do echo "${onames[$i]}|$lines|${om[$i]}"; done | awk -F'|' '
  { rate[NR] = $2 / $3
    printf "%-30s %9.0f lines/s  (median %.3f s)  %.2fx the default\n", $1, rate[NR], $3, rate[NR] / rate[1] }'

# Threads, on THREAD_LINES lines: each ratio against -j 1 from the same
# source to the same sink, all in one hyperfine run (through a shell, for
# the pipes and redirections).
tlines=${THREAD_LINES:-10000000}
if [ "$tlines" -gt 0 ]; then
  "$here/random-pairs" "$tlines" 20261211 > "$tmp/many.txt"
  m=$tmp/many.txt
  tcmds=("$filter -j 1 $m >/dev/null" "$filter -j 2 $m >/dev/null" "$filter $m >/dev/null"
         "cat $m | $filter -j 1 >/dev/null" "cat $m | $filter -j 2 >/dev/null"
         "$filter -j 1 $m >$tmp/out" "$filter -j 2 $m >$tmp/out"
         "$filter -j 1 -r 30,90 $m >/dev/null" "$filter -j 2 -r 30,90 $m >/dev/null")
  tnames=("file, -j 1" "file, -j 2" "file, default -j" "pipe, -j 1" "pipe, -j 2"
          "file to file, -j 1" "file to file, -j 2" "-r 30,90, -j 1" "-r 30,90, -j 2")
  base=(0 0 0 3 3 5 5 0 1)  # the row each is compared with
  if [ -n "${BASELINE:-}" ]; then
    tcmds+=("$BASELINE $m >/dev/null"); tnames+=("baseline"); base+=(0)
  fi
  hyperfine --warmup 1 --runs "${TRUNS:-3}" --export-json "$tmp/threads.json" "${tcmds[@]}" >/dev/null
  mapfile -t tm < <(medians "$tmp/threads.json")
  echo
  for i in "${!tnames[@]}"; do echo "${tnames[$i]}|$tlines|${tm[$i]}|${tm[${base[$i]}]}"; done | awk -F'|' '
    { printf "%-22s %10.0f lines/s  (median %.3f s)  %.2fx its -j 1 row\n", $1, $2 / $3, $3, $4 / $3 }'
fi
