#!/usr/bin/env bash
# The free-space wipe's fill beside dd filling the same tmpfs volume with
# synchronous 64 KiB writes, in the same run; prints both and their ratio
# (the wipe's bytes counted three times: it writes each byte with three
# patterns), for phase I (the fill) and for the whole wipe, whose tail of
# byte-by-byte smaller writes costs a fixed time whatever the volume's size.
# Needs root for the mount.
# Usage: bench/run-free-space-bench.sh <build-dir> [MiB=256] [rounds=3]
set -euo pipefail
build=${1:?usage: run-free-space-bench.sh <build-dir> [MiB] [rounds]}
mib=${2:-256}
rounds=${3:-3}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$build" && pwd)
cmake --build "$build" --target free_space_bench >/dev/null
exe=$(find "$build/bench" -name free_space_bench.exe | head -n 1)
. "$root/scripts/wine-env.sh" "$build"
scoravel_prefix_is_safe || { echo "test prefix not host-safe; run scripts/make-test-prefix.sh" >&2; exit 1; }
[ "$(id -u)" = 0 ] || { echo "run as root: the bench mounts a tmpfs" >&2; exit 1; }
[ "$mib" -le 1000 ] || { echo "at most 1000 MiB: the wipe never fills a big volume" >&2; exit 1; }

volume="$build/bench-volume"
drive="$WINEPREFIX/dosdevices/u:"
cleanup() {
    rm -f "$drive"
    mountpoint -q "$volume" && umount "$volume"
    rmdir "$volume" 2>/dev/null || true
}
trap cleanup EXIT
mkdir -p "$volume"
mount -t tmpfs -o "size=${mib}m,mode=0777" tmpfs "$volume"
ln -sfn "$volume" "$drive"
"$root/scripts/wine-run" "$build" cmd.exe /c exit 0 >/dev/null 2>&1 || true
now() { date +%s.%N; }

for round in $(seq "$rounds"); do
    t0=$(now)
    dd if=/dev/zero of="$volume/dd.bin" bs=64K oflag=dsync status=none 2>/dev/null || true
    t1=$(now)
    ddbytes=$(stat -c %s "$volume/dd.bin")
    rm -f "$volume/dd.bin"
    wipe=$("$root/scripts/wine-run" "$build" "$exe" 'U:\' | tr -d '\r')
    awk -v r="$round" -v b="$ddbytes" -v t0="$t0" -v t1="$t1" -v w="$wipe" 'BEGIN {
        split(w, f, /[ =]/)
        for (i = 1; i < length(f); i += 2) v[f[i]] = f[i + 1]
        dd = b / 1048576 / (t1 - t0)
        printf "round %d: dd %.1f MiB/s (%d bytes in %.3f s)\n", r, dd, b, t1 - t0
        printf "  fill (phase I): %.1f MiB/s (%s bytes written in %s s); ratio %.2f\n",
               v["fill_mib_per_s"], v["fill_bytes_written"], v["fill_seconds"], v["fill_mib_per_s"] / dd
        printf "  whole wipe:     %.1f MiB/s (%s bytes written in %s s); ratio %.2f\n",
               v["mib_per_s"], v["bytes_written"], v["seconds"], v["mib_per_s"] / dd
    }'
done
