#!/bin/sh
# Runs a Windows program under wine, for ctest and the tests.  The prefix
# is set up once, and the wine server started, with none of the caller's
# standard streams: started by the program, the server and the prefix's
# own processes would inherit ctest's output pipe and keep the test that
# started them running until they end.
wine=$1
shift
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  flock "$WINEPREFIX/.setup" sh -c '[ -f "$WINEPREFIX/system.reg" ] || "$1" wineboot --init' \
    sh "$wine" </dev/null >/dev/null 2>&1
fi
wineserver=$(dirname "$(readlink -f "$wine")")/wineserver
[ -x "$wineserver" ] || wineserver=wineserver
"$wineserver" -p5 </dev/null >/dev/null 2>&1
# A test program says 0 or 1.  Any other status with nothing said is wine's
# own (a start that failed while the server was busy, whose messages
# WINEDEBUG=-all silences): name it, so that a failure is never silent.
# The Windows test preset runs a failed test once more for such starts.
"$wine" "$@"
status=$?
[ "$status" -le 1 ] || echo "wine-run: $* ended with status $status" >&2
exit "$status"
