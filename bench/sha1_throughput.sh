#!/usr/bin/env bash
# SHA-1 speed of the updater next to sha1sum's on the same file: makes a
# file of SIZE random bytes (default 256 MiB) in a temporary folder, runs
# sha1_throughput on a buffer of the same size in memory and on the file
# through DigestFile, then sha1sum on the file, and checks that the two
# digests agree. The file has just been written, so both read it from the
# page cache: the figures are hashing speed, not disk speed.
#
# usage: bench/sha1_throughput.sh [BUILD_DIR] [SIZE]   (default build/linux)
set -euo pipefail
build=$(readlink -f "${1:-build/linux}")
size=${2:-268435456}
program=$build/bench/sha1_throughput
[ -x "$program" ] || { echo "no $program: build the linux preset first"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

head -c "$size" /dev/urandom >"$work/payload"
mebibytes=$(( (size + 1048575) / 1048576 ))

seconds() { date +%s.%N; }
rate() { python3 -c "import sys; print('%.1f MB/s' % ($size / 1e6 / float(sys.argv[1])))" "$1"; }

echo "updater (TSha1, DigestFile), $size bytes:"
"$program" --memory "$mebibytes" "$work/payload" | tee "$work/ours" | sed 's/^/  /'
ours=$(sed -n 's/^file: .* sha1 \([0-9a-f]*\)$/\1/p' "$work/ours")

start=$(seconds)
theirs=$(sha1sum "$work/payload" | cut -d' ' -f1)
end=$(seconds)
elapsed=$(python3 -c "import sys; print('%.3f' % (float(sys.argv[2]) - float(sys.argv[1])))" "$start" "$end")
echo "sha1sum:"
echo "  file: $size bytes in $elapsed s, $(rate "$elapsed"), sha1 $theirs"

if [ -n "$ours" ] && [ "$ours" = "$theirs" ]; then
  echo "digests agree"
else
  echo "DIGESTS DIFFER: updater ${ours:-none}, sha1sum $theirs"
  exit 1
fi
