#!/usr/bin/env bash
# Pictures of TavoTest for the documentation, taken in a GUI session of
# their own (Xvfb, Wine, the payment core double as the payment core):
#   docs/tavotest-tests-page.png          the first page after start
#   docs/tavotest-workdir-dialog.png      the working-directory dialog after a search
#   docs/tavotest-transactions-page.png   the second page after a test payment
#
# usage: screenshots.sh [BUILD_DIR [DOCS_DIR]]   (default build/win64 and docs/)
# BUILD_DIR is a win64 build with TavoTest, tavotest-driver and the double
# built. Needs ImageMagick (scripts/setup installs it) for BMP to PNG.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build/win64}" && pwd) || exit 1
docs=${2:-$root/docs}
here=$root/tests/testutil_gui
session=$build/tests/testutil_gui/screenshot-session

for file in testutil/app/TavoTest.exe tools/tavotest_driver/tavotest-driver.exe tools/payment_core_double/corvo_nt.dll; do
  [ -f "$build/$file" ] || { echo "no $build/$file: build the win64 preset first"; exit 1; }
done
convert=$(command -v magick || command -v convert) || { echo "ImageMagick is not installed"; exit 1; }
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver64 || command -v wineserver || echo /usr/lib/wine/wineserver64)

"$here/gui-session.sh" start "$session" "$wine" "$wineserver" || exit 1
trap '"$here/gui-session.sh" stop "$session"' EXIT
. "$session/env"
rm -rf "${GUI_DISK:?}"/*
mkdir -p "$GUI_DISK/app" "$GUI_DISK/core" "$docs"
cp "$build/testutil/app/TavoTest.exe" "$build/tools/tavotest_driver/tavotest-driver.exe" "$GUI_DISK/app/"
cp "$build"/tools/payment_core_double/*.dll "$GUI_DISK/core/"

cat >"$GUI_DISK/app/pictures" <<'EOF'
start TavoTest.exe
screenshot tests-page.bmp
click btn13
wait-window TSelectTavoDirDlg
click btn2
select lst1 "Z:\\core\\"
screenshot workdir-dialog.bmp
click btn1
switch-page Транзакции
click btn2
screenshot transactions-page.bmp
close
EOF
(cd "$GUI_DISK/app" && "$WINE" tavotest-driver.exe pictures </dev/null >driver.out 2>&1) || {
  echo "the driver failed:"; cat "$GUI_DISK/app/driver.out"; exit 1
}
for picture in tests-page workdir-dialog transactions-page; do
  "$convert" "$GUI_DISK/app/$picture.bmp" "$docs/tavotest-$picture.png" || exit 1
  echo "$docs/tavotest-$picture.png"
done
