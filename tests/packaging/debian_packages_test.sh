#!/bin/sh
# The Debian packages as CPack makes them from this build: what they hold
# once unpacked into a scratch root, what the agent package's postinst asks
# of the system, the updater used as its description says, and lintian's
# verdict (no errors).
#
# usage: debian_packages_test.sh BUILD_DIR VERSION WORK_DIR
set -u
build=$1 version=$2 work=$3
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

command -v lintian >/dev/null || { echo "lintian is not installed (scripts/setup installs it)"; exit 1; }
rm -rf "$work" && mkdir -p "$work/root"
(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
agent_deb=$(ls "$work"/out/tavo-agent_"$version"_*.deb 2>/dev/null)
updater_deb=$(ls "$work"/out/tavo-updater_"$version"_*.deb 2>/dev/null)
[ -f "$agent_deb" ] && [ -f "$updater_deb" ] || { fail "no packages for $version:"; ls "$work/out"; exit 1; }

# Unpacked into a scratch root: the programs, the settings where the agent
# finds them, the service.
root=$work/root
dpkg -x "$agent_deb" "$root" && dpkg -x "$updater_deb" "$root" || fail "dpkg -x"
[ -x "$root/usr/lib/tavo-agent/agent" ] || fail "no agent program"
"$root/usr/lib/tavo-agent/agent" help </dev/null | grep -q 'Usage' || fail "the packaged agent does not run"
[ -f "$root/usr/lib/tavo-updater/libUpdater.so" ] || fail "no libUpdater.so"
for name in agent.ini pinpad.ini; do
  [ "$(readlink "$root/usr/lib/tavo-agent/$name")" = "/etc/tavo-agent/$name" ] || fail "$name is not linked beside the agent"
  dpkg-deb --ctrl-tarfile "$agent_deb" | tar -xO ./conffiles |
    grep -qx "/etc/tavo-agent/$name" || fail "$name is not a conffile"
done
grep -q '^Enabled=0' "$root/etc/tavo-agent/agent.ini" || fail "agent.ini is not Enabled=0"
grep -q '^ComPort=1' "$root/etc/tavo-agent/pinpad.ini" || fail "pinpad.ini is not ComPort=1"
unit=$root/lib/systemd/system/tavo2agent.service
grep -qx 'ExecStart=/usr/lib/tavo-agent/agent' "$unit" || fail "the unit does not start the packaged agent"
grep -qx 'User=tavo' "$unit" || fail "the unit does not run as tavo"
# The trace goes to the working directory when the program's folder cannot
# be written: tavo's own.
grep -qx 'WorkingDirectory=/var/lib/tavo-agent' "$unit" || fail "the unit does not work in /var/lib/tavo-agent"
dpkg-deb -f "$agent_deb" Depends | grep -q 'adduser' || fail "tavo-agent does not depend on adduser"
dpkg-deb -f "$agent_deb" Depends | grep -q 'libc6' || fail "tavo-agent does not depend on libc6"
dpkg-deb -f "$updater_deb" Depends | grep -q 'libssl3' || fail "tavo-updater does not depend on libssl3"

# postinst configure against stand-ins that log what they are asked: a
# system user tavo is made and put in dialout, the service enabled.
mkdir -p "$work/bin" "$work/scripts"
for command in adduser getent mkdir chown systemctl deb-systemd-helper deb-systemd-invoke; do
  printf '#!/bin/sh\necho "%s $*" >>"%s"\n[ %s != getent ]\n' "$command" "$work/calls" "$command" >"$work/bin/$command"
  chmod +x "$work/bin/$command"
done
dpkg-deb -e "$agent_deb" "$work/scripts"
PATH="$work/bin:$PATH" sh "$work/scripts/postinst" configure || fail "postinst configure exit code $?"
grep -q '^adduser .*--system .*tavo$' "$work/calls" || fail "postinst does not make the system user tavo"
grep -qx 'adduser --quiet tavo dialout' "$work/calls" || fail "postinst does not put tavo in dialout"
grep -qx 'chown tavo:tavo /var/lib/tavo-agent' "$work/calls" || fail "postinst does not give tavo its working directory"
grep -q '^deb-systemd-helper enable tavo2agent.service' "$work/calls" || fail "postinst does not enable the service"

# The updater as its description says it is used: linked into a payment
# core's folder and loaded from there by the core's own user, it keeps its
# files in that folder, never in the package's.
core=$(mktemp -d)
mkdir -p "$work/release" "$work/ecr"
head -c 3000 /dev/urandom >"$work/release/TERMINAL.CFG"
head -c 2000 /dev/urandom >"$work/ecr/ECRDRV.BIN"
"$build/tools/update_server/update-server" --port-file "$work/port" --log-file "$work/server.log" \
  --ecr-folder "$work/ecr" "$work/release" >/dev/null 2>&1 &
server=$!
tries=0
while [ ! -s "$work/port" ] && [ $tries -lt 100 ]; do sleep 0.1; tries=$((tries + 1)); done
ln -s "$root/usr/lib/tavo-updater/libUpdater.so" "$core/libUpdater.so"
printf 'HostURL=127.0.0.1:%s\r\n' "$(cat "$work/port")" >"$core/CONFIG.INI"
as_core=""
if [ "$(id -u)" = 0 ] && setpriv --reuid=65534 --regid=65534 --clear-groups test -r "$core/libUpdater.so"; then
  chown -R 65534:65534 "$core"
  as_core="setpriv --reuid=65534 --regid=65534 --clear-groups"
fi
(cd / && timeout 60 $as_core "$build/tools/updater_loader/updater-loader" "$core" libUpdater.so 12345678 T1 \
  </dev/null >"$work/loader.out" 2>&1)
kill "$server" 2>/dev/null
wait "$server" 2>/dev/null
grep -qx 'result=0' "$work/loader.out" || fail "the linked updater: $(cat "$work/loader.out")"
cmp -s "$work/release/TERMINAL.CFG" "$core/Update/TERMINAL.CFG" && cmp -s "$work/ecr/ECRDRV.BIN" "$core/ECRDRV.BIN" ||
  fail "the linked updater did not bring the files into the core's folder: $(ls -R "$core" | tr '\n' ' ')"
[ "$(ls "$root/usr/lib/tavo-updater")" = libUpdater.so ] ||
  fail "the linked updater wrote into the package's folder: $(ls "$root/usr/lib/tavo-updater" | tr '\n' ' ')"
rm -rf "$core"

lintian --tag-display-limit 0 "$agent_deb" "$updater_deb" >"$work/lintian.log" 2>&1
grep '^E:' "$work/lintian.log" && fail "lintian errors"

[ $failures -eq 0 ] && echo "debian packages: contents, postinst and lintian as expected"
exit $((failures != 0))
