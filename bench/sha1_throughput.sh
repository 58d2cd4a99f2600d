#!/usr/bin/env bash
# SHA-1 speed of the updater next to openssl's and sha1sum's on the same
# file: makes a file of SIZE random bytes (default 256 MiB) in a temporary
# folder, then RUNS times (default 3) runs sha1_throughput (a buffer of the
# same size in memory with each block code, and the file through
# DigestFile), `openssl dgst -sha1` (skipped when openssl is not installed)
# and sha1sum on the file, and checks that the digests agree. The file has
# just been written, so every program reads it from the page cache: the
# figures are hashing speed, not disk speed. The last lines give the median
# times and the updater's speed as a ratio to the others' (above 1: faster).
# The machine may be busy with other work: the runs alternate, so that a
# busy moment does not fall on one program only.
#
# usage: bench/sha1_throughput.sh [BUILD_DIR] [SIZE] [RUNS]   (default build/linux, 268435456, 3)
set -euo pipefail
build=$(readlink -f "${1:-build/linux}")
size=${2:-268435456}
runs=${3:-3}
program=$build/bench/sha1_throughput
[ -x "$program" ] || { echo "no $program: build the linux preset first"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

head -c "$size" /dev/urandom >"$work/payload"
mebibytes=$(( (size + 1048575) / 1048576 ))
have_openssl=$(command -v openssl >/dev/null && echo yes || echo no)
[ "$have_openssl" = yes ] || echo "openssl is not installed: its column is left out"

seconds() { date +%s.%N; }
elapsed() { python3 -c "import sys; print('%.3f' % (float(sys.argv[2]) - float(sys.argv[1])))" "$1" "$2"; }
status=0
: >"$work/times"
for run in $(seq "$runs"); do
  echo "run $run:"
  "$program" --memory "$mebibytes" "$work/payload" | tee "$work/ours" | sed 's/^/  /'
  ours=$(sed -n 's/^file, .*: .* sha1 \([0-9a-f]*\)$/\1/p' "$work/ours")
  echo "updater $(sed -n 's/^file, .* in \([0-9.]*\) s,.*/\1/p' "$work/ours")" >>"$work/times"

  if [ "$have_openssl" = yes ]; then
    start=$(seconds)
    theirs=$(openssl dgst -sha1 -r "$work/payload" | cut -d' ' -f1)
    took=$(elapsed "$start" "$(seconds)")
    echo "  openssl dgst -sha1: $took s, sha1 $theirs"
    echo "openssl $took" >>"$work/times"
    [ "$ours" = "$theirs" ] || { echo "DIGESTS DIFFER: updater ${ours:-none}, openssl $theirs"; status=1; }
  fi

  start=$(seconds)
  theirs=$(sha1sum "$work/payload" | cut -d' ' -f1)
  took=$(elapsed "$start" "$(seconds)")
  echo "  sha1sum: $took s, sha1 $theirs"
  echo "sha1sum $took" >>"$work/times"
  [ "$ours" = "$theirs" ] || { echo "DIGESTS DIFFER: updater ${ours:-none}, sha1sum $theirs"; status=1; }
done

python3 - "$size" "$work/times" <<'EOF'
import statistics, sys
size = int(sys.argv[1])
times = {}
for line in open(sys.argv[2]):
    label, seconds = line.split()
    times.setdefault(label, []).append(float(seconds))
median = {label: statistics.median(values) for label, values in times.items()}
for label, seconds in median.items():
    print("median %-8s %.3f s  %7.1f MB/s" % (label, seconds, size / 1e6 / seconds))
for other in ("openssl", "sha1sum"):
    if other in median:
        print("updater speed / %s: %.2f" % (other, median[other] / median["updater"]))
EOF
exit $status
