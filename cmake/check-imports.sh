#!/bin/sh
# Fails when a Windows binary imports a DLL that Windows itself does not ship
# (a compiler runtime left dynamic, for instance).
objdump="$1"; binary="$2"
allowed='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|ws2_32|wsock32|iphlpapi|msvcrt|ntdll|version|shlwapi|uxtheme|api-ms-win-[a-z0-9-]+)\.dll$'
dlls=$("$objdump" -p "$binary" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$dlls" ] || { echo "no import table found in $binary"; exit 1; }
bad=$(printf '%s\n' "$dlls" | grep -v -E "$allowed")
if [ -n "$bad" ]; then
  echo "$binary imports non-system DLLs:"; printf '  %s\n' $bad; exit 1
fi
printf '%s imports: %s\n' "$(basename "$binary")" "$(printf '%s ' $dlls)"
