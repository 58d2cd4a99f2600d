#!/usr/bin/env bash
# usage: tavotest_gui_test.sh SCENARIO SESSION TAVOTEST_EXE DRIVER_EXE DOUBLE_FOLDER
#
# TavoTest.exe driven through its windows by tavotest-driver in the GUI
# session (gui-session.sh), with the payment core double as the payment
# core. Z: holds app\ (TavoTest, the driver, error_list, pay_stack, the
# cheque archive) and the double's folder. SCENARIO:
#   startup   the start-up log, status, label and pages; the transactions page
#             with nothing set up opens the working-directory dialog; the
#             refresh glyph is a whole circular arrow
#   workdir   the disk search finds the double's folder and no CORVO_NT.DLL;
#             choosing by list, double click and the file-open dialog
#   library   payment, cancellation and refund through corvo_nt.dll: log,
#             pay_stack, cheque archive, the double's calls
#   stack     reconciliation and auto test refused by the stack, the warning
#             on the transactions page, the cancellation takes the larger
#             payment, then a reconciliation clears the stack; Enter presses
#             the focused button, else the default one; a refusal listing
#             2,100 payments shows them all
#   errors    result and response codes with their texts from error_list;
#             a response code that is not a number
#   com       the COM server registered by the program's own button (in a
#             folder with a blank in its name), a refund through it,
#             unregistered again
#   pinpad    probing, key status and key deletion against a PIN pad on the
#             far end of COM7
#   hosts     reachability of listeners on 127.0.0.1, 127.0.0.2 down; a host
#             named otherwise than by its address is said to be replaced
set -u
scenario=$1 session=$2 tavotest=$3 driver=$4 double_folder=$5
here=$(cd "$(dirname "$0")" && pwd)
. "$session/env"
disk=$GUI_DISK
app=$disk/app
core=$disk/core
core_windows='Z:\\core\\'  # as the driver's scripts write it
failures=0
helpers=""

cleanup() {
  for pid in $helpers; do kill "$pid" 2>/dev/null; done
  rm -f "$session/pinpad-line"
}
trap cleanup EXIT

fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# A fresh Z: with the program, the driver and the double.
prepare() {
  rm -rf "${disk:?}"/*
  mkdir -p "$app" "$core"
  cp "$tavotest" "$app/TavoTest.exe"
  cp "$driver" "$app/driver.exe"
  cp "$double_folder"/corvo_nt.dll "$double_folder"/dlfx.dll "$double_folder"/dlfxcom.dll "$core/"
}

# cp1251 FILE: standard input (UTF-8, one line a line) written as the
# program and the payment core keep text: code page 1251, CR LF.
cp1251() {
  sed 's/$/\r/' | iconv -f UTF-8 -t CP1251 >"$1"
}

# utf8 FILE: a code page 1251 file as UTF-8 with bare line feeds.
utf8() {
  iconv -f CP1251 -t UTF-8 "$1" | tr -d '\r'
}

# quote TEXT: TEXT as a quoted word of a driver script.
quote() {
  local text=${1//\\/\\\\}
  text=${text//\"/\\\"}
  printf '"%s"' "${text//$'\n'/\\n}"
}

# drive NAME: runs the driver script on standard input in the program's
# folder; on failure shows why, with the double's call log. Never at the end
# of a pipe, where it would count its failures in a subshell.
drive() {
  cat >"$app/script"
  (cd "$app" && "$WINE" driver.exe script >"$app/driver.out" 2>"$app/driver.err" </dev/null)
  local code=$?
  if [ "$code" -ne 0 ]; then
    fail "$1: the driver exited with $code"
    cat "$app/driver.err"
    if [ -f "$core/calls.log" ]; then echo "--- calls.log"; cat "$core/calls.log"; fi
  fi
}

# The program started and its working directory chosen as a user does:
# search, pick, choose.
start_with_core() {
  cat <<EOF
start TavoTest.exe
click btn13
wait-window TSelectTavoDirDlg
click btn2
expect status "Поиск завершен. Найдено: 1"
select lst1 "$core_windows"
click btn1
expect status "Рабочий каталог TAVO: $core_windows"
EOF
}

# calls_equal NAME EXPECTED: the double's call log, line ends aside.
calls_equal() {
  local actual
  actual=$(tr -d '\r' <"$core/calls.log" 2>/dev/null)
  [ "$actual" = "$2" ] || fail "$1: the double was called as
$actual
expected
$2"
}

# archived PREFIX: finds the one archived cheque whose name starts with
# PREFIX, as $archived_file.
archived() {
  archived_file=$(find "$app/Cheque" -type f -name "$1*.txt" 2>/dev/null)
  if [ "$(printf '%s' "$archived_file" | grep -c .)" -ne 1 ]; then
    fail "not exactly one cheque \"$1...\" in the archive: $(cd "$app" && find Cheque -type f 2>/dev/null)"
    return 1
  fi
}

# green_halves BMP: how many pixels of the refresh glyph's green lie in the
# left half and in the bottom half of a 24-bit BMP, as "LEFT BOTTOM".
green_halves() {
  python3 - "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
offset, = struct.unpack_from("<I", data, 10)
width, height = struct.unpack_from("<ii", data, 18)
row = (width * 3 + 3) & ~3
left = bottom = 0
for y in range(height):  # rows are stored bottom-up
    for x in range(width):
        b, g, r = data[offset + y * row + 3 * x:offset + y * row + 3 * x + 3]
        if g > 90 and r < 60 and b < 60:
            left += x < width // 2
            bottom += y < height // 2
print(left, bottom)
PY
}

# The ports Wine lists in the order of the registry, and so the log at start.
registry_ports() {
  "$WINE" reg query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' 2>/dev/null | tr -d '\r' | awk '/REG_SZ/ { print $3 }'
}

scenario_startup() {
  local ports first port_items=""
  ports=$(registry_ports)
  first=$(printf '%s\n' "$ports" | head -n 1)
  for port in $ports; do port_items="$port_items $port"; done
  [ -n "$first" ] || fail "startup: the session lists no serial port"
  prepare
  drive "start and close" <<'EOF'
start TavoTest.exe
close
EOF
  drive "startup" <<EOF
start TavoTest.exe
expect caption "TAVO Test V2.2"
expect log $(quote "Список портов в системе:
$ports
")
expect-items cbb1$port_items
expect cbb1 $first
expect status "Рабочий каталог TAVO:  НЕ ЗАДАН"
expect page Тесты/Настройки
expect lbl1 "Библиотека dlfx.dll не зарегистрирована"
expect-state chk1 unchecked
expect-state rb1 checked
expect-state rb2 unchecked
# No COM server, no working directory, no stacked payment: counting the
# unconfirmed operations asks the library, which needs the directory.
switch-page Транзакции
wait-window TSelectTavoDirDlg
expect caption "Выбор рабочего каталога TAVO"
expect-items lst1
expect status ""
click btn3
expect status "Рабочий каталог TAVO: "
expect log "Библиотека dlfx.dll не зарегистрирована. Для использования функций TAVO необходимо произвести поиск каталога с TAVO.\nБиблиотека не найдена!"
screenshot refresh.bmp btn16
switch-page Тесты/Настройки
expect log $(quote "Список портов в системе:
$ports")
close
EOF
  # The refresh glyph is an arc round most of a circle, not an arrow head
  # alone in the top right corner.
  local halves left bottom
  halves=$(green_halves "$app/refresh.bmp")
  read -r left bottom <<<"$halves"
  [ "${left:-0}" -ge 10 ] && [ "${bottom:-0}" -ge 10 ] ||
    fail "startup: the refresh glyph's green pixels, left half and bottom half: ${halves:-none}"
}

scenario_workdir() {
  prepare
  mkdir "$disk/upper"
  cp "$core/corvo_nt.dll" "$disk/upper/CORVO_NT.DLL"
  drive "search" < <(start_with_core; cat <<'EOF'
expect log "Рабочий каталог TAVO изменен на:\nZ:\\core\\"
# The dialog keeps its list, and closing it keeps the directory.
click btn13
wait-window TSelectTavoDirDlg
expect-items lst1 "Z:\\core\\"
expect status "Z:\\core\\"
double-click lst1 "Z:\\core\\"
expect log "Рабочий каталог TAVO изменен на:\nZ:\\core\\"
click btn13
wait-window TSelectTavoDirDlg
close
expect status "Рабочий каталог TAVO: Z:\\core\\"
close
EOF
  )
  drive "file-open dialog" <<'EOF'
start TavoTest.exe
click btn13
wait-window TSelectTavoDirDlg
# An empty list: the file-open dialog. Cancelled with nothing chosen yet,
# the dialog stays.
click btn1
wait-window #32770
click cancel
expect caption "Выбор рабочего каталога TAVO"
click btn1
wait-window #32770
open-file "Z:\\upper\\CORVO_NT.DLL"
expect status "Рабочий каталог TAVO: Z:\\upper\\"
# Cancelled with a directory chosen, the dialog closes and keeps it.
click btn13
wait-window TSelectTavoDirDlg
click btn1
wait-window #32770
click cancel
expect status "Рабочий каталог TAVO: Z:\\upper\\"
expect log "Рабочий каталог TAVO изменен на:\nZ:\\upper\\"
close
EOF
}

scenario_library() {
  prepare
  cp1251 "$core/scenario.ini" <<'EOF'
[_card_authorize6]
text = >>ТЕСТБАНК
text = Москва:1
text = Терминал: 00004711
text = ОПЛАТА
text = Сумма: 0,01 руб.
text = \x20
text =
EOF
  local cheque='ТЕСТБАНК\nМосква:1\nТерминал: 00004711\nОПЛАТА\nСумма: 0,01 руб.\n'
  drive "payment" < <(start_with_core; cat <<EOF
switch-page Транзакции
expect lbl1 "Библиотека dlfx.dll не зарегистрирована"
click btn2
expect log "$cheque"
expect-caret mmo1 0
EOF
  )
  [ "$(cat "$app/pay_stack" 2>/dev/null)" = $'1\r' ] || fail "payment: pay_stack is not the line 1: $(od -c "$app/pay_stack" 2>&1)"
  if archived "Оплата от "; then
    case "$archived_file" in
      "$app/Cheque/ТЕСТБАНК/Москва1/4711/Оплата от "??.??.????" в "??-??-??.txt) ;;
      *) fail "payment: the cheque lies at ${archived_file#"$app/"}" ;;
    esac
    [ "$(utf8 "$archived_file")" = "$(printf "$cheque")" ] ||
      fail "payment: the archived cheque holds $(utf8 "$archived_file")"
  fi
  calls_equal "payment" "library _get_statistics type=0 amount=0 result=0
library _card_authorize6 type=1 amount=1 result=0"

  # The stack survives the restart; the cancellation takes its amount, and
  # with the stack empty there is nothing to cancel and no call.
  : >"$core/calls.log"
  drive "cancellation and refund" < <(start_with_core; cat <<'EOF'
switch-page Транзакции
click btn11
expect-contains log "ОПЛАТА"
click btn11
expect log "Операции не найдены"
click btn12
expect-contains log "Сумма: 0,01 руб."
close
EOF
  )
  [ -e "$app/pay_stack" ] && fail "cancellation: pay_stack is left: $(od -c "$app/pay_stack")"
  # The library knows no refund: it is sent and filed as a cancellation.
  calls_equal "cancellation and refund" "library _card_authorize6 type=3 amount=1 result=0
library _card_authorize6 type=3 amount=1 result=0"
  [ "$(find "$app/Cheque" -name 'Отмена от *.txt' | wc -l)" -ge 1 ] || fail "refund: no cancellation cheque"
  [ -z "$(find "$app/Cheque" -name 'Возврат от *')" ] || fail "refund: filed as a refund"
}

scenario_stack() {
  prepare
  printf '1\r\n150\r\n' >"$app/pay_stack"
  local refused='Осталось несколько неотмененных операций на следующие суммы:\n0,01 р.\n1,5 р.\n\nСверку итогов можно провести только при наличии 1 операции на сумму 0,01 р., либо при отсутсвии операций.'
  drive "refused" <<EOF
start TavoTest.exe
switch-page Транзакции
expect log "Библиотека dlfx.dll не зарегистрирована. Для использования функций TAVO необходимо произвести поиск каталога с TAVO.\n\n!!!Остались неподтвержденные операции!!!\nКоличество операций: 2\n\nПрежде чем выполнять тесты необходимо произвести сверку итогов из кассового ПО, если это возможно."
click btn1
expect log "$refused"
click btn16
expect-contains log "Количество операций: 2"
# With the focus on a control that is no push button, Enter starts the
# default button, the auto test, which stops at its first step, the refused
# reconciliation.
check chk1
key enter
expect log "$refused"
expect-caret mmo1 0
close
EOF
  [ -e "$core/calls.log" ] && fail "refused: the payment core was called: $(cat "$core/calls.log")"
  [ "$(cat "$app/pay_stack")" = $'1\r\n150\r' ] || fail "refused: pay_stack changed: $(od -c "$app/pay_stack")"

  # Enter presses the button that has the focus, here "Сверка" once more,
  # not the auto test with its payment and refund.
  drive "cancel then reconcile" < <(start_with_core; cat <<'EOF'
switch-page Транзакции
click btn11
click btn1
expect-contains log "СВЕРКА ИТОГОВ"
key enter
expect-contains log "СВЕРКА ИТОГОВ"
close
EOF
  )
  calls_equal "cancel then reconcile" "library _card_authorize6 type=3 amount=150 result=0
library _close_day type=7 amount=0 result=0
library _close_day type=7 amount=0 result=0"
  [ -e "$app/pay_stack" ] && fail "reconcile: pay_stack is left: $(od -c "$app/pay_stack")"
  [ -n "$(find "$app/Cheque" -type f -name 'Сверка от *.txt')" ] || fail "reconcile: no cheque filed"

  # A refusal that lists 2,100 payments: more text than an edit control
  # takes unless told otherwise. Rewriting the whole panel for every line
  # took minutes under Wine, appending takes seconds (log_panel_timing.sh
  # measures it). The click is given four minutes: a 32-bit Wine under
  # emulation needs more than one.
  for _ in $(seq 2100); do printf '2147483647\r\n'; done >"$app/pay_stack"
  drive "long refusal" <<'EOF'
start TavoTest.exe
switch-page Транзакции
timeout 240
click btn1
timeout 30
expect-contains log "0,01 р., либо при отсутсвии операций."
print log
close
EOF
  local listed
  listed=$(grep -cx '21474836,47 р.' "$app/driver.out")
  [ "$listed" = 2100 ] || fail "long refusal: the log lists $listed payments of 2100"
}

scenario_errors() {
  prepare
  cp1251 "$app/error_list" <<'EOF'
4451=Отказ эмитента
51=Недостаточно средств
EOF
  cp1251 "$core/scenario.ini" <<'EOF'
[_card_authorize6]
result = 4451, 4452, 0
code = 051
message = ОТКАЗ
EOF
  drive "codes" < <(start_with_core; cat <<'EOF'
switch-page Транзакции
click btn2
expect log "Ошибка: 4451\n\nОтказ эмитента"
click btn2
expect log "Ошибка: 4452\n\nОт фронтальной системы получен код ответа 52"
click btn2
expect log "ОТКАЗ           : 051\n\nНедостаточно средств"
close
EOF
  )
  [ -e "$app/pay_stack" ] && fail "codes: a refused payment was stacked"
  [ -d "$app/Cheque" ] && fail "codes: a refused payment was archived"

  # The auto test stops at the refused payment: no refund, no second
  # reconciliation; the log shows the last step.
  cp1251 "$core/scenario.ini" <<'EOF'
[_card_authorize6]
result = 4451
EOF
  : >"$core/calls.log"
  drive "auto test" < <(start_with_core; cat <<'EOF'
switch-page Транзакции
click btn7
expect log "Ошибка: 4451\n\nОтказ эмитента"
expect-caret mmo1 0
close
EOF
  )
  calls_equal "auto test" "library _get_statistics type=0 amount=0 result=0
library _close_day type=7 amount=0 result=0
library _card_authorize6 type=1 amount=1 result=4451"

  cp1251 "$core/scenario.ini" <<'EOF'
[_card_authorize6]
code = x1
EOF
  drive "response code that is no number" < <(start_with_core; cat <<'EOF'
switch-page Транзакции
click btn2
wait-window #32770
print message
click ok
click btn17
expect log "Пин-пад подключен и исправен"
close
EOF
  )
  [ -s "$app/driver.out" ] || fail "no number: the message box had no text"
  [ -e "$app/pay_stack" ] && fail "no number: the payment was stacked"
}

# reg_key_present KEY: whether the session's registry has KEY.
reg_key_present() {
  "$WINE" reg query "$1" >/dev/null 2>&1
}

# wait_registry present|absent KEY: regsvr32 runs on its own; wait for it.
wait_registry() {
  for _ in $(seq 100); do
    if [ "$1" = present ]; then reg_key_present "$2" && return 0; else reg_key_present "$2" || return 0; fi
    sleep 0.2
  done
  fail "com: $2 is not $1 after 20 s"
}

scenario_com() {
  prepare
  mv "$core" "$disk/tavo core"
  core="$disk/tavo core"
  core_windows='Z:\\tavo core\\'
  drive "registration" < <(start_with_core; cat <<'EOF'
click btn14
close
EOF
  )
  wait_registry present 'HKCR\DLFXSRV.Server\CLSID'
  wait_registry present 'HKCR\CLSID\{C6165F79-39F7-46CD-A7E2-FF62C8D648FF}\InprocServer32'

  drive "refund through the COM server" < <(start_with_core; cat <<'EOF'
switch-page Транзакции
expect lbl1 "Библиотека dlfx.dll зарегистрирована"
expect log "Библиотека dlfx.dll зарегистрирована. Можно использовать функции TAVO."
click btn12
expect-contains log "ВОЗВРАТ"
switch-page Тесты/Настройки
click btn15
close
EOF
  )
  calls_equal "refund through the COM server" "com Clear
com NFun 6002 result=0
com GParamString Cheque
com Clear
com Clear
com Sparam Amount=1
com NFun 4002 Amount=1 result=0
com GParamString Cheque
com GParamString AmountClear
com Clear"
  archived "Возврат от "
  wait_registry absent 'HKCR\DLFXSRV.Server'

  drive "unregistered" <<'EOF'
start TavoTest.exe
switch-page Транзакции
wait-window TSelectTavoDirDlg
click btn3
expect lbl1 "Библиотека dlfx.dll не зарегистрирована"
close
EOF
}

# A PIN pad on the far end of COM7: socat joins two pseudo-terminals, the
# near end is the session's COM7, and the responder answers on the far end.
start_line() {
  socat pty,raw,echo=0,link="$disk/near" pty,raw,echo=0,link="$disk/far" </dev/null >"$disk/socat.log" 2>&1 &
  helpers="$helpers $!"
  for _ in $(seq 100); do
    [ -e "$disk/near" ] && [ -e "$disk/far" ] && break
    sleep 0.1
  done
  [ -e "$disk/far" ] || { fail "pinpad: socat made no pseudo-terminals"; return 1; }
  ln -sfn "$(readlink -f "$disk/near")" "$session/pinpad-line"
}

# start_responder [garbage]: the PIN pad on the far end; its id in $responder.
start_responder() {
  python3 "$here/pinpad_responder.py" "$(readlink -f "$disk/far")" "$disk/pinpad.log" "$@" \
    </dev/null >"$disk/responder.log" 2>&1 &
  responder=$!
  helpers="$helpers $responder"
}

scenario_pinpad() {
  prepare
  start_line || return
  start_responder
  local ports
  ports=$(registry_ports)
  drive "pinpad" < <(start_with_core; cat <<EOF
select cbb1 COM7
click btn4
expect log "COM7  -->  1234567890GK"
click btn3
expect-contains log $(quote "Список портов в системе:
$ports

")
expect-contains log "COM7  -->  1234567890GK"
select cbb1 COM7
switch-page Транзакции
click btn6
expect log "S/N: 1234567890GK\n\nPIN: НЕТ\nMAC: ЕСТЬ\nKLK: НЕТ"
check rb2
click btn8
expect log "Ключ MAC удален"
check rb1
click btn8
expect log "Не удалось удалить ключ. Проверьте настройки COM порта"
close
EOF
  )
  local frames
  frames=$(cat "$disk/pinpad.log" 2>/dev/null)
  [ "$frames" = "A20000A0
A20000A0
A20000A0
E9010001EB
E9010000EA" ] || fail "pinpad: the PIN pad received
$frames"

  kill "$responder"
  start_responder garbage
  drive "pinpad answering garbage" < <(start_with_core; cat <<'EOF'
select cbb1 COM7
click btn4
expect log "COM7  -->  Устройство не определено"
select cbb1 COM7
switch-page Транзакции
click btn6
expect log "Ошибка открытия порта. Проверьте настройки COM порта"
click btn8
expect log "Не удалось удалить ключ. Проверьте настройки COM порта"
close
EOF
  )
}

scenario_hosts() {
  prepare
  # Two listeners on 127.0.0.1 at ports chosen now stand in for the
  # processing host's 670 and 666; nobody listens on 127.0.0.2.
  python3 - "$disk/accepted" >"$disk/listener.log" 2>&1 <<'PY' &
import socket, sys
servers = []
for _ in range(2):
    server = socket.socket()
    server.bind(("127.0.0.1", 0))
    server.listen(4)
    servers.append(server)
with open(sys.argv[1] + ".ports", "w") as ports:
    ports.write(" ".join(str(server.getsockname()[1]) for server in servers))
open(sys.argv[1] + ".ready", "w").close()
for server in servers:
    peer, _ = server.accept()
    peer.close()
    with open(sys.argv[1], "a") as accepted:
        accepted.write("%d\n" % server.getsockname()[1])
PY
  helpers="$helpers $!"
  for _ in $(seq 50); do [ -e "$disk/accepted.ready" ] && break; sleep 0.1; done
  [ -e "$disk/accepted.ready" ] || { fail "hosts: no listeners on 127.0.0.1: $(cat "$disk/listener.log")"; return; }
  read -r first second <"$disk/accepted.ports"
  printf 'Host1=127.0.0.1\r\nHost2=127.0.0.2\r\nPort1=%s\r\nPort2=%s\r\n' "$first" "$second" >"$app/TavoTest.ini"
  drive "hosts" <<EOF
start TavoTest.exe
click btn10
expect log "127.0.0.1:$first  -->  Доступ открыт\n127.0.0.1:$second  -->  Доступ открыт\n!!127.0.0.2:$first  -->  Нет доступа!!\n!!127.0.0.2:$second  -->  Нет доступа!!"
close
EOF
  for _ in $(seq 20); do [ "$(wc -l <"$disk/accepted" 2>/dev/null)" = 2 ] && break; sleep 0.1; done
  [ "$(cat "$disk/accepted" 2>/dev/null)" = "$first"$'\n'"$second" ] || fail "hosts: the listeners saw $(cat "$disk/accepted" 2>/dev/null)"

  # A host given by name is not looked up: the log says which placeholder
  # is tried instead.
  printf 'Host1=processing.bank.example\r\nHost2=127.0.0.2\r\nPort1=%s\r\nPort2=%s\r\n' "$first" "$second" >"$app/TavoTest.ini"
  drive "host by name" <<EOF
start TavoTest.exe
click btn10
expect-contains log "Host1=processing.bank.example в файле TavoTest.ini не принят: нужен IP-адрес цифрами, например 192.168.0.10, имена серверов не поддерживаются. Проверяется адрес по умолчанию 10.0.0.1\n!!10.0.0.1:$first  -->  Нет доступа!!"
close
EOF
}

case "$scenario" in
  startup | workdir | library | stack | errors | com | pinpad | hosts) "scenario_$scenario" ;;
  *) echo "unknown scenario $scenario"; exit 2 ;;
esac
[ "$failures" -eq 0 ] || exit 1
echo "$scenario: as expected"
