#!/bin/sh
# Fails unless the library exports exactly one function, CheckForUpdates, by
# its plain name (no leading underscore, no @n suffix).
tool="$1"; library="$2"
case "$library" in
  *.dll) names=$("$tool" -p "$library" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\] //p') ;;
  *) names=$("$tool" -D --defined-only "$library" | awk '$2 == "T" { print $3 }') ;;
esac
if [ "$names" != "CheckForUpdates" ]; then
  echo "$(basename "$library") exports:"; printf '  %s\n' $names; exit 1
fi
echo "$(basename "$library") exports CheckForUpdates only"
