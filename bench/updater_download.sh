#!/usr/bin/env bash
# The native updater's download next to curl's, both from the update server
# stand-in on 127.0.0.1: a release folder holding one file of SIZE random
# bytes (default 100 MB), an installation folder holding the updater library
# and a CONFIG.INI that points at the server. The updater's figures are those
# of a whole CheckForUpdates call (the exchange, the download with its SHA-1,
# putting the file in place); curl's are those of the bare download of the
# same file. Each run gives the elapsed time, the processor time (user +
# system) and the peak resident memory of the process, measured by
# /usr/bin/time; the last lines give the medians and the updater's time as a
# ratio to curl's.
#
# One exchange is made before the runs so that the server has hashed its
# folder (it keeps the digests), and the figures are the updater's own work.
# The machine may be busy with other work: repeat noisy runs (--runs).
#
#   --chunked    the server sends bodies chunked instead of with a length
#   --https      over HTTPS: certificates made for the run by
#                tests/updater/end_to_end/make_test_certs.sh, the test CA
#                pinned with CAFile (and given to curl); then also the cost
#                of the handshake: calls with nothing to download over https
#                against the same over http from a second, plain server, and
#                curl's own handshake time
#   --rate B     the server sends bodies at B bytes per second (a slow link)
#   --runs N     measure N times (default 3)
#   --wine       BUILD_DIR is a Windows build (win64): its Updater.dll is
#                called by its loader under Wine (the server is the linux
#                preset's); Wine's own server process is not counted
#
# usage: bench/updater_download.sh [--chunked] [--https] [--rate B] [--runs N] [--wine] [BUILD_DIR] [SIZE]
#        (default build/linux, 100000000)
# e.g.   bench/updater_download.sh --rate 100000 --runs 1 build/linux 5000000
set -euo pipefail
server_options=()
runs=3
wine=no
scheme=http
while [ $# -gt 0 ]; do
  case $1 in
    --chunked) server_options+=(--chunked); shift ;;
    --https) scheme=https; shift ;;
    --rate) server_options+=(--rate "$2"); shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --wine) wine=yes; shift ;;
    *) break ;;
  esac
done
build=$(readlink -f "${1:-build/linux}")
size=${2:-100000000}
if [ "$wine" = yes ]; then
  server=$(readlink -f "$(dirname "$0")/..")/build/linux/tools/update_server/update-server
  runner=$build/wine-run.sh
  loader=$build/tools/updater_loader/updater-loader.exe
  library=$build/updater/Updater.dll
else
  server=$build/tools/update_server/update-server
  runner=
  loader=$build/tools/updater_loader/updater-loader
  library=$build/updater/libUpdater.so
fi
for needed in "$server" "$loader" "$library" $runner; do
  [ -e "$needed" ] || { echo "no $needed: build the linux preset first"; exit 1; }
done
command -v curl >/dev/null || { echo "curl is not installed"; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is not installed"; exit 1; }

work=$(mktemp -d)
server_pid=
cleanup() {
  [ -z "$runner" ] || "$runner" --stop-server
  if [ -n "$server_pid" ]; then
    kill -TERM "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

name=payload.bin
mkdir "$work/release" "$work/install"
curl_options=(-s)
if [ "$scheme" = https ]; then
  "$(dirname "$0")/../tests/updater/end_to_end/make_test_certs.sh" "$work/certs" >/dev/null
  server_options+=(--tls "$work/certs/good.pem" "$work/certs/server.key")
  curl_options+=(--cacert "$work/certs/ca.pem")
  cp "$work/certs/ca.pem" "$work/install/"
fi
head -c "$size" /dev/urandom >"$work/release/$name"
expected=$(sha1sum "$work/release/$name" | cut -d' ' -f1)

"$server" "${server_options[@]}" --port-file "$work/port" --log-file "$work/requests.log" \
  "$work/release" </dev/null >"$work/server.out" 2>&1 &
server_pid=$!
tries=0
while [ ! -s "$work/port" ]; do
  tries=$((tries + 1))
  kill -0 "$server_pid" 2>/dev/null && [ "$tries" -le 100 ] || { echo "the server did not start:"; cat "$work/server.out"; exit 1; }
  sleep 0.1
done
port=$(tr -d '\r\n' <"$work/port")
cp "$library" "$work/install/"
if [ "$scheme" = https ]; then
  printf 'HostURL=https://127.0.0.1:%s\r\nCAFile=ca.pem\r\n' "$port" >"$work/install/CONFIG.INI"
else
  printf 'HostURL=127.0.0.1:%s\r\n' "$port" >"$work/install/CONFIG.INI"
fi
curl "${curl_options[@]}" -o /dev/null -H 'Content-Type: application/json' -d '{"REPLIES":[{"SN":"12345678"}]}' \
  "$scheme://127.0.0.1:$port/tavo2-web/block1"

status=0
check() {  # label file
  local got
  got=$(sha1sum "$2" 2>/dev/null | cut -d' ' -f1) || true
  if [ "$got" != "$expected" ]; then
    echo "  $1: FILE DIFFERS OR MISSING (sha1 ${got:-none}, expected $expected)"
    status=1
  fi
}
# measure LABEL COMMAND...: one line "LABEL elapsed user system peak-KiB" to $work/figures.
measure() {
  local label=$1
  shift
  /usr/bin/time -f "$label %e %U %S %M" -o "$work/time" "$@" >"$work/command.out" 2>&1 || true
  cat "$work/time" >>"$work/figures"
}

echo "$size bytes from 127.0.0.1:$port${server_options[*]:+ (${server_options[*]})}, $runs run(s)"
: >"$work/figures"
install=$work/install
if [ -n "$runner" ]; then
  "$runner" --start-server
  install=Z:$work/install
fi
for _ in $(seq "$runs"); do
  rm -rf "$work/install/Update" "$work/curl.bin"
  measure updater $runner "$loader" "$install" "$(basename "$library")" 12345678 T1
  tr -d '\r' <"$work/command.out" | grep -qx 'result=0' || { echo "  updater: $(tr '\n' ' ' <"$work/command.out")"; status=1; }
  check updater "$work/install/Update/$name"
  measure curl curl "${curl_options[@]}" -o "$work/curl.bin" "$scheme://127.0.0.1:$port/tavo2-web/getFile/block1?name=$name&terminalSN=12345678"
  check curl "$work/curl.bin"
done

if [ "$scheme" = https ]; then
  # The installation is up to date now: each call is one exchange, and
  # over https one handshake more.
  plain_port=
  "$server" --port-file "$work/plain-port" --log-file "$work/plain.log" "$work/release" </dev/null \
    >"$work/plain.out" 2>&1 &
  plain_pid=$!
  for _ in $(seq 100); do [ -s "$work/plain-port" ] && break; sleep 0.1; done
  plain_port=$(tr -d '\r\n' <"$work/plain-port")
  calls=20
  # loader_ms HOSTURL N: the time of one loader process making N calls, in
  # milliseconds.
  loader_ms() {
    printf 'HostURL=%s\r\nCAFile=ca.pem\r\n' "$1" >"$work/install/CONFIG.INI"
    local start end
    start=$(date +%s%N)
    $runner "$loader" --repeat "$2" "$install" "$(basename "$library")" 12345678 T1 >"$work/command.out" 2>&1
    end=$(date +%s%N)
    [ "$(tr -d '\r' <"$work/command.out" | grep -cx 'result=0')" = "$2" ] || { echo "  calls: $(sort "$work/command.out" | uniq -c)"; status=1; }
    echo $(((end - start) / 1000000))
  }
  # calls_over HOSTURL: "FIRST LATER": the first call of a process (loading
  # the library, and OpenSSL's set-up) and each later one, in milliseconds.
  calls_over() {
    local one many
    one=$(loader_ms "$1" 1)
    many=$(loader_ms "$1" $((calls + 1)))
    echo "$one $(((many - one) / calls))"
  }
  read -r https_first https_later < <(calls_over "https://127.0.0.1:$port")
  read -r http_first http_later < <(calls_over "127.0.0.1:$plain_port")
  kill -TERM "$plain_pid" 2>/dev/null || true
  wait "$plain_pid" 2>/dev/null || true
  echo "a call with nothing to download, https against http: the first of a process $https_first against" \
    "$http_first ms, each later one $https_later against $http_later ms ($calls calls):" \
    "the handshake $((https_later - http_later)) ms"
  curl "${curl_options[@]}" -o /dev/null -w 'curl: TCP connect %{time_connect} s, TLS handshake done %{time_appconnect} s\n' \
    -H 'Content-Type: application/json' -d '{"REPLIES":[{"SN":"12345678"}]}' "$scheme://127.0.0.1:$port/tavo2-web/block1"
fi

python3 - "$size" "$work/figures" <<'EOF'
import statistics, sys
size = int(sys.argv[1])
runs = {}
for line in open(sys.argv[2]):
    label, elapsed, user, system, peak = line.split()
    runs.setdefault(label, []).append((float(elapsed), float(user) + float(system), int(peak)))
for label, figures in runs.items():
    for elapsed, cpu, peak in figures:
        print("%-8s %7.2f s  %6.1f MB/s  processor %6.2f s = %5.1f %% of a core  peak %6.1f MiB"
              % (label, elapsed, size / 1e6 / max(elapsed, 0.01), cpu, 100 * cpu / max(elapsed, 0.01), peak / 1024))
median = {label: [statistics.median(column) for column in zip(*figures)] for label, figures in runs.items()}
for label, (elapsed, cpu, peak) in median.items():
    print("median %-8s %7.2f s  processor %5.1f %% of a core  peak %6.1f MiB"
          % (label, elapsed, 100 * cpu / max(elapsed, 0.01), peak / 1024))
if "updater" in median and "curl" in median:
    print("updater / curl, elapsed: %.2f" % (median["updater"][0] / max(median["curl"][0], 0.01)))
EOF
exit $status
