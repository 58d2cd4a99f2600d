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

. "$(dirname "$0")/../null_modem.sh"
work=$(mktemp -d)
socat_pid=
cleanup() {
  if [ -n "$socat_pid" ]; then kill "$socat_pid" 2>/dev/null; fi
  rm -f "$dosdevices/com12" "$dosdevices/com13"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

null_modem "$work"
ln -sfn "$cable_near" "$dosdevices/com12"
ln -sfn "$cable_far" "$dosdevices/com13"

TAVO_RS232_TEST_PORTS=12,13 "$runner" "$@"
