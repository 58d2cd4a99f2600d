#!/usr/bin/env bash
# Throughput of a PIN pad connection through the native agent: the simulator
# on one end of a socat pseudo-terminal pair, the agent on the other, a host
# on 127.0.0.1. Measures SIZE bytes (default 1 MB) from the PIN pad to the
# host, then from the host to the PIN pad, and prints bytes per second.
#
# usage: bench/e2e_throughput.sh [BUILD_DIR] [SIZE]   (default build/linux)
set -euo pipefail
build=$(readlink -f "${1:-build/linux}")
size=${2:-1000000}
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

head -c "$size" /dev/urandom >"$work/payload"
# One host for both runs: the first connection is drained, the second fed.
cat >"$work/host.py" <<'PY'
import socket, sys, time
server = socket.socket()
server.bind(("127.0.0.1", 0))
server.listen(1)
print(server.getsockname()[1], flush=True)
peer, _ = server.accept()
count, start = 0, None
while True:
    data = peer.recv(65536)
    if not data:
        break
    start = start or time.monotonic()
    count += len(data)
print("host received %d bytes in %.3f s after the first" % (count, time.monotonic() - start), file=sys.stderr, flush=True)
peer.close()
peer, _ = server.accept()
peer.sendall(open(sys.argv[1], "rb").read())
peer.close()
PY
python3 "$work/host.py" "$work/payload" >"$work/port" 2>"$work/host.log" &
pids+=($!)
socat pty,raw,echo=0,link="$work/near" pty,raw,echo=0,link="$work/far" </dev/null >/dev/null 2>&1 &
pids+=($!)
while [ ! -s "$work/port" ] || [ ! -e "$work/near" ] || [ ! -e "$work/far" ]; do sleep 0.1; done
port=$(cat "$work/port")

mkdir -p "$work/agent/ports"
cp "$build/agent/agent" "$work/agent/"
ln -s "$(readlink -f "$work/near")" "$work/agent/ports/com5"
printf 'Enabled=1\r\n' >"$work/agent/agent.ini"
printf 'ComPort=5\r\n' >"$work/agent/pinpad.ini"
(cd "$work/agent" && exec ./agent </dev/null >/dev/null 2>&1) &
pids+=($!)

rate() { python3 -c "import sys; print('%.0f bytes/s' % ($size / float(sys.argv[1])))" "$1"; }
seconds() { date +%s.%N; }

echo "pad -> host, $size bytes"
start=$(seconds)
"$build/agent/pinpad-sim" --time-limit 900 --close-after-quiet 200 --file "$work/payload" \
  "$work/far" connect "127.0.0.1:$port" 2>&1 >/dev/null | grep 'sent'
sleep 1
cat "$work/host.log"
echo "  whole run: $(rate "$(python3 -c "print($(seconds) - $start - 1)")")"

echo "host -> pad, $size bytes"
start=$(seconds)
"$build/agent/pinpad-sim" --time-limit 900 --output "$work/received" \
  "$work/far" connect "127.0.0.1:$port" 2>&1 | grep 'sent'
end=$(seconds)
cmp -s "$work/payload" "$work/received" && echo "  received intact" || echo "  RECEIVED DIFFERS"
echo "  whole run: $(rate "$(python3 -c "print($end - $start)")")"
