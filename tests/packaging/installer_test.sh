#!/bin/sh
# TavoSetup under Wine, as a fleet runs it: silent install, upgrade over an
# engineer's settings and data, silent uninstall; and a failed install
# answers with a non-zero exit code.
#
# usage: installer_test.sh WINE_RUN WINEPREFIX INSTALLER BUILD_DIR WORK_DIR
set -u
wine=$1 prefix=$2 installer=$3 build=$4 work=$5
service=Tavo2Agent
arp='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavo2'
menu="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/TAVO 2.0/TAVO Test.lnk"
# A blank in the folder's name: the service must still find its program.
dir="$work/point of sale"
failures=0

fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
service_state() { "$wine" sc query "$service" </dev/null 2>&1 | tr -d '\r'; }
# /D= takes the rest of the command line as it stands, blanks and all, so it
# goes through cmd: Wine would quote an argument with blanks.
run_installer() {
  "$wine" cmd /c "$(windows_path "$installer") /S /D=$(windows_path "$1")" </dev/null >/dev/null 2>&1
}
# The uninstaller copies itself elsewhere and returns at once; the copy
# deletes uninstall.exe last of the programs.
run_uninstaller() {
  "$wine" "$dir/uninstall.exe" /S </dev/null >/dev/null 2>&1 || fail "uninstall.exe /S exit code $?"
  tries=0
  while [ -f "$dir/uninstall.exe" ] && [ $tries -lt 600 ]; do sleep 0.1; tries=$((tries + 1)); done
  sleep 1
}
expect_installed() {
  for program in agent/agent.exe updater/Updater.dll testutil/app/TavoTest.exe; do
    cmp -s "$dir/${program##*/}" "$build/$program" || fail "$1: ${program##*/} is not the build's"
  done
  service_state | grep -q RUNNING || fail "$1: the service is not running: $(service_state)"
  [ -f "$menu" ] || fail "$1: no Start menu shortcut"
  "$wine" reg query "$arp" /v DisplayVersion </dev/null 2>/dev/null | grep -q "$2" ||
    fail "$1: no Add/Remove Programs entry for $2"
}
cleanup() {
  [ -f "$dir/uninstall.exe" ] && run_uninstaller
  "$wine" sc stop "$service" </dev/null >/dev/null 2>&1
  "$wine" sc delete "$service" </dev/null >/dev/null 2>&1
}

version=$(basename "$installer" .exe | sed 's/^TavoSetup-//')
rm -rf "$work" && mkdir -p "$work"
cleanup

# Fresh install: the programs, the samples, the service running.
run_installer "$dir" || fail "install exit code $?"
expect_installed install "$version"
grep -q '^Enabled=0' "$dir/agent.ini" || fail "sample agent.ini is not Enabled=0"
grep -q '^ComPort=1' "$dir/pinpad.ini" || fail "sample pinpad.ini is not ComPort=1"
grep -q '^Host1=' "$dir/TavoTest.ini" || fail "no sample TavoTest.ini"
"$wine" reg query 'HKLM\System\CurrentControlSet\Services\Tavo2Agent' /v ImagePath </dev/null 2>&1 |
  grep -qF "$(windows_path "$dir")\\agent.exe" || fail "the service does not run the installed agent.exe"

# Upgrade: the engineer's settings and the data stay, the service runs again.
printf 'Enabled=0\r\n; engineer was here\r\n' >"$dir/agent.ini"
rm "$dir/TavoTest.ini"
mkdir -p "$dir/Cheque/shop" "$dir/Update"
for file in pay_stack Cheque/shop/cheque qetrace.txt Update/filelist.txt CONFIG.INI; do
  echo "$file" >"$dir/$file"
done
run_installer "$dir" || fail "upgrade exit code $?"
expect_installed upgrade "$version"
grep -q 'engineer was here' "$dir/agent.ini" || fail "upgrade replaced the engineer's agent.ini"
[ -f "$dir/TavoTest.ini" ] || fail "upgrade did not write the missing TavoTest.ini"

# Uninstall: service, programs, shortcut and entry go; settings and data stay.
run_uninstaller
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

# A program that cannot be written fails a silent install with a non-zero code.
mkdir -p "$work/broken/agent.exe"
if run_installer "$work/broken"; then fail "an install that could not write agent.exe succeeded"; fi
"$wine" sc query "$service" </dev/null >/dev/null 2>&1 && fail "the failed install registered the service"

cleanup
[ $failures -eq 0 ] && echo "installer: install, upgrade, uninstall and failure as expected"
exit $((failures != 0))
