# Sourced by test scripts: a program that has not ended in its time is a
# failure that says where it waits, not a wait for the test runner's own
# time-out.
#
# run_bounded SECONDS TRACE OUT ERR COMMAND...
#   Runs COMMAND with standard input from /dev/null and its output to OUT and
#   ERR (both "-": the caller's own), and returns its exit status. If it is
#   still running SECONDS after its start, prints a report that starts
#   "FAILED: hung" (what each of its threads is blocked in, whether the
#   server of its Wine prefix still runs, the last lines of TRACE when that
#   file exists), kills it and returns 124.

run_bounded() {
  _rb_limit=$1 _rb_trace=$2 _rb_out=$3 _rb_err=$4
  shift 4
  if [ "$_rb_out" = - ]; then
    "$@" </dev/null &
  else
    "$@" </dev/null >"$_rb_out" 2>"$_rb_err" &
  fi
  _rb_pid=$!
  _rb_end=$(($(date +%s) + _rb_limit))
  while _rb_running "$_rb_pid"; do
    if [ "$(date +%s)" -ge "$_rb_end" ]; then
      echo "FAILED: hung: still running after $_rb_limit s: $*"
      report_hang "$_rb_pid" "$_rb_trace"
      _rb_kill_tree "$_rb_pid"
      wait "$_rb_pid" 2>/dev/null
      return 124
    fi
    sleep 0.1
  done
  wait "$_rb_pid"
}

# report_hang PID [TRACE]: where PID and its descendants wait, and the end
# of TRACE.
report_hang() {
  for _rb_proc in $1 $(_rb_descendants "$1"); do
    [ -d "/proc/$_rb_proc" ] || continue
    echo "  process $_rb_proc: $({ tr -c '[:print:]' ' ' <"/proc/$_rb_proc/cmdline"; } 2>/dev/null | cut -c1-160)"
    # The ELF class of the program: 1 for 32-bit, whose calls are numbered
    # otherwise.
    _rb_class=$(od -An -tu1 -j4 -N1 "/proc/$_rb_proc/exe" 2>/dev/null | tr -d ' ')
    for _rb_task in /proc/"$_rb_proc"/task/*; do
      _rb_call=$(cut -d' ' -f1 "$_rb_task/syscall" 2>/dev/null)
      echo "    thread ${_rb_task##*/}: blocked in $(cat "$_rb_task/wchan" 2>/dev/null)" \
        "(system call ${_rb_call:-?}$(_rb_call_name "${_rb_class:-2}" "$_rb_call"))"
    done
  done
  _rb_wine_server "$1"
  if [ -n "${2:-}" ] && [ -f "$2" ]; then
    echo "  last lines of $2:"
    tail -n 20 "$2" | tr -d '\r' | sed 's/^/    /'
  fi
}

# The Wine prefix that PID runs in (its WINEPREFIX), the prefix's server, and
# its other processes: a Windows program's children are not its children on
# Linux. The server's folder is named in PREFIX/wineserver (Debian's Wine).
_rb_wine_server() {
  _rb_prefix=$({ tr '\0' '\n' <"/proc/$1/environ"; } 2>/dev/null | sed -n 's/^WINEPREFIX=//p' | head -n 1)
  [ -n "$_rb_prefix" ] || return 0
  _rb_folder=$(cat "$_rb_prefix/wineserver" 2>/dev/null)
  _rb_server=
  for _rb_candidate in $(pgrep -f '^[^ ]*wineserver' 2>/dev/null); do
    case $(readlink "/proc/$_rb_candidate/cwd" 2>/dev/null) in
      */"${_rb_folder:-?}"/server-*) _rb_server=$_rb_candidate ;;
    esac
  done
  if [ -n "$_rb_server" ]; then
    echo "  Wine prefix $_rb_prefix: its server runs (process $_rb_server)"
  else
    echo "  Wine prefix $_rb_prefix: its server (${_rb_folder:-folder unknown}) is NOT running"
  fi
  for _rb_other in $(_rb_prefix_processes "$_rb_prefix"); do
    case " $_rb_server $1 $(_rb_descendants "$1") " in
      *" $_rb_other "*) ;;
      *) echo "    another process of the prefix: $_rb_other $({ tr -c '[:print:]' ' ' <"/proc/$_rb_other/cmdline"; } 2>/dev/null | cut -c1-100)" ;;
    esac
  done
}

# The processes started with WINEPREFIX=PREFIX, this shell excepted.
_rb_prefix_processes() {
  for _rb_environ in /proc/[0-9]*/environ; do
    _rb_id=${_rb_environ#/proc/}
    _rb_id=${_rb_id%/environ}
    [ "$_rb_id" = "$$" ] && continue
    { tr '\0' '\n' <"$_rb_environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$1" && echo "$_rb_id"
  done
}

_rb_running() {
  _rb_state=$(ps -o stat= -p "$1" 2>/dev/null)
  [ -n "$_rb_state" ] && [ "${_rb_state#Z}" = "$_rb_state" ]
}

_rb_descendants() {
  for _rb_child in $(pgrep -P "$1" 2>/dev/null); do
    echo "$_rb_child"
    _rb_descendants "$_rb_child"
  done
}

_rb_kill_tree() {
  for _rb_proc in $(_rb_descendants "$1") "$1"; do kill -KILL "$_rb_proc" 2>/dev/null; done
}

# _rb_call_name CLASS NUMBER: the calls a waiting program is usually found
# in, by their x86-64 (class 2) or i386 (class 1) numbers.
_rb_call_name() {
  case $1:${2:-} in
    2:0 | 1:3) echo ": read" ;;
    2:7 | 1:168) echo ": poll" ;;
    2:35 | 1:162) echo ": nanosleep" ;;
    2:230 | 1:267) echo ": clock_nanosleep" ;;
    2:61 | 1:114) echo ": wait4" ;;
    2:202 | 1:240) echo ": futex" ;;
    2:232 | 1:256) echo ": epoll_wait" ;;
    2:271 | 1:309) echo ": ppoll" ;;
  esac
}
