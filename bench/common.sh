# Sourced by the benchmark scripts: where the bench build is ($1, default
# build/bench), the programs in it that the script names checked, and a
# scratch folder, $tmp, removed at the end.
#   . "$(dirname "$0")/common.sh"; need "$filter" hyperfine
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build/bench}
filter=$build/ostrem
# need PROGRAM...: each a built program (a path) or a command on PATH.
need() {
  for p in "$@"; do
    case $p in
      */*) [ -x "$p" ] || { echo "no $p: build with cmake --workflow --preset bench" >&2; exit 1; } ;;
      *) command -v "$p" >/dev/null || { echo "needs $p (apt-get install $p)" >&2; exit 1; } ;;
    esac
  done
}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
