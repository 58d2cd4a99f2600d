#!/bin/sh
# Runs the PIN pad exchange tests of the Windows test program on a real line
# under Wine. Wine opens \\.\COMn through the link dosdevices/comN of its
# prefix, so: socat joins two pseudo-terminals back to back, COM14 and COM15
# are linked to their two ends, COM16 to /dev/null (a device that opens but
# is no serial line), and the test program runs with
# TAVO_PINPAD_TEST_PORTS=COM14,COM15,COM16. Afterwards the line settings that
# the exchange left on COM14's terminal are checked: 9600 baud, 8 data bits,
# no parity, one stop bit, no flow control. The links are removed at the end.
#
# usage: pinpad_wine_line.sh WINE_RUNNER WINEPREFIX TEST_PROGRAM [ARGUMENT...]
set -u
runner=$1
dosdevices=$2/dosdevices
shift 2

command -v socat >/dev/null || { echo "socat is not installed"; exit 1; }
work=$(mktemp -d)
socat_pid=
cleanup() {
  if [ -n "$socat_pid" ]; then kill "$socat_pid" 2>/dev/null; fi
  rm -f "$dosdevices/com14" "$dosdevices/com15" "$dosdevices/com16"
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
near=$(readlink -f "$work/near")
ln -sfn "$near" "$dosdevices/com14"
ln -sfn "$(readlink -f "$work/far")" "$dosdevices/com15"
ln -sfn /dev/null "$dosdevices/com16"

TAVO_PINPAD_TEST_PORTS=COM14,COM15,COM16 "$runner" "$@"
status=$?

# One line of words between blanks, so that each can be looked for whole.
settings=" $(stty -a -F "$near" | tr '\n;' '  ') "
for wanted in "speed 9600 baud" cs8 -parenb -cstopb -crtscts -ixon -ixoff; do
  case "$settings" in
    *" $wanted "*) ;;
    *) echo "COM14 was left without \"$wanted\":$settings"; status=1 ;;
  esac
done
exit $status
