#!/usr/bin/env bash
# Installs the build tree into a temporary prefix and builds consumers
# against it: C through pkg-config, C++ through find_package, and, given a
# Fortran compiler (the one that built the module), Fortran through both.
# Each must print the known lines.
set -euo pipefail
build=$1 source=$2 cc=$3 cxx=$4 fc=${5:-}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
want=$'90.00 90.00 270.00\n0.00 315.00'

cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
pcdir=$(dirname "$(find "$tmp/prefix" -name ostrem.pc)")
check() {
  local got
  got=$("$2")
  [ "$got" = "$3" ] || { printf '%s consumer printed:\n%s\n' "$1" "$got"; exit 1; }
}

# shellcheck disable=SC2046  # pkg-config's output is a list of words
"$cc" -std=c99 -Wall -Wextra -pedantic -Werror "$source/consumer.c" \
  $(PKG_CONFIG_PATH=$pcdir pkg-config --cflags --libs ostrem) -o "$tmp/c_consumer"
check C "$tmp/c_consumer" "$want"

# The ellipsoid's C interface, through its own pkg-config file.
gwant=$'10018.754 90.000 270.000\n0.000 45.000'
# shellcheck disable=SC2046
"$cc" -std=c99 -Wall -Wextra -pedantic -Werror "$source/geodesic.c" \
  $(PKG_CONFIG_PATH=$pcdir pkg-config --cflags --libs ostrem-geodesic) -o "$tmp/geodesic_consumer"
check "C (ellipsoid)" "$tmp/geodesic_consumer" "$gwant"

# The travel times' C interface, through its own pkg-config file.
twant=$'368.733 368.733 8.8445\n746.289 746.289 5.1576\nnan nan nan\n"PX": no leg is called X
nowhere.tvel: No such file or directory (the built-in models are iasp91 and ak135)'
# shellcheck disable=SC2046
"$cc" -std=c99 -Wall -Wextra -pedantic -Werror "$source/travel.c" \
  $(PKG_CONFIG_PATH=$pcdir pkg-config --cflags --libs ostrem-travel) -o "$tmp/travel_consumer"
check "C (travel times)" "$tmp/travel_consumer" "$twant"

fortran=OFF
[ -n "$fc" ] && fortran=ON
cmake -S "$source" -B "$tmp/cxx" -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_Fortran_COMPILER="$fc" -DOSTREM_CONSUMER_FORTRAN=$fortran \
  -DCMAKE_PREFIX_PATH="$tmp/prefix" >/dev/null
cmake --build "$tmp/cxx" >/dev/null
check C++ "$tmp/cxx/consumer" "$want"
check "C (ellipsoid, CMake)" "$tmp/cxx/geodesic_consumer" "$gwant"
check "C (travel times, CMake)" "$tmp/cxx/travel_consumer" "$twant"
if [ -z "$fc" ]; then
  echo "the C and C++ consumers print the known lines (no Fortran module in this build)"
  exit 0
fi

# The float lines, the double-precision distance line, and the ellipsoid's
# lines.
fwant=$'90.00 90.00 270.00\n0.00 315.00\n90.00 90.00 270.00\n10018.754 90.000 270.000\n6.000'
# shellcheck disable=SC2046
"$fc" -std=f2003 -Wall -Werror "$source/consumer.f90" \
  $(PKG_CONFIG_PATH=$pcdir pkg-config --cflags --libs ostrem-geodesic) -o "$tmp/f_consumer"
check "Fortran (pkg-config)" "$tmp/f_consumer" "$fwant"
check "Fortran (CMake)" "$tmp/cxx/fortran_consumer" "$fwant"
# The travel times from Fortran.
tfwant=$'368.733 746.289\n"PX": no leg is called X'
# shellcheck disable=SC2046
"$fc" -std=f2003 -Wall -Werror "$source/travel.f90" \
  $(PKG_CONFIG_PATH=$pcdir pkg-config --cflags --libs ostrem-travel) -o "$tmp/f_travel"
check "Fortran travel times (pkg-config)" "$tmp/f_travel" "$tfwant"
check "Fortran travel times (CMake)" "$tmp/cxx/fortran_travel_consumer" "$tfwant"
# The guide's Fortran example prints what sorvane prints for its pair.
awk '/^```fortran$/ { on = 1; next } /^```$/ { on = 0 } on' "$source/../../docs/library.md" >"$tmp/quake.f90"
# shellcheck disable=SC2046
"$fc" -std=f2003 -Wall -Werror "$tmp/quake.f90" \
  $(PKG_CONFIG_PATH=$pcdir pkg-config --cflags --libs ostrem) -o "$tmp/quake"
check "the guide's Fortran" "$tmp/quake" "$("$build/sorvane" 38.3 142.4 34.95 -106.46)"
echo "the C, C++ and Fortran consumers print the known lines"
