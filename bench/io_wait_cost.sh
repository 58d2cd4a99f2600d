#!/usr/bin/env bash
# Runs bench/io_wait_cost (natively, or a .exe under Wine through a build's
# wine-run.sh, in a prefix of its own) and adds to each figure the processor
# time of the prefix's Wine server over the same span, which serves every
# socket request of the program.
#
# usage: bench/io_wait_cost.sh PROGRAM [SECONDS [LIMIT_MS [CONNECTIONS...]]]
#   e.g. bench/io_wait_cost.sh build/linux/bench/io_wait_cost 5 20 55 75 300
#        bench/io_wait_cost.sh build/win64/bench/io_wait_cost.exe 5 20 55 75 300
# A .exe is run with the wine-run.sh of the build it lies in (BUILD/bench/).
set -euo pipefail
[ $# -ge 1 ] || { sed -n '2,11p' "$0"; exit 2; }
program=$(readlink -f "$1")
shift
if [[ "$program" != *.exe ]]; then
  exec "$program" "$@"
fi
runner=$(dirname "$(dirname "$program")")/wine-run.sh
[ -x "$runner" ] || { echo "no $runner"; exit 1; }
export TAVO_WINE_TEST=bench_io_wait_cost
prefix=$(dirname "$runner")/wine-tests/$TAVO_WINE_TEST

. "$(dirname "$(readlink -f "$0")")/process_cpu.sh"
server_pid() {
  for pid in $(pgrep -f wineserver); do
    if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$prefix"; then
      echo "$pid"
      return
    fi
  done
}

"$runner" "$program" "$@" | while read -r line; do
  line=${line%$'\r'}
  case "$line" in
    *"open, waiting")
      server=$(server_pid)
      from=$(cpu_ns "$server")
      wall_from=$(date +%s%N) ;;
    *"of a core")
      used=$(($(cpu_ns "$server") - from))
      wall=$(($(date +%s%N) - wall_from))
      echo "$line; Wine server $(python3 -c "import sys; print('%.2f' % (100.0 * int(sys.argv[1]) / int(sys.argv[2])))" "$used" "$wall") %" ;;
    *) echo "$line" ;;
  esac
done
