#!/usr/bin/env bash
# The agent at the PIN pad's real line rate: each agent given runs on one end
# of the line emulator (115200 baud, 8N1), pinpad-sim plays the PIN pad on
# the other, and a host on 127.0.0.1 (bench/line_host.py) serves the
# connection. Measured for every agent, one after the other in one run:
#   - idle: the agent's processor time with the link up and nothing to do
#     (10 s), and with one connection open that carries nothing (10 s);
#   - throughput PIN pad -> host, host -> PIN pad, and both at once, SIZE
#     bytes each (default 256 KiB), with the agent's processor time;
#   - round trip: 200 requests of 64 bytes, each echoed by the host;
#   - a payment-like session: connect, five exchanges of 300 to 1500 bytes
#     each way, close.
# An agent whose name ends in .exe runs under Wine (wine64 by default; WINE
# and WINESERVER name others) in a private prefix made for the run.
# AGENT_TRACE=N in the environment writes Trace=N into every agent's
# agent.ini (default 0: no trace).
#
# usage: bench/agent_line.sh [--size BYTES] [--repeat N] BUILD_DIR NAME=AGENT...
#   BUILD_DIR: the Linux build with line-emulator and pinpad-sim (build/linux)
#   e.g. bench/agent_line.sh build/linux after=build/linux/agent/agent \
#          wine-after=build/win64/agent/agent.exe
set -euo pipefail

size=262144
repeat=1
while [ $# -gt 0 ]; do
  case "$1" in
    --size) size=$2; shift 2 ;;
    --repeat) repeat=$2; shift 2 ;;
    *) break ;;
  esac
done
[ $# -ge 2 ] || { sed -n '2,20p' "$0"; exit 2; }
build=$(readlink -f "$1")
shift
here=$(dirname "$(readlink -f "$0")")
emulator=$build/agent/line-emulator
simulator=$build/agent/pinpad-sim
for program in "$emulator" "$simulator"; do
  [ -x "$program" ] || { echo "not built: $program"; exit 1; }
done
. "$here/agent_bench_lib.sh"


python3 "$here/line_host.py" pattern "$size" "$work/payload"

. "$(dirname "$(readlink -f "$0")")/process_cpu.sh"
now_ns() { date +%s%N; }
percent() { python3 -c "import sys; print('%.2f' % (100.0 * int(sys.argv[1]) / int(sys.argv[2])))" "$1" "$2"; }

start_host() {  # MODE
  rm -f "$work/host.port" "$work/host.result"
  python3 "$here/line_host.py" "$1" "$size" "$work/host.port" "$work/host.result" \
    </dev/null >"$work/host.log" 2>&1 &
  host_pid=$!
  wait_for_file "$work/host.port"
  host_port=$(cat "$work/host.port")
}

finish_host() {
  wait "$host_pid" || true
  host_seconds=$(sed -n 's/.*last \([0-9.]*\) s after.*/\1/p' "$work/host.result")
  host_received=$(sed -n 's/received \([0-9]*\) bytes.*/\1/p' "$work/host.result")
}

# pinpad-sim on the PIN pad's end with the given options; its report in sim.log.
simulate() {
  "$simulator" --time-limit 600 "$@" "$work/far" connect "127.0.0.1:$host_port" \
    </dev/null >"$work/sim.out" 2>"$work/sim.log" || { echo "pinpad-sim failed:"; cat "$work/sim.log"; }
}
sim_value() { sed -n "$1" "$work/sim.log" | head -1; }

rate() { python3 -c "import sys; print('%.0f' % (int(sys.argv[1]) / float(sys.argv[2])))" "$1" "$2"; }

stop_agent() {
  kill "$agent_pid" 2>/dev/null || true
  wait "$agent_pid" 2>/dev/null || true
}

# Starts measuring the agent's processor time (and the Wine server's).
cpu_start() {
  cpu_from=$(cpu_ns "$agent_pid")
  server_from=0
  if [ -n "$wineserver_pid" ]; then server_from=$(cpu_ns "$wineserver_pid"); fi
  wall_from=$(now_ns)
}
cpu_stop() {
  local wall=$(($(now_ns) - wall_from))
  cpu_agent=$(percent $(($(cpu_ns "$agent_pid") - cpu_from)) "$wall")
  cpu_server=-
  if [ -n "$wineserver_pid" ]; then
    cpu_server=$(percent $(($(cpu_ns "$wineserver_pid") - server_from)) "$wall")
  fi
}

measure_agent() {  # NAME PROGRAM
  local name=$1
  "$emulator" "$work/near" "$work/far" </dev/null >"$work/emulator.log" 2>&1 &
  local emulator_pid=$!
  pids+=("$emulator_pid")
  wait_for_file "$work/near"
  wait_for_file "$work/far"
  start_agent "$name" "$2"

  echo "== $name: $2"
  # Idle, one connection open that carries nothing.
  start_host idle
  simulate --close-after-quiet 16000 &
  local sim_pid=$!
  sleep 4
  cpu_start
  sleep 10
  cpu_stop
  wait "$sim_pid" || true
  finish_host
  echo "idle, one connection open: agent ${cpu_agent}% of a core, wineserver ${cpu_server}%"
  results+=("$name|idle, a connection|${cpu_agent}% (wineserver ${cpu_server}%)")

  start_host sink
  cpu_start
  simulate --file "$work/payload" --close-after-quiet 1500
  cpu_stop
  finish_host
  local up
  up=$(rate "$host_received" "$host_seconds")
  echo "pad -> host: $host_received bytes, $up B/s; agent ${cpu_agent}%, wineserver ${cpu_server}%"
  results+=("$name|pad -> host|$up B/s, agent ${cpu_agent}% (wineserver ${cpu_server}%)")

  start_host source
  cpu_start
  simulate --output "$work/received"
  cpu_stop
  finish_host
  local down_seconds down
  down_seconds=$(sim_value 's/.*last byte received \([0-9.]*\) s after.*/\1/p')
  down=$(rate "$(stat -c %s "$work/received")" "$down_seconds")
  cmp -s "$work/received" "$work/payload" || echo "  RECEIVED DIFFERS"
  echo "host -> pad: $down B/s; agent ${cpu_agent}%, wineserver ${cpu_server}%"
  results+=("$name|host -> pad|$down B/s, agent ${cpu_agent}% (wineserver ${cpu_server}%)")

  start_host both
  cpu_start
  simulate --file "$work/payload" --output "$work/received" --close-after-quiet 1500
  cpu_stop
  finish_host
  up=$(rate "$host_received" "$host_seconds")
  down_seconds=$(sim_value 's/.*last byte received \([0-9.]*\) s after.*/\1/p')
  down=$(rate "$(stat -c %s "$work/received")" "$down_seconds")
  cmp -s "$work/received" "$work/payload" || echo "  RECEIVED DIFFERS"
  echo "both ways: pad -> host $up B/s, host -> pad $down B/s; agent ${cpu_agent}%, wineserver ${cpu_server}%"
  results+=("$name|both ways|$up / $down B/s, agent ${cpu_agent}% (wineserver ${cpu_server}%)")

  start_host echo
  simulate --exchanges 200x64
  finish_host
  local trips
  trips=$(sim_value 's/round trips: 200, median \([0-9.]*\) ms, 99th percentile \([0-9.]*\) ms.*/\1 \/ \2/p')
  echo "64-byte round trip, median / 99th percentile: $trips ms"
  results+=("$name|64-byte round trip|$trips ms")

  start_host echo
  simulate --exchanges 300,1500,700,1100,900
  finish_host
  local session
  session=$(sim_value 's/.*session \([0-9.]*\) ms from.*/\1/p')
  echo "payment-like session: $session ms"
  results+=("$name|payment session|$session ms")

  # Idle: the link has been up since the first connection; nothing to do.
  sleep 2
  cpu_start
  sleep 10
  cpu_stop
  echo "idle, link up: agent ${cpu_agent}% of a core, wineserver ${cpu_server}%"
  results+=("$name|idle, link up|${cpu_agent}% (wineserver ${cpu_server}%)")

  stop_agent
  kill "$emulator_pid" 2>/dev/null || true
  wait "$emulator_pid" 2>/dev/null || true
  sed -n 's/^line-emulator: \(. -> .*\)/  line: \1/p' "$work/emulator.log"
}

results=()
for round in $(seq "$repeat"); do
  for agent in "$@"; do
    measure_agent "${agent%%=*}#$round" "$(readlink -f "${agent#*=}")"
  done
done

# The line's own limits beside the figures.
python3 - "$size" <<'PY'
import sys
line = 115200 / 10
frame = lambda payload: 1 + 3 + payload + 2 + 1  # delimiters, header, CRC
ack = frame(0)
print("\nceilings at 115200 baud: line %.0f B/s; stop and wait, 255-byte frames: %.0f B/s" %
      (line, line * 255 / (frame(255) + ack)))
trip = 2 * (frame(7 + 64) + ack)
print("line time of a 64-byte round trip (request, its ACK, reply, its ACK): %.2f ms" % (1000 * trip / line))
PY
echo
printf '%-16s %-20s %s\n' agent measure figure
for result in "${results[@]}"; do
  IFS='|' read -r name measure figure <<<"$result"
  printf '%-16s %-20s %s\n' "$name" "$measure" "$figure"
done
