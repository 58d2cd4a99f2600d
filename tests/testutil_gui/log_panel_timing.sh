#!/usr/bin/env bash
# How long TavoTest takes to fill its log panel with many lines, measured
# under Wine in a GUI session of its own: a pay_stack of COUNT payments makes
# "Сверка" refuse and list every one of them, one log line each. The figure
# is the time of the whole driver run (start, page switch, the click, close)
# for COUNT entries, beside the same run for one entry. A measurement, by
# hand; no test depends on it.
#
# usage: log_panel_timing.sh [BUILD_DIR [COUNT]]   (default build/win64 and 2000)
# BUILD_DIR is a win64 build with TavoTest and tavotest-driver built.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build/win64}" && pwd) || exit 1
count=${2:-2000}
here=$root/tests/testutil_gui
session=$build/tests/testutil_gui/timing-session

for file in testutil/app/TavoTest.exe tools/tavotest_driver/tavotest-driver.exe; do
  [ -f "$build/$file" ] || { echo "no $build/$file: build the win64 preset first"; exit 1; }
done
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver64 || command -v wineserver || echo /usr/lib/wine/wineserver64)

"$here/gui-session.sh" start "$session" "$wine" "$wineserver" || exit 1
trap '"$here/gui-session.sh" stop "$session"' EXIT
. "$session/env"
app=$GUI_DISK/app
rm -rf "${GUI_DISK:?}"/*
mkdir -p "$app"
cp "$build/testutil/app/TavoTest.exe" "$build/tools/tavotest_driver/tavotest-driver.exe" "$app/"

# run ENTRIES: seconds for one driver run with that many stacked payments of
# 1234,56 roubles; the last listed line is checked, so the run counts only
# when the panel shows them all.
run() {
  local entries=$1 start end
  : >"$app/pay_stack"
  for _ in $(seq "$entries"); do printf '123456\r\n'; done >>"$app/pay_stack"
  cat >"$app/script" <<'EOF'
timeout 3600
start TavoTest.exe
switch-page Транзакции
click btn1
expect-contains log "1234,56 р.\n\nСверку итогов можно провести"
close
EOF
  start=$(date +%s.%N)
  (cd "$app" && "$WINE" tavotest-driver.exe script </dev/null >driver.out 2>&1) || {
    echo "the driver failed with $entries entries:"; cat "$app/driver.out"; exit 1
  }
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}

one=$(run 1)
many=$(run "$count")
printf 'log panel: 1 line %.1f s, %d lines %.1f s (whole driver runs under Wine)\n' "$one" "$count" "$many"
