#!/usr/bin/env bash
# Times one run of sorvane against a minimal C program, side by side in one
# hyperfine session, and prints the ratio of the medians.  The minimal
# program is built as cc builds it by default (dynamically linked) and, for
# a like-for-like view of a statically linked sorvane, with -static too.
#   bench/startup.sh [path/to/sorvane]     (default: build/bench/sorvane)
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

hyperfine -N --warmup 100 --runs "${RUNS:-2000}" --export-json "$tmp/times.json" \
  "$tmp/minimal" "$tmp/minimal-static" "$sorvane 38.3 142.4 34.95 -106.46" >&2
# The medians, in the order the commands were given.
mapfile -t medians < <(grep -o '"median": *[0-9.e+-]*' "$tmp/times.json" | grep -o '[0-9][0-9.e+-]*$')
awk -v a="${medians[0]}" -v s="${medians[1]}" -v b="${medians[2]}" 'BEGIN {
  printf "minimal C program, dynamic: %7.1f us median\n", a * 1e6
  printf "minimal C program, static:  %7.1f us median\n", s * 1e6
  printf "sorvane:                    %7.1f us median\n", b * 1e6
  printf "sorvane / minimal dynamic:  %7.3f\n", b / a
  printf "sorvane / minimal static:   %7.3f\n", b / s }'
