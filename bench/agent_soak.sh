#!/usr/bin/env bash
# The agent relaying for a long time through faults, watched for leaks. The
# agent runs on one end of the line emulator at 115200 baud, which flips a
# bit in a byte now and then, drops one now and then, and stands the line
# still for a while every few minutes; pinpad-sim plays the PIN pad on the
# other end and opens and closes connections without pause to hosts on
# 127.0.0.1 (bench/soak_host.py: echo, sink, a host that floods and closes, a
# host that floods until the PIN pad hangs up, and a port nobody listens on).
# The sessions come round in cycles: payment-like exchanges, many short
# connections, uploads, floods, hang-ups, damaged CRCs, withheld
# acknowledgements, PIN pad resets in mid-transfer, refused connects and
# idle connections; every pinpad-sim run also opens its link afresh, which
# resets the agent's side. Each cycle ends with a clean session, and then the
# agent's resident memory and descriptors are sampled with nothing open: the
# first cycle is the warm-up, its sample the start. After the last cycle the
# script checks that no connection to or from the hosts is left open (the
# hosts' own count, and ss for every TCP socket on their ports that is not
# listening or in TIME-WAIT), and prints start against end.
#
# Under Wine (an AGENT ending in .exe, in a prefix made for the run) the
# figures are the Wine process's, with the Wine server's beside them (the
# server holds the process's handles and the sockets' real descriptors),
# and the handle table size from PROCESS_HANDLES (process_handles.exe of the
# Windows build, if given).
#
# usage: bench/agent_soak.sh [--minutes N] [--process-handles EXE] BUILD_DIR AGENT
#   BUILD_DIR: the Linux build with line-emulator and pinpad-sim (build/linux)
#   e.g. nice -n 5 bench/agent_soak.sh --minutes 30 build/linux build/linux/agent/agent
#        nice -n 5 bench/agent_soak.sh --process-handles build/win64/bench/process_handles.exe \
#          build/linux build/win64/agent/agent.exe
set -euo pipefail

minutes=30
process_handles=
while [ $# -gt 0 ]; do
  case "$1" in
    --minutes) minutes=$2; shift 2 ;;
    --process-handles) process_handles=$(readlink -f "$2"); shift 2 ;;
    *) break ;;
  esac
done
[ $# -eq 2 ] || { sed -n '2,31p' "$0"; exit 2; }
build=$(readlink -f "$1")
agent=$(readlink -f "$2")
here=$(dirname "$(readlink -f "$0")")
emulator=$build/agent/line-emulator
simulator=$build/agent/pinpad-sim
for program in "$emulator" "$simulator" "$agent"; do
  [ -e "$program" ] || { echo "not built: $program"; exit 1; }
done
. "$here/agent_bench_lib.sh"

# Line faults: chances a byte, both ways; a stall every STALL_EVERY seconds.
FLIP=${FLIP:-0.000005}
DROP=${DROP:-0.000002}
STALL_MS=${STALL_MS:-1500}
STALL_EVERY=240
# What the flooding host sends before it closes.
FLOOD_BYTES=60000



python3 "$here/line_host.py" pattern 20000 "$work/upload"

# The hosts, waiting on a connection longer than the run lasts.
python3 "$here/soak_host.py" "$work/hosts" "$FLOOD_BYTES" $((minutes * 60 + 900)) </dev/null >"$work/hosts.log" 2>&1 &
host_pid=$!
pids+=("$host_pid")
wait_for_file "$work/hosts"
host_port() { sed -n "s/^PORTS.* $1=\([0-9]*\).*/\1/p; s/^PORTS $1=\([0-9]*\).*/\1/p" "$work/hosts" | head -1; }
host_count() { sed -n "s/^COUNTS.* $1=\([0-9]*\).*/\1/p" "$work/hosts"; }
ports=()
for kind in echo sink flood endless refused; do ports+=("$(host_port $kind)"); done

# The cable, its stalls spread over the run: alternately the agent's bytes
# (a) and the PIN pad's (b) stand still for STALL_MS. Longer than the 2 s a
# link waits for an acknowledgement, a stall that catches the PIN pad in the
# middle of sending a message makes its link give the rest up, as bit
# flips and drops do when they hit an acknowledgement or a frame's
# delimiter: the agent must then take the PIN pad's next link, opened anew,
# as a fresh stream. FLIP=0 DROP=0 soaks without them.
stalls=()
stall_count=0
for ((at = 90; at < minutes * 60; at += STALL_EVERY)); do
  stalls+=(--stall "$([ $((stall_count % 2)) -eq 0 ] && echo a || echo b):$((at * 1000)):$STALL_MS")
  stall_count=$((stall_count + 1))
done
"$emulator" --flip "$FLIP" --drop "$DROP" "${stalls[@]}" "$work/near" "$work/far" </dev/null >"$work/emulator.log" 2>&1 &
emulator_pid=$!
pids+=("$emulator_pid")
wait_for_file "$work/near"
wait_for_file "$work/far"

# The agent, natively or under Wine.
start_agent soak "$agent"

# --- what is measured -------------------------------------------------------

status_value() { sed -n "s/^$2:[[:space:]]*\([0-9]*\).*/\1/p" "/proc/$1/status"; }
fd_count() { find "/proc/$1/fd" -mindepth 1 -maxdepth 1 | wc -l; }
socket_count() { find "/proc/$1/fd" -mindepth 1 -maxdepth 1 -lname 'socket:*' | wc -l; }

# TCP sockets on the hosts' ports that are neither listening nor in TIME-WAIT
# (a connection's remains after both sides closed): connections still open,
# or half closed, on either side.
open_connections() {
  local pattern
  pattern=$(printf ':%s$|' "${ports[@]}")
  ss -tanH | awk -v ports="${pattern%|}" '$1 != "LISTEN" && $1 != "TIME-WAIT" && ($4 ~ ports || $5 ~ ports)'
}

samples=$work/samples
printf '%-8s %-7s %5s %9s %5s %7s %7s %6s %s\n' time sample made "RSS kB" fds sockets threads tcp \
  "host-open${wineserver_pid:+ | wineserver RSS kB, fds | handle table, threads}" | tee "$samples"
sample() {  # LABEL
  local rss fds sockets threads tcp host_open extra=
  [ -d "/proc/$agent_pid" ] || { echo "the agent has gone"; exit 1; }
  rss=$(status_value "$agent_pid" VmRSS)
  fds=$(fd_count "$agent_pid")
  sockets=$(socket_count "$agent_pid")
  threads=$(status_value "$agent_pid" Threads)
  tcp=$(open_connections | wc -l)
  host_open=$(host_count open)
  if [ -n "$wineserver_pid" ]; then
    extra=" | $(status_value "$wineserver_pid" VmRSS), $(fd_count "$wineserver_pid")"
    if [ -n "$process_handles" ]; then
      local handles
      handles=$(cd "$work" && "$WINE" "$process_handles" "$(basename "$agent")" </dev/null 2>/dev/null |
        sed -n 's/.* handles \([0-9]*\) threads \([0-9]*\).*/\1, \2/p' | head -1)
      extra="$extra | ${handles:-?}"
    fi
  fi
  printf '%-8s %-7s %5s %9s %5s %7s %7s %6s %s\n' "$(($(date +%s) - started))s" "$1" $((connections - sampled_connections)) \
    "$rss" "$fds" "$sockets" "$threads" "$tcp" "$host_open$extra" | tee -a "$samples"
  [ "$1" = end ] || [ $((connections - sampled_connections)) -gt 0 ] || silent_cycles=$((silent_cycles + 1))
  sampled_connections=$connections
  last_rss=$rss last_fds=$fds last_sockets=$sockets last_extra=$extra
}

# --- the sessions -----------------------------------------------------------

connections=0
sampled_connections=0
silent_cycles=0
sims=0
sims_failed=0
pad_sent=0
pad_received=0
data_frames=0
naks=0
bad_crcs=0
withheld_acks=0
pad_resets=0
floods=0
hangups=0
refused=0

# pinpad-sim with the given options to the host of the given kind; counts
# what it reports. A run may fail on purpose (refused) or because a line
# fault lost data and the run waited out its time limit: counted, not fatal.
sim() {  # KIND OPTION...
  local kind=$1 code=0
  shift
  "$simulator" "$@" "$work/far" connect "127.0.0.1:$(host_port "$kind")" \
    </dev/null >/dev/null 2>"$work/sim.log" || code=$?
  sims=$((sims + 1))
  [ "$code" -eq 0 ] || sims_failed=$((sims_failed + 1))
  local summary
  summary=$(sed -n 's/^pinpad-sim: \([0-9]*\) connections: sent \([0-9]*\) bytes, received \([0-9]*\) bytes .*(\([0-9]*\) DATA frames, \([0-9]*\) NAKs)/\1 \2 \3 \4 \5/p' "$work/sim.log")
  if [ -n "$summary" ]; then
    read -r made sent received frames nak <<<"$summary"
    connections=$((connections + made))
    pad_sent=$((pad_sent + sent))
    pad_received=$((pad_received + received))
    data_frames=$((data_frames + frames))
    naks=$((naks + nak))
  fi
  if [ "$code" -ne 0 ] && [ "$kind" != refused ]; then
    echo "    $kind $*: $(grep '^pinpad-sim:' "$work/sim.log" | grep -v ' connections: sent ' | tail -1 | sed 's/^pinpad-sim: //')" >>"$work/failures"
  fi
}

# After the PIN pad has hung up on a flooding host: the agent's link still
# holds up to 32 KiB of that host's data for the line, and a PIN pad that
# opens a new link before the link's acknowledgement time (2 s) has dropped
# it gets the rest of the old stream in its new session, cut in the middle of
# a message, and its requests are never answered. The PIN pad takes a few
# seconds before its next session, as a real one restarting does.
settle() { sleep 3; }

# One cycle, ending with a clean session.
cycle() {
  sim echo --time-limit 20 --connections 5 --exchanges 300,1500,700,1100,900
  sim echo --time-limit 20 --connections 20 --exchanges 64
  sim sink --time-limit 20 --connections 2 --file "$work/upload" --close-after-quiet 500
  sim flood --time-limit 40 --connections 2 --output /dev/null
  floods=$((floods + 2))
  sim endless --time-limit 20 --connections 3 --output /dev/null --close-after-received 8000
  floods=$((floods + 3)) hangups=$((hangups + 3))
  settle
  # Two damaged CRCs in a row: the frame's third sending gets through.
  sim echo --time-limit 20 --connections 3 --bad-crc 2 --exchanges 300,1500
  bad_crcs=$((bad_crcs + 2))
  # The agent gives up a frame left unacknowledged, and what was queued
  # behind it: the PIN pad hangs up on a byte count, not on the stream's end.
  sim endless --time-limit 10 --connections 3 --output /dev/null --withhold-acks 2 --close-after-received 8000
  withheld_acks=$((withheld_acks + 2)) floods=$((floods + 3)) hangups=$((hangups + 3))
  settle
  sim sink --time-limit 20 --connections 3 --reset-after 3000 --file "$work/upload"
  pad_resets=$((pad_resets + 3))
  sim refused --time-limit 20
  refused=$((refused + 1))
  sim echo --time-limit 20 --connections 2 --close-after-quiet 2000
  sim echo --time-limit 20 --connections 2 --exchanges 300,1500,700
}

started=$(date +%s)
: >"$work/failures"
echo "soak: ${minutes} min; line $FLIP flips, $DROP drops a byte, $stall_count stalls of $STALL_MS ms; agent $agent"
cycle
sleep 1
sample start
start_rss=$last_rss start_fds=$last_fds start_sockets=$last_sockets start_extra=$last_extra
cycles=1
while [ $(($(date +%s) - started)) -lt $((minutes * 60)) ]; do
  cycle
  cycles=$((cycles + 1))
  sleep 1
  sample "c$cycles"
  # An agent that has stopped answering will not start again.
  [ "$silent_cycles" -eq 0 ] || break
done
# The last session's close has been acknowledged; a few seconds more for the
# hosts to see every close.
sleep 5
sample end
leftover=$(open_connections)
host_open=$(host_count open)

kill "$agent_pid" 2>/dev/null || true
wait "$agent_pid" 2>/dev/null || true
kill "$emulator_pid" 2>/dev/null || true
wait "$emulator_pid" 2>/dev/null || true
kill "$host_pid" 2>/dev/null || true
wait "$host_pid" 2>/dev/null || true

line_counts() {  # WAY
  sed -n "s/^line-emulator: $1: \([0-9]*\) bytes carried, \([0-9]*\) with a bit flipped, \([0-9]*\) dropped, \([0-9]*\) lost to overrun/\1 carried, \2 flipped, \3 dropped, \4 overrun/p" "$work/emulator.log"
}

echo
echo "summary after $(($(date +%s) - started)) s, $cycles cycles ($(basename "$agent"))"
echo "  RSS kB:           start $start_rss, end $last_rss ($((last_rss - start_rss)) kB)"
echo "  descriptors:      start $start_fds, end $last_fds; sockets start $start_sockets, end $last_sockets"
if [ -n "$wineserver_pid" ]; then
  echo "  wineserver RSS kB, fds${process_handles:+ | handle table, threads}: start${start_extra#? |}, end${last_extra#? |}"
fi
echo "  connections:      $connections made by the PIN pad in $sims pinpad-sim runs ($sims_failed failed, $refused on purpose)"
echo "                    hosts accepted $(host_count accepted), closed $(host_count closed), open at the end $host_open"
echo "  open TCP at end:  $(printf '%s' "$leftover" | grep -c . || true) (sockets on the hosts' ports, not listening or TIME-WAIT)"
[ -z "$leftover" ] || printf '%s\n' "$leftover" | sed 's/^/    /'
echo "  bytes relayed:    PIN pad -> hosts $(host_count received) (the PIN pad sent $pad_sent);" \
  "hosts -> PIN pad $pad_received (the hosts wrote $(host_count sent), floods that the PIN pad hung up on included)"
echo "  faults injected:  $bad_crcs bad CRCs, $withheld_acks withheld ACKs, $pad_resets PIN pad resets in mid-transfer" \
  "(and $sims link opens), $floods host floods ($hangups hung up on), $refused refused connects;" \
  "$naks NAKs received by the PIN pad in $data_frames DATA frames"
echo "  line:             agent -> PIN pad $(line_counts 'a -> b'); PIN pad -> agent $(line_counts 'b -> a'); $stall_count stalls"
if [ -s "$work/failures" ]; then
  echo "  pinpad-sim runs that failed (how often, what):"
  sort "$work/failures" | uniq -c
fi
delta_rss=$((last_rss - start_rss))
verdict=ok
[ "${delta_rss#-}" -le "${RSS_MARGIN_KB:-256}" ] || verdict="RSS moved beyond ${RSS_MARGIN_KB:-256} kB"
[ "$last_fds" -eq "$start_fds" ] || verdict="descriptors differ"
[ -z "$leftover" ] && [ "$host_open" -eq 0 ] || verdict="connections left open"
[ "$silent_cycles" -eq 0 ] || verdict="no connection made in $silent_cycles samples' cycles: the agent stopped answering"
echo "  verdict:          $verdict (margin: RSS ±${RSS_MARGIN_KB:-256} kB, descriptors equal)"
[ "$verdict" = ok ]
