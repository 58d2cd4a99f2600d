#!/bin/sh
# The driver against its own test window (driver-target.exe) in the GUI
# session: every kind of command once on a walk through both pages, a
# message box, the modal dialog and the file-open dialog; then the failures
# a test relies on: a wrong expectation, a control the user could not reach,
# a program that stays busy or never shows its window, a script that cannot
# be read. A failed script must leave no program behind.
#
# usage: driver_gui_test.sh SESSION DRIVER_EXE TARGET_EXE
set -u
session=$1
. "$session/env"
work=$GUI_DISK
rm -rf "${work:?}"/*
cp "$2" "$work/driver.exe"
cp "$3" "$work/driver-target.exe"
mkdir "$work/lib" && : >"$work/lib/corvo_nt.dll"
cd "$work" || exit 1

failures=0
fail() {
  echo "FAILED: $1"
  for file in out err; do [ -s "$work/$file" ] && { echo "--- $file"; cat "$work/$file"; }; done
  failures=$((failures + 1))
}

# Whether a program of that file name still runs once its Unix process has
# had a moment to go after Windows reported it ended.
still_running() {
  # A terminated Wine process may outlive its signalled handle by a moment
  # on a loaded machine; ten seconds tell that from a program left behind.
  for _ in $(seq 50); do
    pgrep -f "^\"?[^ ]*$1" >/dev/null || return 1
    sleep 0.2
  done
}

# drive NAME EXIT_CODE: runs the script on standard input and checks the
# driver's exit code; the target must be gone afterwards.
drive() {
  cat >"$work/script"
  "$WINE" driver.exe script >"$work/out" 2>"$work/err" </dev/null
  code=$?
  [ "$code" -eq "$2" ] || fail "$1: exit code $code, expected $2"
  if still_running 'driver-target\.exe'; then
    fail "$1: the target is still running"
    # Ends every program of this session's prefix, and nothing else.
    "$WINESERVER" -k
  fi
}

# Reason for a failure, as the driver words it.
expect_error() {
  grep -qF -- "$2" "$work/err" || fail "$1: no \"$2\" in the driver's complaint"
}

drive walkthrough 0 <<'EOF'
start driver-target.exe
expect caption "TAVO Test V2.2"
expect log "Список портов в системе:\nCOM1\nCOM3\n"
print log
expect status "Рабочий каталог TAVO:  НЕ ЗАДАН"
expect page "Тесты/Настройки"
expect-items cbb1 COM1 COM3
expect cbb1 COM1
select cbb1 "#2"
expect cbb1 COM3
click btn4
expect log "probing COM3"
# blocks the target's thread for 1.5 s; the next check must see its result
click btn10
expect log "clicked btn10 after a pause"
click Обновить
expect-contains log btn5
expect-lacks log btn10

switch-page Транзакции
expect log "page Транзакции"
expect page Транзакции
expect-state btn1 visible enabled
expect lbl1 "Библиотека dlfx.dll не зарегистрирована"
click btn1
expect log "clicked btn1\nsecond line\n"
expect-caret mmo1 0
check chk1
expect-state chk1 checked
click btn19
expect log "chk1 checked"
uncheck chk1
click btn19
expect log "chk1 clear"
check rb2
expect-state rb1 unchecked
click btn8
expect log "rb2 chosen"
key enter
expect log "clicked btn7"

switch-page 1
click btn14
wait-window #32770 "TAVO Test"
expect message "Продолжить?\nДа или нет"
print message
click no
expect log "answer no"

click btn13
wait-window TSelectTavoDirDlg
expect caption "Выбор рабочего каталога TAVO"
expect-state btn2 disabled
expect-items lst1 "C:\\first\\" "C:\\second\\"
select lst1 "C:\\second\\"
expect status "C:\\second\\"
click btn1
expect log "chosen C:\\second\\"
expect status "Рабочий каталог TAVO: C:\\second\\"
click btn13
wait-window TSelectTavoDirDlg
double-click lst1 "C:\\first\\"
expect status "Рабочий каталог TAVO: C:\\first\\"
click btn13
wait-window TSelectTavoDirDlg
close
expect log "chosen C:\\first\\"

click btn15
wait-window #32770
open-file "Z:\\lib\\corvo_nt.dll"
expect log "opened Z:\\lib\\corvo_nt.dll"
click btn15
wait-window #32770
type file-name "Z:\\lib\\corvo_nt.dll"
click cancel
expect log "open cancelled"
close
EOF
printf 'Список портов в системе:\nCOM1\nCOM3\n\nПродолжить?\nДа или нет\n' >"$work/expected"
cmp -s "$work/out" "$work/expected" || fail "walkthrough: printed text differs from the expected"

drive "wrong expectation" 1 <<'EOF'
start driver-target.exe
expect status "Рабочий каталог TAVO: НЕ ЗАДАН"
EOF
expect_error "wrong expectation" \
  'line 2: expect: status shows "Рабочий каталог TAVO:  НЕ ЗАДАН", expected "Рабочий каталог TAVO: НЕ ЗАДАН"'

drive "control on the hidden page" 1 <<'EOF'
start driver-target.exe
click btn1
EOF
expect_error "control on the hidden page" "btn1 cannot be used now: it or a window above it is hidden"

drive "main window under a modal dialog" 1 <<'EOF'
start driver-target.exe
click btn13
wait-window TSelectTavoDirDlg
main-window
click btn5
EOF
expect_error "main window under a modal dialog" "btn5 cannot be used now: it or a window above it is disabled"

drive "busy program" 1 <<'EOF'
start driver-target.exe
timeout 1
click btn10
EOF
expect_error "busy program" "line 3: click: the program was still busy after 1 s"

drive "no such entry" 1 <<'EOF'
start driver-target.exe
select cbb1 COM2
EOF
expect_error "no such entry" 'no entry "COM2"; the entries are: "COM1", "COM3"'

drive "unreadable script" 2 <<'EOF'
start driver-target.exe
expect log "unclosed
EOF
expect_error "unreadable script" "line 2: the quote is not closed"

drive "unknown command" 2 <<'EOF'
start driver-target.exe
press btn1
EOF
expect_error "unknown command" "line 2: press: unknown command"

drive "no main window" 1 <<'EOF'
timeout 2
start C:\windows\notepad.exe
EOF
expect_error "no main window" "no main window (TMainForm) within 2 s; the program shows:"
still_running 'notepad\.exe' && fail "no main window: notepad is still running"

[ "$failures" -eq 0 ] || exit 1
echo "driver: walkthrough and failures as expected"
