#!/bin/sh
# Runs the serial port tests of the Windows test program on a real line under
# Wine. Wine opens \\.\COMn through the link dosdevices/comN of its prefix,
# so: socat joins two pseudo-terminals back to back (a null-modem cable),
# COM12 and COM13 are linked to their two ends, and the test program runs
# with TAVO_RS232_TEST_PORTS=12,13, which tells its serial port tests where
# the line is. COM12 is the port under test (above COM9, a port is reached
# only through the \\.\ device name); the tests play the far end on COM13.
# Both links are removed afterwards.
#
# usage: rs232_wine_line.sh WINE_RUNNER WINEPREFIX TEST_PROGRAM [ARGUMENT...]
set -u
runner=$1
dosdevices=$2/dosdevices
shift 2

command -v socat >/dev/null || { echo "socat is not installed"; exit 1; }
work=$(mktemp -d)
socat_pid=
cleanup() {
  if [ -n "$socat_pid" ]; then kill "$socat_pid" 2>/dev/null; fi
  rm -f "$dosdevices/com12" "$dosdevices/com13"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# socat's output goes to a file, so that it never holds the test runner's
# pipes open; it makes the two links once both terminals exist.
socat pty,raw,echo=0,link="$work/near" pty,raw,echo=0,link="$work/far" \
  </dev/null >"$work/socat.log" 2>&1 &
socat_pid=$!
tries=0
while [ ! -e "$work/near" ] || [ ! -e "$work/far" ]; do
  tries=$((tries + 1))
  if [ "$tries" -gt 100 ]; then
    echo "socat made no pseudo-terminals:"
    cat "$work/socat.log"
    exit 1
  fi
  sleep 0.1
done
ln -sfn "$(readlink -f "$work/near")" "$dosdevices/com12"
ln -sfn "$(readlink -f "$work/far")" "$dosdevices/com13"

TAVO_RS232_TEST_PORTS=12,13 "$runner" "$@"
