#!/bin/sh
# Runs the serial port tests of the Windows test program on a real line under
# Wine. Wine opens \\.\COMn through the link dosdevices/comN of its prefix,
# so: socat joins two pseudo-terminals back to back (a null-modem cable),
# COM12 and COM13 are linked to their two ends, and the test program runs
# with TAVO_RS232_TEST_PORTS=12,13, which tells its serial port tests where
# the line is. COM12 is the port under test (above COM9, a port is reached
# only through the \\.\ device name); the tests play the far end on COM13.
# Both links are removed afterwards. A test that cuts the line writes the
# file named in TAVO_RS232_TEST_CUT: its cable's socat is ended (the port's
# device goes away) and a new cable takes the links for the tests after it;
# the file is removed once that is done.
#
# usage: rs232_wine_line.sh WINE_RUNNER WINEPREFIX TEST_PROGRAM [ARGUMENT...]
set -u
runner=$1
dosdevices=$2/dosdevices
shift 2

. "$(dirname "$0")/../null_modem.sh"
work=$(mktemp -d)
cutter_pid=
cleanup() {
  if [ -n "$cutter_pid" ]; then kill "$cutter_pid" 2>/dev/null; fi
  if [ -s "$work/socat.pid" ]; then kill "$(cat "$work/socat.pid")" 2>/dev/null; fi
  rm -f "$dosdevices/com12" "$dosdevices/com13"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# Cable number $1, in a folder of its own (an ended socat removes its links
# late), with COM12 and COM13 on its ends.
lay_cable() {
  mkdir "$work/cable$1"
  null_modem "$work/cable$1"
  echo "$socat_pid" >"$work/socat.pid"
  ln -sfn "$cable_near" "$dosdevices/com12"
  ln -sfn "$cable_far" "$dosdevices/com13"
}

lay_cable 1
(
  cables=1
  while :; do
    if [ -e "$work/cut" ]; then
      kill "$(cat "$work/socat.pid")"
      cables=$((cables + 1))
      lay_cable "$cables"
      rm -f "$work/cut"
    fi
    sleep 0.1
  done
) </dev/null >/dev/null 2>&1 &
cutter_pid=$!

TAVO_RS232_TEST_PORTS=12,13 TAVO_RS232_TEST_CUT="Z:$work/cut" "$runner" "$@"
