#!/usr/bin/env bash
# Download speed of the native updater next to curl's, both from the update
# server stand-in on 127.0.0.1: a release folder holding one file of SIZE
# random bytes (default 100 MB), an installation folder holding the updater
# library and a CONFIG.INI that points at the server. The updater's time is
# that of a whole CheckForUpdates call (the exchange, the download, checking
# the file's hash and size); curl's is the bare download of the same file.
# The exchange alone is timed with curl too: the server stand-in reads and
# hashes its whole release folder to answer each one, which is part of the
# updater's time but none of its own work.
# --chunked makes the server send bodies chunked instead of with a length.
#
# usage: bench/updater_download.sh [--chunked] [BUILD_DIR] [SIZE]   (default build/linux)
set -euo pipefail
server_options=()
if [ "${1:-}" = "--chunked" ]; then
  server_options+=(--chunked)
  shift
fi
build=$(readlink -f "${1:-build/linux}")
size=${2:-100000000}
server=$build/tools/update_server/update-server
loader=$build/tools/updater_loader/updater-loader
library=$build/updater/libUpdater.so
for needed in "$server" "$loader" "$library"; do
  [ -e "$needed" ] || { echo "no $needed: build the linux preset first"; exit 1; }
done
command -v curl >/dev/null || { echo "curl is not installed"; exit 1; }

work=$(mktemp -d)
server_pid=
cleanup() {
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
printf 'HostURL=127.0.0.1:%s\r\n' "$port" >"$work/install/CONFIG.INI"

seconds() { date +%s.%N; }
report() {  # label start end
  python3 -c "import sys; s = float(sys.argv[3]) - float(sys.argv[2]); print('%s: %.3f s, %.1f MB/s' % (sys.argv[1], s, $size / 1e6 / s))" "$@"
}
status=0
check() {  # label file
  local got
  got=$(sha1sum "$2" 2>/dev/null | cut -d' ' -f1) || true
  if [ "$got" = "$expected" ]; then
    echo "  $1: file intact"
  else
    echo "  $1: FILE DIFFERS OR MISSING (sha1 ${got:-none}, expected $expected)"
    status=1
  fi
}

echo "$size bytes from 127.0.0.1:$port${server_options[*]:+ (${server_options[*]})}"
start=$(seconds)
"$loader" "$work/install" libUpdater.so 12345678 T1 >"$work/loader.out" 2>&1 || true
end=$(seconds)
report "updater (whole CheckForUpdates)" "$start" "$end"
grep -qx 'result=0' "$work/loader.out" || { echo "  updater: $(tr '\n' ' ' <"$work/loader.out")"; status=1; }
check updater "$work/install/Update/$name"

start=$(seconds)
curl -s -o "$work/curl.bin" "http://127.0.0.1:$port/tavo2-web/getFile/block1?name=$name&terminalSN=12345678" || true
end=$(seconds)
report "curl" "$start" "$end"
check curl "$work/curl.bin"

start=$(seconds)
curl -s -o /dev/null -H 'Content-Type: application/json' -d '{"REPLIES":[{"SN":"12345678"}]}' \
  "http://127.0.0.1:$port/tavo2-web/block1" || true
end=$(seconds)
python3 -c "import sys; print('curl, exchange alone: %.3f s' % (float(sys.argv[2]) - float(sys.argv[1])))" "$start" "$end"
exit $status
