#!/usr/bin/env bash
# OneX against the host's own tools, on one folder of the build's test prefix:
#  1. a large file: OneX's throughput beside dd writing the same number of
#     bytes with synchronous writes (OneX writes each byte three times);
#  2. many small files: files per second of OneX beside GNU shred -n 1 -u on
#     an identical tree.
# Usage: bench/run-overwrite-bench.sh <build-dir> [MiB=256] [files=10000] [KiB=4]
set -euo pipefail
build=${1:?usage: run-overwrite-bench.sh <build-dir> [MiB] [files] [KiB]}
mib=${2:-256}
files=${3:-10000}
kib=${4:-4}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$build" && pwd)
cmake --build "$build" --target overwrite_bench >/dev/null
exe=$(find "$build/bench" -name overwrite_bench.exe | head -n 1)
. "$root/scripts/wine-env.sh" "$build"
scoravel_prefix_is_safe || { echo "test prefix not host-safe; run scripts/make-test-prefix.sh" >&2; exit 1; }

dir="$WINEPREFIX/drive_c/scoravel-bench"
win='C:\scoravel-bench'
rm -rf "$dir"
mkdir -p "$dir"
trap 'rm -rf "$dir"' EXIT
bench() { "$root/scripts/wine-run" "$build" "$exe" "$@" | tr -d '\r'; }
field() { sed -n "s/.*\b$1=\([0-9.]*\).*/\1/p" <<<"$2" | head -n 1; }
now() { date +%s.%N; }
"$root/scripts/wine-run" "$build" cmd.exe /c exit 0 >/dev/null 2>&1 || true

echo "== one file of $mib MiB"
head -c $((mib * 1048576)) /dev/urandom >"$dir/big.bin"
sync
onex=$(bench file "$win\\big.bin")
echo "OneX: $onex"
t0=$(now)
dd if=/dev/zero of="$dir/dd.bin" bs=64K count=$((mib * 16)) oflag=dsync status=none
t1=$(now)
rm -f "$dir/dd.bin"
awk -v mib="$mib" -v o="$(field seconds "$onex")" -v t0="$t0" -v t1="$t1" 'BEGIN {
    d = t1 - t0
    printf "OneX   %8.3f s  %8.1f MiB/s of file (%8.1f MiB/s written, 3 patterns)\n", o, mib / o, 3 * mib / o
    printf "dd     %8.3f s  %8.1f MiB/s (bs=64K oflag=dsync)\n", d, mib / d
    printf "ratio OneX/dd: %.3f per file byte, %.3f per byte written\n", (mib / o) / (mib / d), (3 * mib / o) / (mib / d)
}'
small=$(( mib / 16 > 0 ? mib / 16 : 1 ))
head -c $((small * 1048576)) /dev/urandom >"$dir/small.bin"
echo "memory after $small MiB:  $(bench file "$win\\small.bin" | grep peak)"
echo "memory after $mib MiB: $(grep peak <<<"$onex")"

echo "== $files files of $kib KiB"
for tree in onex shred; do
    mkdir -p "$dir/$tree"
    head -c $((files * kib * 1024)) /dev/urandom | (cd "$dir/$tree" && split -b $((kib * 1024)) -a 6 - f)
done
sync
tree=$(bench tree "$win\\onex")
echo "OneX: $tree"
t0=$(now)
find "$dir/shred" -type f -exec shred -n 1 -u {} +
rmdir "$dir/shred"
t1=$(now)
awk -v n="$files" -v o="$(field seconds "$tree")" -v t0="$t0" -v t1="$t1" 'BEGIN {
    s = t1 - t0
    printf "OneX         %8.3f s  %8.0f files/s\n", o, n / o
    printf "shred -n 1 -u %7.3f s  %8.0f files/s\n", s, n / s
    printf "ratio OneX/shred: %.3f\n", (n / o) / (n / s)
}'
