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

. "$(dirname "$0")/../null_modem.sh"
work=$(mktemp -d)
socat_pid=
cleanup() {
  if [ -n "$socat_pid" ]; then kill "$socat_pid" 2>/dev/null; fi
  rm -f "$dosdevices/com14" "$dosdevices/com15" "$dosdevices/com16"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

null_modem "$work"
ln -sfn "$cable_near" "$dosdevices/com14"
ln -sfn "$cable_far" "$dosdevices/com15"
ln -sfn /dev/null "$dosdevices/com16"

TAVO_PINPAD_TEST_PORTS=COM14,COM15,COM16 "$runner" "$@"
status=$?

# One line of words between blanks, so that each can be looked for whole.
settings=" $(stty -a -F "$cable_near" | tr '\n;' '  ') "
for wanted in "speed 9600 baud" cs8 -parenb -cstopb -crtscts -ixon -ixoff; do
  case "$settings" in
    *" $wanted "*) ;;
    *) echo "COM14 was left without \"$wanted\":$settings"; status=1 ;;
  esac
done
exit $status
