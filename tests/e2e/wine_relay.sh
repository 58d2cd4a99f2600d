#!/bin/sh
# agent.exe under Wine relays a PIN pad's connection: socat joins two
# pseudo-terminals back to back (a null-modem cable), Wine's COM14 and COM15
# are linked to their two ends, agent.exe serves COM14 and the PIN pad
# simulator plays the PIN pad on COM15. The host is an echo server on
# 127.0.0.1; the simulator connects, sends a line, gets it back and closes,
# and the server must see the close.
#
# usage: wine_relay.sh WINE_RUNNER WINEPREFIX AGENT_EXE SIMULATOR_EXE
set -u
runner=$(readlink -f "$1")
dosdevices=$2/dosdevices
agent=$(readlink -f "$3")
simulator=$4

command -v socat >/dev/null || { echo "socat is not installed"; exit 1; }
command -v python3 >/dev/null || { echo "python3 is not installed"; exit 1; }
work=$(mktemp -d)
pids=
cleanup() {
  for pid in $pids; do kill -KILL "$pid" 2>/dev/null; done
  rm -f "$dosdevices/com14" "$dosdevices/com15"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
  echo "FAILED: $1"
  for log in "$work"/*.log; do echo "--- $log"; cat "$log"; done
  exit 1
}

wait_for() {
  tries=0
  while ! eval "$1"; do
    tries=$((tries + 1))
    [ "$tries" -gt 300 ] && fail "$2"
    sleep 0.1
  done
}

# Every background program writes to a file, never to the test runner's pipes.
socat pty,raw,echo=0,link="$work/near" pty,raw,echo=0,link="$work/far" \
  </dev/null >"$work/socat.log" 2>&1 &
pids="$pids $!"
cat >"$work/echo.py" <<'PY'
import socket, sys
server = socket.socket()
server.bind(("127.0.0.1", 0))
server.listen(1)
open(sys.argv[1] + ".tmp", "w").write(str(server.getsockname()[1]))
import os; os.rename(sys.argv[1] + ".tmp", sys.argv[1])
peer, _ = server.accept()
while True:
    data = peer.recv(65536)
    if not data:
        break
    peer.sendall(data)
open(sys.argv[2], "w").write("closed")
PY
python3 "$work/echo.py" "$work/port" "$work/closed" </dev/null >"$work/echo.log" 2>&1 &
pids="$pids $!"
wait_for '[ -e "$work/near" ] && [ -e "$work/far" ] && [ -e "$work/port" ]' "no cable or no echo server"
ln -sfn "$(readlink -f "$work/near")" "$dosdevices/com14"
ln -sfn "$(readlink -f "$work/far")" "$dosdevices/com15"

mkdir "$work/agent"
cp "$agent" "$work/agent/"
printf 'Enabled=1\r\n' >"$work/agent/agent.ini"
printf 'ComPort=14\r\n' >"$work/agent/pinpad.ini"
(cd "$work/agent" && exec "$runner" "$work/agent/$(basename "$agent")" run) \
  </dev/null >"$work/agent.log" 2>&1 &
pids="$pids $!"

line="a line through agent.exe"
"$runner" "$simulator" --time-limit 120 --close-after-quiet 1000 --output "Z:$work/received" \
  COM15 connect "127.0.0.1:$(cat "$work/port")" "$line" </dev/null >"$work/simulator.log" 2>&1 \
  || fail "the simulator reports failure"
[ "$(cat "$work/received")" = "$line" ] || fail "the echo came back as: $(cat "$work/received")"
wait_for '[ -e "$work/closed" ]' "the host never saw the close"
echo "relayed through agent.exe: $line"
