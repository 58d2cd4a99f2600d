#!/bin/sh
# Measures the serial port link on Linux over socat's pseudo-terminal pair:
# first paced at 115200 baud, the PIN pad's line rate, then unpaced, at
# whatever speed the pseudo-terminals go (they ignore line rates). The pair
# is reached as COM201 and COM202 through links ports/com201 and ports/com202
# beside the program, removed afterwards.
#
# usage: serial_throughput.sh PROGRAM [BYTES]
#   PROGRAM: the built serial_throughput, e.g. build/linux/bench/serial_throughput
set -u
program=$(readlink -f "$1")
bytes=${2:-1048576}
ports=$(dirname "$program")/ports
command -v socat >/dev/null || { echo "socat is not installed"; exit 1; }

work=$(mktemp -d)
socat_pid=
cleanup() {
  if [ -n "$socat_pid" ]; then kill "$socat_pid" 2>/dev/null; fi
  rm -f "$ports/com201" "$ports/com202"
  rmdir "$ports" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

socat pty,raw,echo=0,link="$work/a" pty,raw,echo=0,link="$work/b" \
  </dev/null >"$work/socat.log" 2>&1 &
socat_pid=$!
tries=0
while [ ! -e "$work/a" ] || [ ! -e "$work/b" ]; do
  tries=$((tries + 1))
  [ "$tries" -gt 100 ] && { echo "socat made no pseudo-terminals"; exit 1; }
  sleep 0.1
done
mkdir -p "$ports"
ln -s "$(readlink -f "$work/a")" "$ports/com201" || exit 1
ln -s "$(readlink -f "$work/b")" "$ports/com202" || exit 1

status=0
echo "paced at 115200 baud:"
"$program" 201 202 115200 "$bytes" || status=1
echo "unpaced:"
"$program" 201 202 0 "$bytes" || status=1
echo "unpaced, one byte a read:"
"$program" 201 202 0 "$bytes" 1 || status=1
exit $status
