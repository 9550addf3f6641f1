#!/bin/sh
# Runs a Windows program under wine, for ctest and the tests.  The wine
# server is started first on its own, with none of the caller's standard
# streams: started by the program, it would inherit ctest's output pipe and
# keep the test that started it running until the server ends.
wine=$1
shift
wineserver=$(dirname "$(readlink -f "$wine")")/wineserver
[ -x "$wineserver" ] || wineserver=wineserver
"$wineserver" -p5 </dev/null >/dev/null 2>&1
exec "$wine" "$@"
