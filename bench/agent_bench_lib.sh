# What the agent's benchmarks over the line emulator share: a work folder
# removed with everything started in it, waiting for a file to appear, and
# starting an agent on the emulator's near end (natively, or under Wine in a
# prefix made for the run). Sourced, not run; WINE and WINESERVER name other
# Wine programs than the 64-bit ones of the system.

WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver64}

work=$(mktemp -d)
pids=()
wineserver_pid=
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  if [ -n "$wineserver_pid" ]; then
    WINEPREFIX=$work/wineprefix "$WINESERVER" -k 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

wait_for_file() {
  local tries=0
  while [ ! -e "$1" ]; do
    tries=$((tries + 1))
    [ "$tries" -gt 600 ] && { echo "gave up waiting for $1"; exit 1; }
    sleep 0.05
  done
}

# Starts the agent PROGRAM in a folder of its own, $work/agent-NAME, relaying
# on COM5, which is the emulator's near end ($work/near); the trace level is
# AGENT_TRACE (0 when unset). Sets agent_pid.
start_agent() {  # NAME PROGRAM
  local folder=$work/agent-$1
  mkdir -p "$folder"
  cp "$2" "$folder/"
  printf 'Enabled=1\r\nTrace=%s\r\n' "${AGENT_TRACE:-0}" >"$folder/agent.ini"
  printf 'ComPort=5\r\n' >"$folder/pinpad.ini"
  if [[ "$2" == *.exe ]]; then
    export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
    unset DISPLAY
    if [ -z "$wineserver_pid" ]; then
      echo "(making a Wine prefix for the run)"
      "$WINE" wineboot --init </dev/null >/dev/null 2>&1
      "$WINESERVER" -w
      "$WINESERVER" -f -p </dev/null >/dev/null 2>&1 &
      wineserver_pid=$!
      "$WINE" wineboot </dev/null >/dev/null 2>&1
    fi
    ln -sfn "$(readlink -f "$work/near")" "$WINEPREFIX/dosdevices/com5"
    (cd "$folder" && exec "$WINE" "$(basename "$2")" run) </dev/null >"$folder/agent.log" 2>&1 &
  else
    mkdir -p "$folder/ports"
    ln -sfn "$(readlink -f "$work/near")" "$folder/ports/com5"
    (cd "$folder" && exec "./$(basename "$2")" run) </dev/null >"$folder/agent.log" 2>&1 &
  fi
  agent_pid=$!
  pids+=("$agent_pid")
}
