#!/bin/sh
# usage: loader_test.sh RUNNER LOADER FOLDER LIBRARY [STDCALL_LIBRARY]
# RUNNER is empty for a native loader, else the Wine runner of the build.
# STDCALL_LIBRARY (32-bit x86 builds) exports CheckForUpdates as stdcall.
set -u
runner=$1 loader=$2 folder=$3 library=$4 stdcall_library=${5:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# Output goes to files, not pipes, as Wine wants; line ends lose their CR.
run() {
  if [ -n "$runner" ]; then
    "$runner" "$loader" "$@" >"$work/out" 2>"$work/err" </dev/null
  else
    "$loader" "$@" >"$work/out" 2>"$work/err" </dev/null
  fi
  code=$?
  tr -d '\r' <"$work/out" >"$work/stdout"
}

# expect NAME CODE EXPECTED_STDOUT ARGS...
expect() {
  name=$1 want_code=$2 want_out=$3
  shift 3
  run "$@"
  if [ "$code" != "$want_code" ] || [ "$(cat "$work/stdout")" != "$want_out" ]; then
    echo "FAILED: $name: exit $code (want $want_code), output:"
    cat "$work/stdout" "$work/err"
    failures=$((failures + 1))
  else
    echo "ok: $name"
  fi
}

# The native folder is a Unix path; under Wine it is reached through Z:.
[ -n "$runner" ] && folder="Z:$folder"
three=$(printf 'result=502\n%.0s' 1 2 3)
eight=$(printf 'result=502\n%.0s' 1 2 3 4 5 6 7 8)

expect "calls in sequence" 0 "$three" --repeat 3 "$folder" "$library" 12345 M1
expect "calls from threads" 0 "$eight" --threads 4 --repeat 2 "$folder" "$library" 12345 M1
expect "null arguments" 0 "result=9999" --null-serial --null-model "$folder" "$library" 12345 M1
expect "missing library" 2 "" "$folder" "no-such-$library" 12345 M1
expect "bad usage" 1 "" --repeat 0 "$folder" "$library" 12345 M1
[ -s "$work/err" ] || { echo "FAILED: bad usage printed no usage"; failures=$((failures + 1)); }
if [ -n "$stdcall_library" ]; then
  expect "stdcall export" 3 "" "$folder" "$stdcall_library" 12345 M1
  grep -q "it is not cdecl" "$work/err" || { echo "FAILED: stdcall export not named as such"; failures=$((failures + 1)); }
fi
exit "$failures"
