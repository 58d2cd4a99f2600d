#!/bin/sh
# usage: check-exports.sh OBJDUMP DLL "NAME NAME ..." [DLL "NAMES"]...
# Fails unless each DLL's export table holds exactly the names given, as
# written: no decoration, no extra runtime symbols, leading underscores kept.
objdump="$1"; shift
failures=0
while [ $# -ge 2 ]; do
  dll="$1" want=$(printf '%s\n' $2 | LC_ALL=C sort | tr '\n' ' '); shift 2
  have=$("$objdump" -p "$dll" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\] //p' | LC_ALL=C sort | tr '\n' ' ')
  if [ "$have" = "$want" ]; then
    echo "ok: $(basename "$dll") exports $have"
  else
    echo "FAILED: $(basename "$dll") exports [$have], want [$want]"
    failures=$((failures + 1))
  fi
done
exit "$failures"
