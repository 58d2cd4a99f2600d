#!/bin/sh
# usage: check-imports.sh OBJDUMP BINARY NEWER_THAN_MINIMUM_LIST
# Fails when a Windows binary would not load on the oldest Windows it
# supports (Windows 7 SP1): it imports a DLL that Windows itself does not
# ship (a compiler runtime left dynamic, for instance), a function or DLL of
# a later Windows (the list), or its header asks for another Windows version.
objdump="$1"; binary="$2"; newer="$3"
allowed='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|ws2_32|wsock32|winhttp|secur32|crypt32|iphlpapi|msvcrt|ntdll|version|shlwapi|uxtheme|api-ms-win-[a-z0-9-]+)\.dll$'
dump=$("$objdump" -p "$binary") || exit 1
name=$(basename "$binary")
failed=0

dlls=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$dlls" ] || { echo "no import table found in $binary"; exit 1; }
bad=$(printf '%s\n' "$dlls" | grep -v -E "$allowed")
if [ -n "$bad" ]; then
  echo "$name imports non-system DLLs:"; printf '  %s\n' $bad; failed=1
fi

# "dll function" for every function imported by name.
imports=$(printf '%s\n' "$dump" | awk '
  /^[[:space:]]*DLL Name:/ { dll = tolower($3); next }
  /^[[:space:]]*$/ { dll = "" }
  dll != "" && $1 ~ /^[0-9a-f]+$/ && NF == 3 && $2 ~ /^[0-9]+$/ { print dll, tolower($3) }')
too_new=$(printf '%s\n' "$imports" | awk -v list="$newer" '
  BEGIN {
    while ((getline line < list) > 0) {
      if (line ~ /^#/ || line ~ /^[[:space:]]*$/) continue
      split(tolower(line), part, " ")
      if (part[2] == "*") { pattern = part[1]; gsub(/\./, "\\.", pattern); gsub(/\*/, ".*", pattern); whole["^" pattern "$"] = 1 }
      else function_of[part[1] " " part[2]] = 1
    }
  }
  { if ($0 in function_of) { print; next }
    for (p in whole) if ($1 ~ p) { print; next } }')
if [ -n "$too_new" ]; then
  echo "$name imports what Windows 7 SP1 does not have:"; printf '%s\n' "$too_new" | sed 's/^/  /'; failed=1
fi

# The loader refuses a program whose header names a later Windows, and
# older Windows than 7 lack the functions these programs use.
for field in OSystem Subsystem; do
  version=$(printf '%s\n' "$dump" | awk -v f="$field" '$1 == "Major" f "Version" { major = $2 } $1 == "Minor" f "Version" { minor = $2 } END { print major "." minor }')
  if [ "$version" != "6.1" ]; then
    echo "$name: its header's ${field} version is $version, not 6.1 (Windows 7)"; failed=1
  fi
done

[ "$failed" -eq 0 ] && printf '%s imports: %s\n' "$name" "$(printf '%s ' $dlls)"
exit "$failed"
