#!/usr/bin/env bash
# Pictures of the installer's and the uninstaller's pages for the README,
# taken in a GUI session of their own (Xvfb, 32-bit Wine, Russian locale):
#   docs/installer-welcome.png   docs/installer-folder.png   docs/installer-done.png
#   docs/uninstaller-confirm.png docs/uninstaller-done.png
# The pages are stepped through with the Enter key (xdotool), each picture
# is the virtual screen cut down to the dialog (ImageMagick).
#
# usage: installer_screenshots.sh [BUILD_DIR [DOCS_DIR]]   (default build/win32 and docs/)
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build/win32}" && pwd) || exit 1
docs=${2:-$root/docs}
installer=$(ls "$build"/packaging/windows/TavoSetup-*.exe 2>/dev/null | head -n 1)
[ -f "$installer" ] || { echo "no installer in $build: build the win32 preset first"; exit 1; }
command -v xdotool >/dev/null || { echo "xdotool is not installed (scripts/setup installs it)"; exit 1; }
convert=$(command -v magick || command -v convert) || { echo "ImageMagick is not installed"; exit 1; }
session=$build/tests/packaging/screenshot-session
gui_session=$root/tests/testutil_gui/gui-session.sh

"$gui_session" start "$session" "${TAVO_WINE32_HOME:-/opt/tavo-wine32}/wine32" \
  "${TAVO_WINE32_HOME:-/opt/tavo-wine32}/wineserver32" || exit 1
trap '"$gui_session" stop "$session"' EXIT
. "$session/env"
mkdir -p "$docs"
cp "$installer" "$GUI_DISK/TavoSetup.exe"

# The page after SECONDS, then Enter (the default button: Next, Install, Finish...).
picture() {
  sleep "$1"
  "$convert" x:root -trim +repage "$docs/$2.png" || exit 1
  echo "$docs/$2.png"
  xdotool key Return
}
(cd "$GUI_DISK" && "$WINE" TavoSetup.exe </dev/null >/dev/null 2>&1 &)
picture 8 installer-welcome
picture 2 installer-folder
picture 8 installer-done
sleep 2
xdotool key Return   # the last page: Finish
sleep 2
(cd "$GUI_DISK" && "$WINE" 'C:\TAVO\uninstall.exe' </dev/null >/dev/null 2>&1 &)
picture 8 uninstaller-confirm
picture 8 uninstaller-done
sleep 2
