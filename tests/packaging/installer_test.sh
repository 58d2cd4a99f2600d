#!/bin/sh
# TavoSetup under Wine, as a fleet runs it: silent install, upgrade over an
# engineer's settings and data, silent uninstall through the registered
# command; a failed install answers with a non-zero exit code. At a point of
# sale: an upgrade or an uninstall that meets a program in use changes
# nothing, a folder the programs cannot name is refused, and a second
# folder's install takes the service over from the first for good.
#
# usage: installer_test.sh WINE_RUN WINEPREFIX INSTALLER BUILD_DIR WORK_DIR IMAGE_HOLDER
set -u
wine=$1 prefix=$2 installer=$3 build=$4 work=$5 holder=$6
service=Tavo2Agent
arp='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavo2'
menu="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/TAVO 2.0/TAVO Test.lnk"
# The folders on drive C:, as the temporary folder, where a running
# uninstaller can be moved to (Wine, like Windows, moves a running program
# only within a drive). A blank in the folder's name: the service must still
# find its program.
folders="$prefix/drive_c/tavo-installer-test"
dir="$folders/point of sale"
failures=0

fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
windows_path() {
  case $1 in
    "$prefix/drive_c/"*) printf 'C:%s' "${1#"$prefix/drive_c"}" | tr / '\\' ;;
    *) printf 'Z:%s' "$1" | tr / '\\' ;;
  esac
}
service_state() { "$wine" sc query "$service" </dev/null 2>&1 | tr -d '\r'; }
reg_value() { "$wine" reg query "$1" /v "$2" </dev/null 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_[A-Z_]*  *//p'; }
# /D= and _?= take the rest of the command line as it stands, blanks and
# all, so such lines go through cmd: Wine would quote an argument with
# blanks.
run_installer() {
  "$wine" cmd /c "$(windows_path "$installer") /S /D=$(windows_path "$1")" </dev/null >/dev/null 2>&1
}
run_line() {
  printf '@%s\r\n@exit %%errorlevel%%\r\n' "$1" >"$work/line.bat"
  "$wine" cmd /c "$(windows_path "$work/line.bat")" </dev/null >/dev/null 2>&1
}
# What Programs and Features runs, with its exit code.
run_registered_uninstaller() { run_line "$(reg_value "$arp" QuietUninstallString)"; }
# Keeps $1 in use, as a payment core holds Updater.dll or TavoTest runs,
# until release.
hold() {
  rm -f "$work/release"
  : >"$work/holder.out"
  "$wine" "$holder" "$(windows_path "$1")" "$(windows_path "$work/release")" </dev/null >"$work/holder.out" 2>&1 &
  holder_pid=$!
  tries=0
  until grep -q holding "$work/holder.out" || [ $tries -ge 600 ]; do sleep 0.1; tries=$((tries + 1)); done
  grep -q holding "$work/holder.out" || fail "image-holder did not hold $1: $(cat "$work/holder.out")"
}
release() { touch "$work/release"; wait "$holder_pid"; }
expect_installed() {
  for program in agent/agent.exe updater/Updater.dll testutil/app/TavoTest.exe; do
    cmp -s "$3/${program##*/}" "$build/$program" || fail "$1: ${program##*/} is not the build's"
  done
  service_state | grep -q RUNNING || fail "$1: the service is not running: $(service_state)"
  reg_value 'HKLM\System\CurrentControlSet\Services\Tavo2Agent' ImagePath |
    grep -qF "$(windows_path "$3")\agent.exe" || fail "$1: the service does not run $3/agent.exe"
  [ -f "$menu" ] || fail "$1: no Start menu shortcut"
  reg_value "$arp" DisplayVersion | grep -q "$2" || fail "$1: no Add/Remove Programs entry for $2"
  [ "$(reg_value "$arp" InstallLocation)" = "$(windows_path "$3")" ] || fail "$1: the entry is not $3's"
}
# The programs are those of the earlier installation (saved in $work/old),
# its service runs and its entry stays.
expect_previous() {
  for program in agent.exe Updater.dll TavoTest.exe; do
    cmp -s "$dir/$program" "$work/old/$program" || fail "$1: $program is not the earlier one"
  done
  service_state | grep -q RUNNING || fail "$1: the service is not running: $(service_state)"
  reg_value 'HKLM\System\CurrentControlSet\Services\Tavo2Agent' ImagePath |
    grep -qF "$(windows_path "$dir")\agent.exe" || fail "$1: the service does not run the earlier agent.exe"
  [ "$(reg_value "$arp" InstallLocation)" = "$(windows_path "$dir")" ] || fail "$1: the entry is gone"
  [ -f "$menu" ] || fail "$1: the Start menu shortcut is gone"
}
cleanup() {
  for folder in "$dir" "$folders/right place"; do
    [ -f "$folder/uninstall.exe" ] && run_line "\"$(windows_path "$folder")\\uninstall.exe\" /S _?=$(windows_path "$folder")"
  done
  "$wine" sc stop "$service" </dev/null >/dev/null 2>&1
  "$wine" sc delete "$service" </dev/null >/dev/null 2>&1
}

version=$(basename "$installer" .exe | sed 's/^TavoSetup-//')
rm -rf "$work" "$folders" && mkdir -p "$work"
cleanup

# Fresh install: the programs, the samples, the service running.
run_installer "$dir" || fail "install exit code $?"
expect_installed install "$version" "$dir"
grep -q '^Enabled=0' "$dir/agent.ini" || fail "sample agent.ini is not Enabled=0"
grep -q '^ComPort=1' "$dir/pinpad.ini" || fail "sample pinpad.ini is not ComPort=1"
grep -q '^Host1=' "$dir/TavoTest.ini" || fail "no sample TavoTest.ini"

# Upgrade: the engineer's settings and the data stay, the service runs again.
printf 'Enabled=0\r\n; engineer was here\r\n' >"$dir/agent.ini"
rm "$dir/TavoTest.ini"
mkdir -p "$dir/Cheque/shop" "$dir/Update"
for file in pay_stack Cheque/shop/cheque qetrace.txt Update/filelist.txt CONFIG.INI; do
  echo "$file" >"$dir/$file"
done
run_installer "$dir" || fail "upgrade exit code $?"
expect_installed upgrade "$version" "$dir"
grep -q 'engineer was here' "$dir/agent.ini" || fail "upgrade replaced the engineer's agent.ini"
[ -f "$dir/TavoTest.ini" ] || fail "upgrade did not write the missing TavoTest.ini"

# A service the engineer disabled stays disabled and stopped through an
# upgrade (Windows would refuse to start it; Wine does not).
"$wine" sc stop "$service" </dev/null >/dev/null 2>&1
tries=0
while ! service_state | grep -q STOPPED && [ $tries -lt 100 ]; do sleep 0.1; tries=$((tries + 1)); done
services_key='HKLM\System\CurrentControlSet\Services\'$service
"$wine" reg add "$services_key" /v Start /t REG_DWORD /d 4 /f </dev/null >/dev/null 2>&1
run_installer "$dir" || fail "upgrade over a disabled service: exit code $?"
service_state | grep -q STOPPED || fail "upgrade over a disabled service started it: $(service_state)"
[ "$(reg_value "$services_key" Start)" = 0x4 ] || fail "upgrade over a disabled service enabled it"
"$wine" reg add "$services_key" /v Start /t REG_DWORD /d 2 /f </dev/null >/dev/null 2>&1
"$wine" sc start "$service" </dev/null >/dev/null 2>&1

# A point of sale at work: an upgrade that meets Updater.dll loaded or
# TavoTest running, a write refused, or a folder whose name the programs
# cannot use (Cyrillic under an ANSI code page of 1252), changes nothing:
# the earlier programs (marked so that they differ from the build's) and
# their running service stay. So does an uninstall that meets a program in
# use.
mkdir -p "$work/old"
for program in agent.exe Updater.dll TavoTest.exe; do
  printf 'earlier' >>"$dir/$program"
  cp "$dir/$program" "$work/old/$program"
done
for held in Updater.dll TavoTest.exe; do
  hold "$dir/$held"
  run_installer "$dir"
  code=$?
  release
  [ $code -eq 3 ] || fail "an upgrade with $held in use: exit code $code, not 3"
  expect_previous "an upgrade with $held in use"
done
# A write refused halfway (a folder where TavoTest.exe would be moved aside):
# the programs already replaced go back.
mkdir "$dir/TavoTest.exe.tavo-old"
run_installer "$dir"
code=$?
rmdir "$dir/TavoTest.exe.tavo-old"
[ $code -eq 2 ] || fail "an upgrade with a write refused halfway: exit code $code, not 2"
expect_previous "an upgrade with a write refused halfway"
cyrillic="$folders/Касса"
LC_ALL=C.UTF-8 run_installer "$cyrillic"
code=$?
[ $code -eq 4 ] || fail "an install into a Cyrillic folder under code page 1252: exit code $code, not 4"
[ -e "$cyrillic" ] && fail "the refused install made its folder"
expect_previous "an install into a Cyrillic folder"
hold "$dir/TavoTest.exe"
run_registered_uninstaller
code=$?
release
[ $code -eq 3 ] || fail "an uninstall with TavoTest.exe in use: exit code $code, not 3"
expect_previous "an uninstall with TavoTest.exe in use"

# Uninstall through the registered command, whose exit code is the
# uninstaller's: service, programs, shortcut and entry go; settings and data
# stay.
run_registered_uninstaller || fail "the registered uninstall exit code $?"
# uninstall.exe, run in place, goes once it has ended.
tries=0
while [ -f "$dir/uninstall.exe" ] && [ $tries -lt 300 ]; do sleep 0.1; tries=$((tries + 1)); done
service_state | grep -q RUNNING && fail "uninstall left the service running"
"$wine" sc query "$service" </dev/null >/dev/null 2>&1 && fail "uninstall left the service registered"
for program in agent.exe Updater.dll TavoTest.exe uninstall.exe; do
  [ -e "$dir/$program" ] && fail "uninstall left $program"
done
[ -e "$menu" ] && fail "uninstall left the Start menu shortcut"
"$wine" reg query "$arp" </dev/null >/dev/null 2>&1 && fail "uninstall left the Add/Remove Programs entry"
for file in agent.ini pinpad.ini TavoTest.ini pay_stack Cheque/shop/cheque qetrace.txt Update/filelist.txt CONFIG.INI; do
  [ -f "$dir/$file" ] || fail "uninstall removed $file"
done

# agent.exe /reg by hand in a folder the code page cannot name refuses too,
# rather than register a program path with "?" for those letters.
mkdir -p "$cyrillic" && cp "$build/agent/agent.exe" "$cyrillic/"
LC_ALL=C.UTF-8 "$wine" "$cyrillic/agent.exe" /reg </dev/null 2>&1 | grep -q 'Unable to register' ||
  fail "agent.exe /reg in a Cyrillic folder under code page 1252 did not refuse"
"$wine" sc query "$service" </dev/null >/dev/null 2>&1 && fail "agent.exe /reg in a Cyrillic folder registered the service"
rm -rf "$cyrillic"

# A program that cannot be written fails a silent install with a non-zero code.
mkdir -p "$folders/broken/agent.exe"
if run_installer "$folders/broken"; then fail "an install that could not write agent.exe succeeded"; fi
"$wine" sc query "$service" </dev/null >/dev/null 2>&1 && fail "the failed install registered the service"

# Installed again into the right folder, the service, the entry and the
# shortcut move there; the first folder's uninstaller removes its programs
# and leaves them alone.
second="$folders/right place"
run_installer "$dir" || fail "install into the first folder exit code $?"
run_installer "$second" || fail "install into a second folder exit code $?"
run_line "\"$(windows_path "$dir")\\uninstall.exe\" /S _?=$(windows_path "$dir")" ||
  fail "the first folder's uninstall exit code $?"
[ -e "$dir/agent.exe" ] && fail "the first folder's uninstall left its agent.exe"
expect_installed "after the first folder's uninstall" "$version" "$second"

cleanup
rm -rf "$folders"
[ $failures -eq 0 ] && echo "installer: install, upgrade, uninstall, programs in use, a second folder and failures as expected"
exit $((failures != 0))
