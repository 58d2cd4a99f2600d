#!/usr/bin/env bash
# The signed release as scripts/package builds it, with a throw-away
# certificate made here: every program, the uninstaller and the installer
# carry a signature that osslsigncode verifies, the installer packs the
# signed programs, they still run, and a certificate that cannot sign fails
# the build instead of leaving a program unsigned.
#
# usage: signing_test.sh CMAKE BUILD_DIR SIGNED_INSTALLER WINE_RUN LOADER WORK_DIR PROGRAM...
set -u
cmake=$1 build=$2 installer=$3 wine=$4 loader=$5 work=$6
shift 6
programs=("$@")
sign=$(dirname "$0")/../../scripts/sign-windows
signed=$(dirname "$installer")
failures=0

fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
verify() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.log" 2>&1; }

rm -rf "$work" && mkdir -p "$work/tmp" "$work/payload"
# A blank and shell quotes in the password: it must reach osslsigncode whole.
password='throw away "pass" $word'
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
  -subj "/CN=TAVO throw-away signer" -addext "keyUsage=critical,digitalSignature" \
  -addext "extendedKeyUsage=codeSigning" >/dev/null 2>&1 || { echo "FAILED: openssl req"; exit 1; }
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/signer.pfx" \
  -passout "pass:$password" || { echo "FAILED: openssl pkcs12"; exit 1; }

# A certificate that cannot sign (none, a wrong password, a timestamp server
# nobody answers for) fails and leaves the program as it was.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cp "${programs[0]}" "$work/unsigned.exe"
for case in "no certificate" "wrong password" "timestamp server down"; do
  cp "$work/unsigned.exe" "$work/case.exe"
  case $case in
    "no certificate") env -u TAVO_SIGN_PFX "$sign" "$work/case.exe" ;;
    "wrong password") TAVO_SIGN_PFX=$work/signer.pfx TAVO_SIGN_PASSWORD=wrong "$sign" "$work/case.exe" ;;
    *) TAVO_SIGN_PFX=$work/signer.pfx TAVO_SIGN_PASSWORD=$password \
         TAVO_SIGN_TIMESTAMP_URL=http://127.0.0.1:$port/ "$sign" "$work/case.exe" ;;
  esac >/dev/null 2>&1 && fail "$case: signing succeeded"
  cmp -s "$work/case.exe" "$work/unsigned.exe" || fail "$case: the program changed"
done

# The signed release. Its temporary files (the password's among them) go.
TAVO_SIGN_PFX=$work/signer.pfx TAVO_SIGN_PASSWORD=$password TMPDIR=$work/tmp \
  "$cmake" --build "$build" --target installer-signed >"$work/build.log" 2>&1 ||
  { tail -n 30 "$work/build.log"; fail "the signed installer was not built"; }
[ -z "$(ls -A "$work/tmp")" ] || fail "temporary files left: $(ls -A "$work/tmp")"
for file in "${programs[@]##*/}" "${installer##*/}"; do
  verify "$signed/$file" || { cat "$work/verify.log"; fail "$file: no valid signature"; }
  grep -q "CN=TAVO throw-away signer" "$work/verify.log" || fail "$file: not signed by the certificate given"
done
# The build's own programs stay as the linker made them: the unsigned
# installer and the tests use those.
for program in "${programs[@]}"; do
  verify "$program" && fail "${program##*/} of the build was signed in place"
done

# What the installer unpacks: makensis's solid LZMA data, a chain of blocks
# (4-byte length, then the bytes), the programs, the uninstaller (an NSIS
# program itself) and NSIS's plugins among them as they will be written.
python3 - "$signed/${installer##*/}" "$work/payload" <<'EOF' || fail "the installer's data cannot be read"
import lzma, struct, sys
data = open(sys.argv[1], "rb").read()
magic = data.index(b"NullsoftInst")
header_length, length = struct.unpack("<II", data[magic + 12:magic + 20])
packed = data[magic + 20:magic - 8 + length]
props, dict_size = packed[0], struct.unpack("<I", packed[1:5])[0]
lzma1 = {"id": lzma.FILTER_LZMA1, "dict_size": dict_size, "lc": props % 9, "lp": props // 9 % 5, "pb": props // 45}
unpacked = lzma.LZMADecompressor(lzma.FORMAT_RAW, filters=[lzma1]).decompress(packed[5:])
at = 0
while at + 4 <= len(unpacked):
    size = struct.unpack("<I", unpacked[at:at + 4])[0]
    block = unpacked[at + 4:at + 4 + size]
    if block[:2] == b"MZ":
        kind = "uninstaller" if b"NullsoftInst" in block else "program"
        open("%s/%s-%d.exe" % (sys.argv[2], kind, at), "wb").write(block)
    at += 4 + size
EOF
for program in "${programs[@]##*/}"; do
  found=""
  for block in "$work"/payload/program-*.exe; do cmp -s "$block" "$signed/$program" && found=yes; done
  [ -n "$found" ] || fail "the installer does not carry the signed $program"
done
uninstallers=("$work"/payload/uninstaller-*.exe)
if [ ${#uninstallers[@]} -ne 1 ] || [ ! -f "${uninstallers[0]}" ]; then
  # Without !uninstfinalize the uninstaller is put together at install time,
  # unsigned, from the installer's own program.
  fail "the installer does not carry one uninstaller made at build time: ${uninstallers[*]##*/}"
else
  verify "${uninstallers[0]}" || { cat "$work/verify.log"; fail "the uninstaller has no valid signature"; }
fi

# The signed programs still run.
"$wine" "$signed/agent.exe" /help </dev/null 2>&1 | grep -q "Usage:" || fail "the signed agent.exe does not run"
library=$(basename "${programs[1]}")
# Its one connection goes to the port found free above.
mkdir -p "$work/updater" && cp "$signed/$library" "$work/updater/"
printf 'HostURL=127.0.0.1:%s\r\nTrace=0\r\n' "$port" >"$work/updater/CONFIG.INI"
"$wine" "$loader" "Z:$work/updater" "$library" 12345678 T1 </dev/null >"$work/loader.log" 2>&1 &&
  grep -q "^result=" "$work/loader.log" || { cat "$work/loader.log"; fail "the signed $library does not load"; }

rm -rf "$signed"
[ $failures -eq 0 ] && echo "signed release: all checks passed"
exit $((failures > 0))
