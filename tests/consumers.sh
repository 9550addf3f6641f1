#!/usr/bin/env bash
# Installs the build tree into a temporary prefix and builds two consumers
# against it: C through pkg-config, C++ through find_package.  Each must
# print the known lines.
set -euo pipefail
build=$1 source=$2 cc=$3 cxx=$4
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
want=$'90.00 90.00 270.00\n0.00 315.00'

cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
pcdir=$(dirname "$(find "$tmp/prefix" -name ostrem.pc)")

# shellcheck disable=SC2046  # pkg-config's output is a list of words
"$cc" -std=c99 -Wall -Wextra -pedantic -Werror "$source/consumer.c" \
  $(PKG_CONFIG_PATH=$pcdir pkg-config --cflags --libs ostrem) -o "$tmp/c_consumer"
got=$("$tmp/c_consumer")
[ "$got" = "$want" ] || { printf 'C consumer printed:\n%s\n' "$got"; exit 1; }

cmake -S "$source" -B "$tmp/cxx" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_PREFIX_PATH="$tmp/prefix" >/dev/null
cmake --build "$tmp/cxx" >/dev/null
got=$("$tmp/cxx/consumer")
[ "$got" = "$want" ] || { printf 'C++ consumer printed:\n%s\n' "$got"; exit 1; }
echo "both consumers print the known lines"
