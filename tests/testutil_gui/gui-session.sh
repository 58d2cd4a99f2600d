#!/bin/sh
# A virtual X server and a Wine session of their own, for driving windows.
#
#   gui-session.sh start SESSION WINE WINESERVER   start both (the prefix is made on first use)
#   gui-session.sh run SESSION COMMAND...          run COMMAND in the session's environment
#   gui-session.sh stop SESSION                    end both
#
# SESSION is a folder: wineprefix/ the Wine prefix, disk/ the folder that
# the prefix's drive Z: shows (the tests put their files there), env the
# environment for `run` and for test scripts to source, xvfb.pid, xvfb.log.
#
# Why not the build's shared Wine session: it is started without a display,
# and a Wine session draws its windows wherever its desktop process (started
# with the session) was told to; a program started later with DISPLAY set
# still gets no window on the X server. So the GUI tests have their own
# prefix and wineserver, started with DISPLAY pointing at their own Xvfb.
#
# The prefix shows its windows inside one virtual desktop window, as on
# Windows: there is no window manager under Xvfb, and without one Wine's
# top-level windows would have neither frame nor caption, and focus would
# follow no rules.
#
# Drives are kept small: TavoTest's working-directory search walks every
# fixed disk, and in a new prefix Z: is the whole Linux root. Here Z: is
# SESSION/disk and C: the prefix's own drive_c, so a search takes seconds.
#
# The session speaks Russian, as the point of sale does: TavoTest's files and
# the payment core's texts are in the ANSI code page, 1251 on a Russian
# Windows. Wine takes its code page (and date formats) from the name of the
# locale it starts in, and its character set for Unix file names from that
# locale's data; a locale folder of the session's own that calls the
# system's C.UTF-8 data "ru_RU.UTF-8" gives both.
#
# COM7 is a serial port of the session whatever the machine has: it leads to
# SESSION/pinpad-line, where a test can link a pseudo-terminal with a PIN pad
# on its other end. Wine lists it in HARDWARE\DEVICEMAP\SERIALCOMM ahead of
# the ports it finds itself.
set -u
command=${1:-}
session=${2:-}
[ -n "$command" ] && [ -n "$session" ] || { echo "usage: $0 start|run|stop SESSION ..." >&2; exit 2; }
mkdir -p "$session/disk" && session=$(cd "$session" && pwd)

stop_session() {
  if [ -f "$session/env" ]; then
    (. "$session/env" && "$WINESERVER" -k 2>/dev/null)
  fi
  if [ -f "$session/xvfb.pid" ]; then
    pid=$(cat "$session/xvfb.pid")
    # Only the X server this session started, never another one.
    [ "$(cat /proc/"$pid"/comm 2>/dev/null)" = Xvfb ] && kill "$pid"
    rm -f "$session/xvfb.pid"
  fi
  rm -f "$session/env"
}

start_xvfb() {
  command -v Xvfb >/dev/null || { echo "Xvfb is not installed (scripts/setup installs it)"; exit 1; }
  rm -f "$session/display"
  # Xvfb picks a free display and writes its number to descriptor 3 once it
  # accepts clients; its output goes to a file, never to the test runner.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$session/display" \
    </dev/null >"$session/xvfb.log" 2>&1 &
  echo $! >"$session/xvfb.pid"
  tries=0
  while [ ! -s "$session/display" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ] || ! kill -0 "$(cat "$session/xvfb.pid")" 2>/dev/null; then
      echo "Xvfb did not start:"; cat "$session/xvfb.log"; exit 1
    fi
    sleep 0.1
  done
  display=":$(head -n 1 "$session/display")"
}

make_locale() {
  for c_utf8 in /usr/lib/locale/C.utf8 /usr/lib/locale/C.UTF-8; do
    if [ -e "$c_utf8/LC_CTYPE" ]; then
      mkdir -p "$session/locale"
      ln -sfn "$c_utf8" "$session/locale/ru_RU.UTF-8"
      return
    fi
  done
  echo "no C.UTF-8 locale data to stand in for ru_RU.UTF-8"; exit 1
}

write_env() {
  cat >"$session/env" <<EOF
export WINEPREFIX='$session/wineprefix'
export WINESERVER='$wineserver'
export WINE='$wine'
export WINEDEBUG=-all
export WINEDLLOVERRIDES='mscoree,mshtml,winemenubuilder.exe='
export DISPLAY='$display'
export GUI_DISK='$session/disk'
export LOCPATH='$session/locale'
# A shell that reads this file cannot take the locale itself; Wine can.
export LC_ALL=ru_RU.UTF-8 2>/dev/null
EOF
}

make_prefix() {
  "$WINE" wineboot --init </dev/null >"$session/wineboot.log" 2>&1 || { cat "$session/wineboot.log"; exit 1; }
  "$WINESERVER" -w
  reg() { "$WINE" reg add "$@" /f </dev/null >>"$session/wineboot.log" 2>&1 || { cat "$session/wineboot.log"; exit 1; }; }
  reg 'HKCU\Software\Wine\Explorer' /v Desktop /d Default
  reg 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768
  # A program that crashes ends instead of waiting in a crash dialog.
  reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
  reg 'HKLM\Software\Wine\Ports' /v COM7 /d "$session/pinpad-line"
  # Wine has no Courier New, TavoTest's log font; a Linux monospace font with
  # Cyrillic letters stands in (Wine's own fallback is proportional).
  reg 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v 'Courier New' /d 'Liberation Mono'
  "$WINESERVER" -w
}

case "$command" in
  start)
    wine=$3
    wineserver=$4
    stop_session
    start_xvfb
    make_locale
    write_env
    . "$session/env"
    [ -f "$WINEPREFIX/system.reg" ] || make_prefix
    ln -sfn "$session/disk" "$WINEPREFIX/dosdevices/z:"
    "$WINESERVER" -p </dev/null >/dev/null 2>&1
    # The desktop and Wine's service processes start here, with the display
    # set, and not inside the first test.
    "$WINE" wineboot </dev/null >/dev/null 2>&1
    echo "Xvfb on $DISPLAY, Wine prefix $WINEPREFIX, Z: is $session/disk" ;;
  run)
    [ -f "$session/env" ] || { echo "no session in $session; start it first" >&2; exit 2; }
    . "$session/env"
    shift 2
    exec "$@" ;;
  stop)
    stop_session ;;
  *)
    echo "usage: $0 start|run|stop SESSION ..." >&2; exit 2 ;;
esac
