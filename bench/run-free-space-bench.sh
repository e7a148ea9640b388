#!/usr/bin/env bash
# The free-space wipe beside dd filling the same volume, per filled byte, in
# interleaved rounds: a loop-mounted ext4 volume of a few hundred MiB (a file
# of the build tree, mapped as drive U: of the bench prefix), never the host's
# free space. dd writes zeros in 64 KiB blocks until the volume is full and
# syncs once (conv=fsync); the wipe writes three patterns over every filled
# byte, of which under Wine only the last reaches the disk (at its flush).
# Prints, for each, the space filled per second and the bytes that reached
# the volume's block device; the ratio for phase I (the fill) and for the
# whole wipe, whose tail of ever smaller writes costs a fixed time whatever
# the volume's size.
# Needs root (loop mount).
# Usage: bench/run-free-space-bench.sh <build-dir> [MiB=300] [rounds=3]
set -euo pipefail
build=${1:?usage: run-free-space-bench.sh <build-dir> [MiB] [rounds]}
mib=${2:-300}
rounds=${3:-3}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$build" && pwd)
[ "$(id -u)" = 0 ] || { echo "run as root: the bench mounts a loop volume" >&2; exit 1; }
[ "$mib" -le 1000 ] || { echo "at most 1000 MiB: the wipe never fills a big volume" >&2; exit 1; }
cmake --build "$build" --target free_space_bench >/dev/null
exe=$(find "$build/bench" -name free_space_bench.exe | head -n 1)
export SCORAVEL_PREFIX_NAME=benchprefix
"$root/scripts/make-test-prefix.sh" "$build" >/dev/null
. "$root/scripts/wine-env.sh" "$build"
. "$root/bench/bench-disk.sh"
scoravel_prefix_is_safe || { echo "bench prefix not host-safe" >&2; exit 1; }

bench_results=$(mktemp)
cleanup() {
    "$WINESERVER" -k 2>/dev/null || true
    bench_disk_unmount
    rm -f "$bench_results" "$bench_results.rates"
}
trap cleanup EXIT
bench_disk_mount "$mib" u
dir=$bench_disk_dir
"$WINESERVER" -p </dev/null >/dev/null 2>&1 || true
"$root/scripts/wine-run" "$build" cmd.exe /c exit 0 >/dev/null 2>&1 || true
wipe() { (cd "$WINEPREFIX/drive_c" && "$WINE64" "$exe" 'U:\'); }
fill_dd() { dd if=/dev/zero of="$dir/dd.bin" bs=64K conv=fsync status=none 2>/dev/null || true; }
field() { sed -n "s/.*\b$1=\([0-9.]*\).*/\1/p" <<<"$2" | head -n 1; }

echo "== free space of a $mib MiB ext4 volume ($bench_disk_loop), $rounds interleaved rounds"
for round in $(seq "$rounds"); do
    bench_measure dd fill_dd
    ddbytes=$(stat -c %s "$dir/dd.bin")
    rm -f "$dir/dd.bin"
    ddline=$(tail -n 1 "$bench_results")
    bench_measure wipe wipe
    out=$bench_output
    [ "$(field wiped "$out")" = 1 ] || { echo "wipe: $out" >&2; exit 1; }
    disk=$(tail -n 1 "$bench_results" | awk '{ print $3 }')
    # Per filled byte: dd's file size; the wipe's phase I and whole call, timed inside.
    awk -v r="$round" -v b="$ddbytes" -v dl="$ddline" -v o="$out" -v disk="$disk" 'BEGIN {
        split(dl, d, " "); n = split(o, f, /[ =]/)
        for (i = 1; i < n; i += 2) v[f[i]] = f[i + 1]
        dd = b / 1048576 / d[2]
        printf "round %d: dd   %6.1f MiB/s filled (%d bytes in %.3f s; %.1f MiB reached the disk)\n", r, dd, b, d[2], d[3] / 1048576
        printf "         fill %6.1f MiB/s filled (%s bytes in %s s); ratio %.2f\n", v["fill_mib_per_s"], v["fill_filled_bytes"], v["fill_seconds"], v["fill_mib_per_s"] / dd
        printf "         wipe %6.1f MiB/s filled (%s bytes in %s s; %.1f MiB reached the disk); ratio %.2f\n", v["mib_per_s"], v["filled_bytes"], v["seconds"], disk / 1048576, v["mib_per_s"] / dd
    }'
    echo "fill $(field fill_mib_per_s "$out") $(field mib_per_s "$out") $ddbytes $(awk -v b="$ddbytes" -v s="$(echo "$ddline" | awk '{print $2}')" 'BEGIN { printf "%.3f", b / 1048576 / s }')" >>"$bench_results.rates"
done
sort -k2,2g "$bench_results.rates" | awk '{ f[NR] = $2 } END { m = f[int((NR + 1) / 2)]; printf "median fill (phase I): %.1f MiB/s filled\n", m }'
sort -k3,3g "$bench_results.rates" | awk '{ w[NR] = $3 } END { printf "median whole wipe:     %.1f MiB/s filled\n", w[int((NR + 1) / 2)] }'
sort -k5,5g "$bench_results.rates" | awk '{ d[NR] = $5 } END { printf "median dd:             %.1f MiB/s filled\n", d[int((NR + 1) / 2)] }'
awk '{ print $2 / $5 }' "$bench_results.rates" | sort -g | awk '{ r[NR] = $1 } END { printf "ratio fill/dd (median of rounds): %.2f\n", r[int((NR + 1) / 2)] }'
awk '{ print $3 / $5 }' "$bench_results.rates" | sort -g | awk '{ r[NR] = $1 } END { printf "ratio whole wipe/dd (median of rounds): %.2f\n", r[int((NR + 1) / 2)] }'
rm -f "$bench_results.rates"
