#!/usr/bin/env bash
# usage: updater_e2e.sh SCENARIO RUNNER LOADER LIBRARY SERVER
# The updater library called through the loader, as the payment core calls
# it, against the update server on 127.0.0.1. RUNNER is empty for the native
# build, else the Wine runner of the Windows build. SCENARIO:
#   update       a fresh installation brought up to date, then kept so
#   faults       every server fault but the stall: its code, files intact,
#                the trace small, an endless head given up at its bounds
#   stall        a download that stops in mid-body: the server's close ends
#                the wait, or else the client's body time-out does
#   unreachable  nobody listens: the connection code, nothing touched; a
#                host named localhost is reached, a name that does not
#                resolve gives its code and trace line within the bound
#   crash        the loader killed (kill -9) at random moments of runs that
#                replace several large files, restarted each time: every
#                listed file always whole in its old or its new version
#   together     two processes calling at once: one after the other, or the
#                second told the installation is busy; a killed run's lock
#                and work files do not outlive it; replaced files keep their
#                permissions; a library folder of any length
#   https        updates over https by name and by address with the test CA
#                pinned (CAFile); every bad certificate, a TLS 1.0 server and
#                an unreadable CA file refused with its code and trace line,
#                nothing touched; a server of Windows 7's cipher suites works
#   resume       a run killed in mid-download: the next one asks for the
#                rest (of the stand-in, and of nginx serving static files)
#                and installs the whole file; a changed listing drops the part
#   proxy        through a tinyproxy: Proxy= updates the installation; a
#                proxy that wants a password, and a broken Proxy=, give
#                their codes and touch nothing; on Windows, without Proxy=,
#                the machine's WinHTTP proxy and its bypass list
set -u
. "$(dirname "$0")/../../run_bounded.sh"
scenario=$1 runner=$2 loader=$3 library=$4 server=$5
library_name=$(basename "$library")
work=$(mktemp -d)
server_pid=""
proxy_pids=""
failures=0

cleanup() {
  stop_nginx
  stop_server
  stop_proxies
  rm -rf "$work"
}
trap cleanup EXIT

[ -x "$server" ] || { echo "FAILED: no update server at $server (build the linux preset first)"; exit 1; }

fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# start_server ARGS...: serves $work/release and $work/ecr; sets $port.
start_server() {
  rm -f "$work/port"
  "$server" --port-file "$work/port" --log-file "$work/server.log" --ecr-folder "$work/ecr" "$@" \
    "$work/release" >/dev/null 2>"$work/server.err" &
  server_pid=$!
  for _ in $(seq 100); do
    [ -s "$work/port" ] && break
    sleep 0.1
  done
  port=$(cat "$work/port" 2>/dev/null) || { echo "FAILED: the update server did not start"; cat "$work/server.err"; exit 1; }
}

stop_server() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null
    wait "$server_pid" 2>/dev/null
    server_pid=""
  fi
}

# make_install DIR HOSTURL: the library and its CONFIG.INI, nothing else.
make_install() {
  mkdir -p "$1"
  cp "$library" "$1/"
  printf 'HostURL=%s\r\nTrace=0\r\n' "$2" >"$1/CONFIG.INI"
}

# call DIR LOADER-OPTIONS...: one loader run, which must end within
# $call_limit seconds; its result lines in $results.
call_limit=60
call() {
  local dir=$1
  shift
  if [ -n "$runner" ]; then
    run_bounded "$call_limit" "$dir/qetrace.txt" "$work/out" "$work/err" \
      "$runner" "$loader" "$@" "Z:$dir" "$library_name" 12345678 T1
  else
    run_bounded "$call_limit" "$dir/qetrace.txt" "$work/out" "$work/err" \
      "$loader" "$@" "$dir" "$library_name" 12345678 T1
  fi
  results=$(tr -d '\r' <"$work/out")
}

# expect_result WHAT CODE: the single call answered CODE.
expect_result() {
  if [ "$results" = "result=$2" ]; then
    echo "ok: $1 (result=$2)"
  else
    fail "$1: want result=$2, got '$results'"
    cat "$work/err"
  fi
}

downloads() { grep -c '^GET ' "$work/server.log" 2>/dev/null || true; }

# same_file WHAT A B
same_file() { cmp -s "$2" "$3" || fail "$1: $2 differs from $3"; }

# The checksum of every file under DIR but the trace and the work file.
snapshot() {
  (cd "$1" && find . -type f ! -name qetrace.txt ! -name TMP.TMP -print0 | sort -z | xargs -0 sha1sum)
}

# A release of three files (one of 1 MiB) and an ECR folder of one.
make_release() {
  mkdir -p "$work/release" "$work/ecr"
  head -c 1048576 /dev/urandom >"$work/release/big.bin"
  printf '[Keys]\r\nF1=Sale\r\nF2=Refund\r\n' >"$work/release/softkeys.ini"
  head -c 3000 /dev/urandom >"$work/release/TERMINAL.CFG"
  head -c 5000 /dev/urandom >"$work/ecr/ECRDRV.BIN"
}

check_installed() {
  local dir=$1 name
  for name in big.bin softkeys.ini TERMINAL.CFG; do
    same_file "$2" "$work/release/$name" "$dir/Update/$name"
  done
  same_file "$2" "$work/ecr/ECRDRV.BIN" "$dir/ECRDRV.BIN"
}

scenario_update() {
  local install=$work/install before
  make_release
  start_server
  make_install "$install" "127.0.0.1:$port"

  call "$install"
  expect_result "fresh installation" 0
  check_installed "$install" "fresh installation"
  [ "$(downloads)" = 4 ] || fail "fresh installation: $(downloads) downloads, want 4"
  grep -q 'big.bin' "$install/Update/filelist.txt" || fail "fresh installation: big.bin not in Update/filelist.txt"
  grep -q 'ECRDRV.BIN' "$install/filelist.txt" || fail "fresh installation: ECRDRV.BIN not in filelist.txt"
  head -c 23 "$install/qetrace.txt" | cmp -s - <(printf 'SN:12345678, MODEL:T1\r\n') ||
    fail "fresh installation: qetrace.txt does not start with the serial and model line"

  before=$(downloads)
  call "$install"
  expect_result "second run" 0
  [ "$(downloads)" = "$before" ] || fail "second run downloaded $(($(downloads) - before)) files"

  printf '[Keys]\r\nF1=Sale\r\nF2=Refund\r\nF3=Void\r\n' >"$work/release/softkeys.ini"
  before=$(downloads)
  call "$install"
  expect_result "one file changed" 0
  [ "$(downloads)" = $((before + 1)) ] || fail "one file changed: $(($(downloads) - before)) downloads, want 1"
  check_installed "$install" "one file changed"

  call "$install" --null-serial --null-model
  expect_result "null arguments" 0
  grep -q $'^SN:, MODEL:\r$' "$install/qetrace.txt" ||
    fail "null arguments: no trace line with an empty serial and model"

  # Serialized calls: the first downloads the changed file, the seven after
  # it find nothing to do. Overlapping calls would fetch it more than once.
  head -c 1048576 /dev/urandom >"$work/release/big.bin"
  before=$(downloads)
  call "$install" --threads 4 --repeat 2
  [ "$results" = "$(printf 'result=0\n%.0s' 1 2 3 4 5 6 7 8 | head -c -1)" ] ||
    fail "calls from threads: results '$results'"
  [ "$(downloads)" = $((before + 1)) ] || fail "calls from threads: $(($(downloads) - before)) downloads, want 1"
  check_installed "$install" "calls from threads"
  echo "ok: calls from threads"
}

# fault_case FAULT CODE [STALL-SECONDS]: against an up-to-date copy of the
# baseline, with big.bin and softkeys.ini changed on the server, which keeps
# a stall or an endless head going for STALL-SECONDS (default 120).
fault_case() {
  local fault=$1 code=$2 install=$work/case traced
  rm -rf "$install" "$work/server.log"
  cp -a "$work/baseline" "$install"
  start_server --fault "$fault" --stall-seconds "${3:-120}"
  printf 'HostURL=127.0.0.1:%s\r\nTrace=0\r\n' "$port" >"$install/CONFIG.INI"
  snapshot "$install" >"$work/before"
  # What a killed run left: the next run removes it, whatever the server says.
  : >"$install/Update/TMP.TMP"
  : >"$install/filelist.tmp"
  traced=$(wc -c <"$install/qetrace.txt")
  call "$install"
  stop_server
  expect_result "$fault" "$code"
  leftovers=$(find "$install" -name TMP.TMP -o -name filelist.tmp)
  [ -z "$leftovers" ] || fail "$fault: $leftovers left behind"
  traced=$(($(wc -c <"$install/qetrace.txt") - traced))
  [ "$traced" -le 1048576 ] || fail "$fault: the call traced $traced bytes"
  case $fault in
    header-*)
      grep -q 'big.bin.* hung-up$' "$work/server.log" || fail "$fault: the server outlasted the client: $(grep big.bin "$work/server.log")" ;;
  esac
  case $fault in
    exchange-*)
      snapshot "$install" | diff -q - "$work/before" >/dev/null || fail "$fault: the installation changed" ;;
    *)
      # The faulty file keeps its old content; the other changed file still
      # arrives, and the command reports the failure all the same.
      same_file "$fault" "$work/old-big.bin" "$install/Update/big.bin"
      same_file "$fault" "$work/release/softkeys.ini" "$install/Update/softkeys.ini" ;;
  esac
}

prepare_faults() {
  make_release
  start_server
  make_install "$work/baseline" "127.0.0.1:$port"
  call "$work/baseline"
  stop_server
  expect_result "baseline installation" 0
  cp "$work/release/big.bin" "$work/old-big.bin"
  head -c 1048576 /dev/urandom >"$work/release/big.bin"
  printf '[Keys]\r\nF1=Sale\r\n' >"$work/release/softkeys.ini"
}

scenario_faults() {
  prepare_faults
  fault_case wrong-size:big.bin 27003
  fault_case wrong-hash:big.bin 27003
  fault_case cut:big.bin 27003
  fault_case not-found:big.bin 27007
  fault_case reset:big.bin 27006
  fault_case header-flood:big.bin 27006 20
  fault_case header-drip:big.bin 27006 20
  fault_case exchange-fail 27013
  fault_case exchange-bad-json 27012
  fault_case exchange-cut 27003
  fault_case exchange-reset 27006
}

scenario_stall() {
  prepare_faults
  # The server ends the connection after 20 s of silence: the close ends the
  # client's wait long before its 90-second body time runs out.
  call_limit=45
  fault_case stall:big.bin 27003 20
  # Silent past that time: the client gives up after it.
  call_limit=150
  fault_case stall:big.bin 27003
}

# install_release DIR: a fresh release served and installed into DIR.
install_release() {
  make_release
  start_server
  make_install "$1" "127.0.0.1:$port"
  call "$1"
  expect_result "installation" 0
}

scenario_unreachable() {
  local install=$work/install
  install_release "$install"
  # The port just freed has no listener now.
  stop_server
  head -c 1048576 /dev/urandom >"$work/release/big.bin"
  snapshot "$install" >"$work/before"
  call "$install"
  expect_result "nobody listening" 20001
  snapshot "$install" | diff -q - "$work/before" >/dev/null || fail "nobody listening: the installation changed"

  # A name under the reserved .invalid domain never resolves, whether a name
  # server answers or not; the look-up's 10 s bound ends the call.
  serve "$install"
  printf 'HostURL=nothere.invalid:%s\r\nTrace=0\r\n' "$port" >"$install/CONFIG.INI"
  snapshot "$install" >"$work/before"
  call_limit=40
  call "$install"
  expect_result "a name that does not resolve" 20010
  grep -q '^Host name nothere.invalid did not resolve, result=20010' "$install/qetrace.txt" ||
    fail "a name that does not resolve: no trace line"
  [ -s "$work/server.log" ] && fail "a name that does not resolve: the server was asked: $(head -1 "$work/server.log")"
  snapshot "$install" | diff -q - "$work/before" >/dev/null || fail "a name that does not resolve: the installation changed"

  printf 'HostURL=localhost:%s\r\nTrace=0\r\n' "$port" >"$install/CONFIG.INI"
  call "$install"
  expect_result "a host name" 0
  check_installed "$install" "a host name"
}

# trust_test_ca CA-FILE: lets the system's roots include the test CA where a
# test can change them. A native run leaves the machine's roots alone: there
# the CA is trusted through CAFile only.
trust_test_ca() { :; }
# Under Wine the test CA goes into the prefix's Root store, by the build's
# trust-root beside the loader's folder.
if [ -n "$runner" ]; then
  trust_test_ca() {
    "$runner" "$(dirname "$loader")/../trust_root/trust-root.exe" "Z:$1" || fail "the test CA was not trusted"
  }
fi

# https_install DIR URL [CA-NAME]: CONFIG.INI naming URL, with CAFile=CA-NAME
# (default ca.pem, the test CA beside the library; "-" for none).
https_install() {
  local ca=${3:-ca.pem}
  cp "$work/certs/ca.pem" "$work/certs/selfsigned.pem" "$1/"
  if [ "$ca" = - ]; then
    printf 'HostURL=%s\r\nTrace=0\r\n' "$2" >"$1/CONFIG.INI"
  else
    printf 'HostURL=%s\r\nTrace=0\r\nCAFile=%s\r\n' "$2" "$ca" >"$1/CONFIG.INI"
  fi
}

# https_refused WHAT CODE REASON HOST CA-NAME CERT [SERVER-OPTIONS...]:
# against a copy of the up-to-date installation, while the release has
# changed: CODE, a TLS trace line (natively with REASON), no request served
# and nothing touched.
https_refused() {
  local what=$1 code=$2 reason=$3 host=$4 ca=$5 cert=$6 install=$work/case
  shift 6
  rm -rf "$install" "$work/server.log"
  cp -a "$work/install" "$install"
  start_server --tls "$work/certs/$cert.pem" "$work/certs/server.key" "$@"
  https_install "$install" "https://$host:$port" "$ca"
  : >"$install/qetrace.txt"
  snapshot "$install" >"$work/before"
  call "$install"
  stop_server
  expect_result "$what" "$code"
  local traced
  traced=$(tr -d '\r' <"$install/qetrace.txt" | grep -A2 '^TLS: ' | grep -v '^$' | head -2 | tr '\n' '|')
  case $traced in
    "TLS: "*"|Connecting to https://$host:$port/tavo2-web/block1, result=$code|") ;;
    *) fail "$what: trace '$traced'" ;;
  esac
  if [ -z "$runner" ] && [ "${traced%%|*}" != "TLS: $reason" ]; then fail "$what: '${traced%%|*}', want 'TLS: $reason'"; fi
  [ ! -s "$work/server.log" ] || fail "$what: the server answered $(cat "$work/server.log")"
  snapshot "$install" | diff -q - "$work/before" >/dev/null || fail "$what: the installation changed"
  [ -z "$(find "$install" -name TMP.TMP)" ] || fail "$what: TMP.TMP left behind"
}

scenario_https() {
  local install=$work/install before
  "$(dirname "$0")/make_test_certs.sh" "$work/certs" || { fail "no test certificates"; return; }
  trust_test_ca "$work/certs/ca.pem"
  make_release
  mkdir -p "$install"
  cp "$library" "$install/"
  start_server --tls "$work/certs/good.pem" "$work/certs/server.key"
  https_install "$install" "https://localhost:$port"
  call "$install"
  expect_result "https by name" 0
  check_installed "$install" "https by name"
  [ "$(grep -c '^GET .* 200 ' "$work/server.log")" = 4 ] || fail "https by name: $(downloads) downloads, want 4"
  grep -q "^Connecting to https://localhost:$port/tavo2-web/getFile/" "$install/qetrace.txt" ||
    fail "https by name: the downloads did not go over https"

  head -c 3000 /dev/urandom >"$work/release/TERMINAL.CFG"
  before=$(downloads)
  https_install "$install" "https://127.0.0.1:$port"
  call "$install"
  expect_result "https by address" 0
  check_installed "$install" "https by address"
  [ "$(downloads)" = $((before + 1)) ] || fail "https by address: $(($(downloads) - before)) downloads, want 1"
  stop_server

  head -c 1048576 /dev/urandom >"$work/release/big.bin"
  https_refused "expired" 27043 "certificate has expired" 127.0.0.1 ca.pem expired
  https_refused "not yet valid" 27043 "certificate is not yet valid" localhost ca.pem notyet
  https_refused "another name" 27042 "hostname mismatch" localhost ca.pem wrongname
  https_refused "another address" 27042 "IP address mismatch" 127.0.0.1 ca.pem wrongname
  https_refused "self-signed" 27041 "self-signed certificate" localhost ca.pem selfsigned
  https_refused "TLS 1.0 only" 27040 "tlsv1 alert protocol version" 127.0.0.1 ca.pem good --tls-max-version 1.0
  https_refused "CA file unreadable" 27044 "the CA file cannot be read ($work/case/missing.pem)" \
    127.0.0.1 missing.pem good
  # The test CA is none of the machine's roots; under Wine it is one of the
  # prefix's, and a certificate that it did not sign is still refused.
  [ -n "$runner" ] || https_refused "the system's roots" 27041 "unable to get local issuer certificate" \
    localhost - good
  [ -z "$runner" ] || https_refused "self-signed, the system's roots" 27041 "" localhost - selfsigned
  # A pinned root is the only one, even where the system trusts the test CA.
  https_refused "a CA file of another root" 27041 "unable to get local issuer certificate" localhost \
    selfsigned.pem good

  # Wine's GnuTLS offers no CBC suite with SHA-256 (its handshake log lists
  # what it offers): there, Windows 7's ECDHE suite with SHA-1.
  local win7_suite=ECDHE-RSA-AES128-SHA256
  [ -z "$runner" ] || win7_suite=ECDHE-RSA-AES128-SHA
  start_server --tls "$work/certs/good.pem" "$work/certs/server.key" --tls-ciphers "$win7_suite"
  https_install "$install" "https://localhost:$port"
  call "$install"
  expect_result "Windows 7's cipher suites" 0
  check_installed "$install" "Windows 7's cipher suites"
  if [ -n "$runner" ]; then
    head -c 3000 /dev/urandom >"$work/release/TERMINAL.CFG"
    https_install "$install" "https://127.0.0.1:$port" -
    call "$install"
    expect_result "the system's roots" 0
    check_installed "$install" "the system's roots"
  fi
  stop_server
}

# The files of the crash scenario's releases, as NAME:SIZE: the update
# directory's, then the library directory's. The ".new" names are program
# files, which once were copied into place.
crash_update_files="big.bin:6291456 prog.exe.new:8388608 TERMINAL.CFG:3000"
crash_ecr_files="ECRDRV.BIN:2097152 agent.exe.new:6291456"

# fill_crash_release DIR: a release of fresh random content into DIR/release
# and DIR/ecr.
fill_crash_release() {
  local entry
  mkdir -p "$1/release" "$1/ecr"
  for entry in $crash_update_files; do head -c "${entry#*:}" /dev/urandom >"$1/release/${entry%%:*}"; done
  for entry in $crash_ecr_files; do head -c "${entry#*:}" /dev/urandom >"$1/ecr/${entry%%:*}"; done
}

# crash_state DIR: "new" when every listed file of DIR is its new version,
# "mixed" when each is whole in one version or the other; anything else
# names what is wrong. The list files must name exactly the listed files.
crash_state() {
  local dir=$1 entry name path old new all_new=1 list
  for entry in $crash_update_files $crash_ecr_files; do
    name=${entry%%:*}
    case " $crash_update_files " in
      *" $entry "*) path=$dir/Update/$name old=$work/old/release/$name new=$work/release/$name ;;
      *) path=$dir/$name old=$work/old/ecr/$name new=$work/ecr/$name ;;
    esac
    [ -f "$path" ] || { echo "$path missing"; return; }
    if ! cmp -s "$path" "$new"; then
      all_new=0
      cmp -s "$path" "$old" || { echo "$path is neither version ($(wc -c <"$path") bytes)"; return; }
    fi
  done
  list=$(printf '%s\r\n' big.bin prog.exe.new TERMINAL.CFG | LC_ALL=C sort)
  [ "$(LC_ALL=C sort "$dir/Update/filelist.txt")" = "$list" ] || { echo "Update/filelist.txt is not whole"; return; }
  list=$(printf '%s\r\n' ECRDRV.BIN agent.exe.new | LC_ALL=C sort)
  [ "$(LC_ALL=C sort "$dir/filelist.txt")" = "$list" ] || { echo "filelist.txt is not whole"; return; }
  [ "$all_new" = 1 ] && echo new || echo mixed
}

# A run started in a session of its own, so that kill -9 reaches every
# process of it (the Wine runner's too).
start_call() {
  if [ -n "$runner" ]; then
    setsid "$runner" "$loader" "Z:$1" "$library_name" 12345678 T1 >/dev/null 2>&1 </dev/null &
  else
    setsid "$loader" "$1" "$library_name" 12345678 T1 >/dev/null 2>&1 </dev/null &
  fi
  call_pid=$!
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }

scenario_crash() {
  local install=$work/install kills=50 kill state started span delay completed=0 wrong=0
  # Every start of Wine costs most of a second: fewer kills keep the test
  # within its minute.
  [ -n "$runner" ] && kills=40
  fill_crash_release "$work/old"
  cp -a "$work/old/release" "$work/old/ecr" "$work/"
  start_server
  make_install "$work/baseline" "127.0.0.1:$port"
  call "$work/baseline"
  expect_result "old release installed" 0
  fill_crash_release "$work"

  # How long a whole run takes, start to end: the kills fall inside it.
  cp -a "$work/baseline" "$work/timed"
  started=$(now_ms)
  call "$work/timed"
  span=$(($(now_ms) - started))
  expect_result "a whole run ($span ms)" 0
  [ "$(crash_state "$work/timed")" = new ] || fail "a whole run: $(crash_state "$work/timed")"

  cp -a "$work/baseline" "$install"
  for kill in $(seq "$kills"); do
    start_call "$install"
    delay=$((RANDOM * span / 32768))
    sleep "$((delay / 1000)).$(printf '%03d' $((delay % 1000)))"
    kill -9 -- "-$call_pid" 2>/dev/null
    wait "$call_pid" 2>/dev/null
    state=$(crash_state "$install")
    case $state in
      mixed) ;;
      new)
        # The run got to its end: start again from the old release.
        completed=$((completed + 1))
        rm -rf "$install"
        cp -a "$work/baseline" "$install" ;;
      *)
        wrong=$((wrong + 1))
        fail "kill $kill after $delay ms: $state"
        rm -rf "$install"
        cp -a "$work/baseline" "$install" ;;
    esac
  done
  [ "$wrong" = 0 ] &&
    echo "ok: $kills kills within ${span} ms runs, each file whole ($completed runs got to their end first)"

  # Wine's server can be left broken by processes killed with their sockets
  # open, and then die under a later program: that one gets a fresh server.
  [ -n "$runner" ] && "$runner" --new-server
  call "$install"
  expect_result "the run after the kills" 0
  [ "$(crash_state "$install")" = new ] || fail "the run after the kills: $(crash_state "$install")"
  leftovers=$(find "$install" -name TMP.TMP -o -name filelist.tmp)
  [ -z "$leftovers" ] || fail "the run after the kills left $leftovers"
}

# start_call_to DIR OUT: a run in the background, its result lines in OUT.
start_call_to() {
  if [ -n "$runner" ]; then
    "$runner" "$loader" "Z:$1" "$library_name" 12345678 T1 </dev/null >"$2" 2>"$2.err" &
  else
    "$loader" "$1" "$library_name" 12345678 T1 </dev/null >"$2" 2>"$2.err" &
  fi
}

# wait_for FILE SECONDS: until FILE exists.
wait_for() {
  local tries=$(($2 * 10))
  while [ ! -e "$1" ] && [ "$tries" -gt 0 ]; do sleep 0.1; tries=$((tries - 1)); done
  [ -e "$1" ]
}

# serve DIR SERVER-OPTIONS...: a new server with a new log, and DIR's
# CONFIG.INI names it.
serve() {
  local dir=$1
  shift
  rm -f "$work/server.log"
  start_server "$@"
  printf 'HostURL=127.0.0.1:%s\r\nTrace=0\r\n' "$port" >"$dir/CONFIG.INI"
}

scenario_together() {
  local install=$work/install first second deep
  install_release "$install"
  stop_server
  # Who may read and run a file is the installation's, not the download's.
  [ -z "$runner" ] && chmod 0600 "$install/Update/softkeys.ini" && chmod 0755 "$install/Update/TERMINAL.CFG"

  # Two runs at once over a slow link: the second waits for the first, then
  # finds nothing left to fetch.
  head -c 4194304 /dev/urandom >"$work/release/big.bin"
  printf '[Keys]\r\nF1=Sale\r\n' >"$work/release/softkeys.ini"
  head -c 3000 /dev/urandom >"$work/release/TERMINAL.CFG"
  serve "$install" --rate 2000000
  start_call_to "$install" "$work/first"
  first=$!
  start_call_to "$install" "$work/second"
  second=$!
  wait "$first" "$second"
  [ "$(tr -d '\r' <"$work/first")$(tr -d '\r' <"$work/second")" = "result=0result=0" ] ||
    fail "two runs at once: '$(cat "$work/first" "$work/second")'"
  check_installed "$install" "two runs at once"
  [ "$(grep -c 'name=big.bin' "$work/server.log")" = 1 ] ||
    fail "two runs at once: big.bin fetched $(grep -c 'name=big.bin' "$work/server.log") times"
  if [ -z "$runner" ]; then
    [ "$(stat -c %a "$install/Update/softkeys.ini") $(stat -c %a "$install/Update/TERMINAL.CFG")" = "600 755" ] ||
      fail "replaced files: modes $(stat -c %a "$install/Update/softkeys.ini" "$install/Update/TERMINAL.CFG" | tr '\n' ' ')"
  fi
  echo "ok: two runs at once"
  stop_server

  # A run that outlasts the wait: the second is told so, and its trace says
  # why. Killed, the first leaves the installation to the next run.
  head -c 4194304 /dev/urandom >"$work/release/big.bin"
  serve "$install" --rate 100000
  start_call "$install"
  wait_for "$install/Update/TMP.TMP" 20 || fail "the slow run did not start its download"
  call "$install"
  expect_result "a run while another holds the installation" 44004
  grep -q 'Another update run holds the installation' "$install/qetrace.txt" || fail "busy: no trace line"
  kill -9 -- "-$call_pid" 2>/dev/null
  wait "$call_pid" 2>/dev/null
  # A run of the Windows build under Wine locks a byte range of the file
  # (fcntl) where a native run uses flock: each must see the other's.
  if [ -z "$runner" ]; then
    python3 -c 'import fcntl, sys, time
lock = open(sys.argv[1], "a+")
fcntl.lockf(lock, fcntl.LOCK_EX, 1, 0)
open(sys.argv[2], "w").close()
time.sleep(60)' "$install/UPDATER.LCK" "$work/held" &
    holder=$!
    wait_for "$work/held" 10 || fail "no byte-range lock taken"
    call "$install"
    expect_result "a run while a byte-range lock holds the installation" 44004
    kill "$holder"
    wait "$holder" 2>/dev/null
  fi
  stop_server
  serve "$install"
  [ -n "$runner" ] && "$runner" --new-server
  call "$install"
  expect_result "the run after the killed one" 0
  check_installed "$install" "the run after the killed one"
  stop_server

  # A library folder of any length on Linux; beyond what Windows' calls take,
  # a code, and nothing read or written in the current directory.
  deep=$work/$(printf 'deep-folder-%03d/' $(seq 30))install
  mkdir -p "$work/cwd"
  start_server
  make_install "$deep" "127.0.0.1:$port"
  printf 'HostURL=127.0.0.1:1\r\n' >"$work/cwd/CONFIG.INI"
  if [ -n "$runner" ]; then
    (cd "$work/cwd" && call "$deep")
    results=$(tr -d '\r' <"$work/out")
    # Wine loads no library from there (Windows error 206).
    case $results in
      result=31003 | "") echo "ok: a ${#deep}-character folder: '$results' $(tr -d '\r' <"$work/err" | cut -c1-40)" ;;
      *) fail "a ${#deep}-character folder: '$results'" ;;
    esac
  else
    (cd "$work/cwd" && call "$deep")
    results=$(tr -d '\r' <"$work/out")
    expect_result "a ${#deep}-character folder" 0
    check_installed "$deep" "a ${#deep}-character folder"
  fi
  [ "$(ls "$work/cwd")" = CONFIG.INI ] || fail "a ${#deep}-character folder: the current directory got $(ls "$work/cwd" | tr '\n' ' ')"
}

# start_proxy NAME [CONFIG-LINE...]: a tinyproxy of its own on 127.0.0.1,
# which logs each request to $work/NAME.log; sets $proxy_port. Without
# ConnectPort lines it opens a tunnel to any port.
start_proxy() {
  local name=$1 pid
  shift
  for _ in 1 2 3 4 5; do
    proxy_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    {
      printf 'Port %s\nListen 127.0.0.1\nAllow 127.0.0.1\nLogFile "%s"\nLogLevel Connect\n' "$proxy_port" "$work/$name.log"
      [ $# -gt 0 ] && printf '%s\n' "$@"
    } >"$work/$name.conf"
    tinyproxy -d -c "$work/$name.conf" >"$work/$name.out" 2>&1 &
    pid=$!
    for _ in $(seq 50); do
      if (exec 3<>"/dev/tcp/127.0.0.1/$proxy_port") 2>/dev/null; then
        proxy_pids="$proxy_pids $pid"
        return
      fi
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    # Another program took the port first.
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  echo "FAILED: tinyproxy did not start"
  cat "$work/$name.out"
  exit 1
}

stop_proxies() {
  local pid
  for pid in $proxy_pids; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  proxy_pids=""
}

# proxied NAME METHOD: how many METHOD requests to the update server proxy
# NAME forwarded.
proxied() { grep -c "Request (file descriptor [0-9]*): $2 http://127.0.0.1:$port/" "$work/$1.log" 2>/dev/null || true; }

# proxy_case WHAT CODE HOSTURL PROXY-LINE TRACE: a call that must give CODE
# with that server and proxy line in CONFIG.INI (and the test CA pinned),
# leave the installation as it was, ask the server nothing and trace TRACE.
proxy_case() {
  local install=$work/install asked
  printf 'HostURL=%s\r\nTrace=0\r\nCAFile=ca.pem\r\n%s\r\n' "$3" "$4" >"$install/CONFIG.INI"
  snapshot "$install" >"$work/before"
  asked=$(wc -l <"$work/server.log")
  call "$install"
  expect_result "$1" "$2"
  snapshot "$install" | diff -q - "$work/before" >/dev/null || fail "$1: the installation changed"
  [ "$(wc -l <"$work/server.log")" = "$asked" ] || fail "$1: the server was asked: $(tail -1 "$work/server.log")"
  grep -qF "$5" "$install/qetrace.txt" || fail "$1: no trace line '$5'"
}

scenario_proxy() {
  local install=$work/install open locked strict
  install_release "$install"
  start_proxy open
  open=$proxy_port
  start_proxy locked "BasicAuth user secret"
  locked=$proxy_port
  start_proxy strict "ConnectPort 443"
  strict=$proxy_port
  # The test CA is pinned (CAFile): none of the system's roots is needed.
  "$(dirname "$0")/make_test_certs.sh" "$work/certs" || { fail "no test certificates"; return; }
  cp "$work/certs/ca.pem" "$install/ca.pem"

  head -c 1048576 /dev/urandom >"$work/release/big.bin"
  printf 'HostURL=127.0.0.1:%s\r\nTrace=0\r\nProxy=127.0.0.1:%s\r\n' "$port" "$open" >"$install/CONFIG.INI"
  call "$install"
  expect_result "through a proxy" 0
  check_installed "$install" "through a proxy"
  [ "$(proxied open POST) $(proxied open GET)" = "1 1" ] ||
    fail "through a proxy: it forwarded $(proxied open POST) exchanges and $(proxied open GET) downloads, want 1 and 1"
  grep -q "^Connecting to http://127.0.0.1:$port/tavo2-web/block1 via proxy 127.0.0.1:$open, result=0" \
    "$install/qetrace.txt" || fail "through a proxy: no trace line naming it"

  head -c 1048576 /dev/urandom >"$work/release/big.bin"
  proxy_case "a proxy that wants a password" 27050 "127.0.0.1:$port" "Proxy=127.0.0.1:$locked" \
    "Proxy 127.0.0.1:$locked asks for authentication: HTTP/1.0 407 Proxy Authentication Required"
  [ "$(proxied locked POST)" = 1 ] || fail "a proxy that wants a password: it was asked $(proxied locked POST) times"
  proxy_case "a broken Proxy=" 27052 "127.0.0.1:$port" "Proxy=127.0.0.1:" "Proxy=127.0.0.1: is not host:port"

  # https: a tunnel, and the origin's certificate checked inside it.
  stop_server
  start_server --tls "$work/certs/good.pem" "$work/certs/server.key"
  printf 'HostURL=https://localhost:%s\r\nTrace=0\r\nCAFile=ca.pem\r\nProxy=127.0.0.1:%s\r\n' "$port" "$open" \
    >"$install/CONFIG.INI"
  call "$install"
  expect_result "https through a proxy" 0
  check_installed "$install" "https through a proxy"
  [ "$(grep -c "Request (file descriptor [0-9]*): CONNECT localhost:$port HTTP/1.1" "$work/open.log")" = 2 ] ||
    fail "https through a proxy: $(grep -c CONNECT "$work/open.log") tunnels, want 2"
  grep -q "^Connecting to https://localhost:$port/tavo2-web/getFile/.* via proxy 127.0.0.1:$open, result=0" \
    "$install/qetrace.txt" || fail "https through a proxy: no trace line naming it"
  head -c 1048576 /dev/urandom >"$work/release/big.bin"
  proxy_case "a refused tunnel" 27051 "https://localhost:$port" "Proxy=127.0.0.1:$strict" \
    "Proxy 127.0.0.1:$strict refused the tunnel: HTTP/1.1 403 Access violation"
  proxy_case "a tunnel that wants a password" 27050 "https://localhost:$port" "Proxy=127.0.0.1:$locked" \
    "Proxy 127.0.0.1:$locked asks for authentication: HTTP/1.0 407 Proxy Authentication Required"
  stop_server
  start_server --tls "$work/certs/wrongname.pem" "$work/certs/server.key"
  proxy_case "another name through the tunnel" 27042 "https://localhost:$port" "Proxy=127.0.0.1:$open" \
    "Connecting to https://localhost:$port/tavo2-web/block1 via proxy 127.0.0.1:$open, result=27042"
  stop_server

  if [ -n "$runner" ]; then
    # Without Proxy=, the machine's setting; its bypass list names the server.
    [ -n "${TAVO_WINHTTP_PROXY:-}" ] || fail "no WinHTTP proxy helper given"
    start_server
    "$runner" "$TAVO_WINHTTP_PROXY" "127.0.0.1:$open" || fail "the WinHTTP proxy could not be set"
    printf 'HostURL=127.0.0.1:%s\r\nTrace=0\r\n' "$port" >"$install/CONFIG.INI"
    call "$install"
    expect_result "through the machine's WinHTTP proxy" 0
    check_installed "$install" "through the machine's WinHTTP proxy"
    [ "$(proxied open GET)" = 1 ] || fail "through the machine's WinHTTP proxy: it forwarded $(proxied open GET) downloads, want 1"

    head -c 1048576 /dev/urandom >"$work/release/big.bin"
    "$runner" "$TAVO_WINHTTP_PROXY" "127.0.0.1:$locked" "localhost;127.0.0.*" || fail "the WinHTTP proxy could not be set"
    call "$install"
    expect_result "a server on the WinHTTP bypass list" 0
    check_installed "$install" "a server on the WinHTTP bypass list"
    [ "$(proxied locked POST)" = 0 ] || fail "a server on the WinHTTP bypass list: the proxy was asked"
    "$runner" "$TAVO_WINHTTP_PROXY" || fail "the WinHTTP proxy could not be cleared"
  fi
}

# free_port: a port of 127.0.0.1 that nobody listened on a moment ago.
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

# cut_download DIR HOSTURL WHAT: a run killed once its download of the new
# 20 MB big.bin has passed 60 %; the part it leaves must be whole so far.
cut_download() {
  local dir=$1 work_file=$1/Update/TMP.TMP size=0 tries=600
  printf 'HostURL=%s
Trace=0
' "$2" >"$dir/CONFIG.INI"
  start_call "$dir"
  while [ "$tries" -gt 0 ]; do
    size=$(stat -c %s "$work_file" 2>/dev/null || echo 0)
    [ "$size" -ge 12582912 ] && break
    sleep 0.02
    tries=$((tries - 1))
  done
  kill -9 -- "-$call_pid" 2>/dev/null
  wait "$call_pid" 2>/dev/null
  [ -n "$runner" ] && "$runner" --new-server
  size=$(stat -c %s "$work_file" 2>/dev/null || echo 0)
  if [ "$size" -lt 12582912 ] || [ "$size" -ge 20971520 ]; then
    fail "$3: the run was not cut at 60 % ($size bytes in the work file)"
  fi
  cmp -s -n "$size" "$work_file" "$work/release/big.bin" || fail "$3: the part kept is not the file's start"
  cut_at=$size
}

# resumed_from LOG: what the last download of big.bin asked for: "whole",
# or the byte it started from.
resumed_from() {
  local line
  line=$(grep 'name=big.bin' "$1" | tail -1)
  case $line in
    *" 206 "*" from "*) echo "${line##* from }" ;;
    *" 200 "*) echo whole ;;
    *) echo "none: $line" ;;
  esac
}

# start_nginx: nginx on $nginx_port in front of the update server: the
# exchange passed on to it, the downloads served from the release folder as
# static files (their ranges are nginx's own), at 4 MB/s.
start_nginx() {
  local dir=$work/nginx
  mkdir -p "$dir/tmp"
  nginx_port=$(free_port)
  {
    [ "$(id -u)" = 0 ] && echo "user root;"
    echo "worker_processes 1; pid $dir/nginx.pid; error_log $dir/error.log;"
    echo "events { worker_connections 64; }"
    echo "http { access_log $dir/access.log; client_body_temp_path $dir/tmp; proxy_temp_path $dir/tmp;"
    echo "  fastcgi_temp_path $dir/tmp; uwsgi_temp_path $dir/tmp; scgi_temp_path $dir/tmp;"
    echo "  server { listen 127.0.0.1:$nginx_port;"
    echo "    location /tavo2-web/getFile/ { root $work/release; rewrite ^ /\$arg_name break; limit_rate 4m; }"
    echo "    location / { proxy_pass http://127.0.0.1:$port; } } }"
  } >"$dir/nginx.conf"
  nginx -p "$dir" -c "$dir/nginx.conf" 2>"$dir/start.err" || { fail "nginx did not start: $(cat "$dir/start.err")"; return 1; }
  for _ in $(seq 50); do
    (exec 3<>"/dev/tcp/127.0.0.1/$nginx_port") 2>/dev/null && return 0
    sleep 0.1
  done
  fail "nginx did not listen"
  return 1
}

stop_nginx() {
  [ -s "$work/nginx/nginx.pid" ] && kill "$(cat "$work/nginx/nginx.pid")" 2>/dev/null
  rm -f "$work/nginx/nginx.pid"
}

scenario_resume() {
  local install=$work/install from
  install_release "$install"
  stop_server
  head -c 20971520 /dev/urandom >"$work/release/big.bin"
  rm -f "$work/server.log"
  start_server --rate 4000000

  cut_download "$install" "127.0.0.1:$port" "the stand-in"
  call "$install"
  expect_result "the run after the cut" 0
  check_installed "$install" "the run after the cut"
  from=$(resumed_from "$work/server.log")
  [ "$from" = "$cut_at" ] || fail "the run after the cut asked for big.bin from $from, want $cut_at"

  # A part of a file the listing no longer names as it was is dropped.
  head -c 20971520 /dev/urandom >"$work/release/big.bin"
  cut_download "$install" "127.0.0.1:$port" "the second cut"
  head -c 20971520 /dev/urandom >"$work/release/big.bin"
  call "$install"
  expect_result "a changed listing" 0
  check_installed "$install" "a changed listing"
  from=$(resumed_from "$work/server.log")
  [ "$from" = whole ] || fail "a changed listing: big.bin was asked for from $from"
  leftovers=$(find "$install" -name 'TMP.*' -o -name 'PART.*')
  [ -z "$leftovers" ] || fail "a changed listing left $leftovers"

  if command -v nginx >/dev/null; then
    head -c 20971520 /dev/urandom >"$work/release/big.bin"
    start_nginx || return
    cut_download "$install" "127.0.0.1:$nginx_port" "through nginx"
    call "$install"
    expect_result "the run after the cut, through nginx" 0
    check_installed "$install" "the run after the cut, through nginx"
    stop_nginx
    grep 'name=big.bin' "$work/nginx/access.log" | tail -1 | grep -q '" 206 '"$((20971520 - cut_at))"' ' ||
      fail "through nginx: the last download was not the rest: $(grep 'name=big.bin' "$work/nginx/access.log" | tail -1)"
  else
    fail "no nginx (scripts/setup installs it)"
  fi
  [ "$failures" = 0 ] && echo "ok: downloads cut at 60 % went on from where they stopped"
}

case $scenario in
  update | faults | stall | unreachable | crash | together | https | proxy | resume) "scenario_$scenario" ;;
  *) echo "unknown scenario $scenario"; exit 1 ;;
esac
exit "$failures"
