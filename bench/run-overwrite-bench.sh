#!/usr/bin/env bash
# OneX beside the host's own tools, all on one loop-mounted ext4 volume (a
# file of the build tree, mapped as drive S: of a bench prefix of its own), in
# interleaved rounds; prints each run's median time, the bytes that reached
# the volume's block device (during the run, and after a sync), and the
# ratios, all in one run.
#
# Under Wine write-through is ignored: OneX's three patterns meet in the page
# cache and only the last reaches the disk, at the one flush before the cut.
# So one OneX pass is the same durable work as `shred -n 1` (one pass, one
# fsync); `shred -n 3` is three passes that all reach the disk.
#  1. small files: OneX listing and shredding a folder, beside
#     `shred -n 1 -u` (the peer), `shred -n 3 -u` and `shred -n 1 --remove=wipe`
#     run by find over an identical folder (listing included in every time);
#  2. a large file in place: OneX beside `dd bs=64K conv=notrunc,fsync` over
#     the same file and `shred -n 3`; and the peak memory of a small and the
#     large file.
# Needs root (loop mount).
# Usage: bench/run-overwrite-bench.sh <build-dir> [MiB=256] [files=10000] [KiB=4] [rounds=3]
set -euo pipefail
build=${1:?usage: run-overwrite-bench.sh <build-dir> [MiB] [files] [KiB] [rounds]}
mib=${2:-256}
files=${3:-10000}
kib=${4:-4}
rounds=${5:-3}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$build" && pwd)
[ "$(id -u)" = 0 ] || { echo "run as root: the bench mounts a loop volume" >&2; exit 1; }
cmake --build "$build" --target overwrite_bench >/dev/null
exe=$(find "$build/bench" -name overwrite_bench.exe | head -n 1)
export SCORAVEL_PREFIX_NAME=benchprefix
"$root/scripts/make-test-prefix.sh" "$build" >/dev/null
. "$root/scripts/wine-env.sh" "$build"
. "$root/bench/bench-disk.sh"
scoravel_prefix_is_safe || { echo "bench prefix not host-safe" >&2; exit 1; }

bench_results=$(mktemp)
cleanup() {
    "$WINESERVER" -k 2>/dev/null || true
    bench_disk_unmount
    rm -f "$bench_results"
}
trap cleanup EXIT
tree_mib=$(( (files * (kib + 4) + 1023) / 1024 ))
bench_disk_mount $(( mib + tree_mib + 160 )) s
dir=$bench_disk_dir
# One wineserver for the whole run: no OneX run pays for starting one.
"$WINESERVER" -p </dev/null >/dev/null 2>&1 || true
"$root/scripts/wine-run" "$build" cmd.exe /c exit 0 >/dev/null 2>&1 || true
# The prefix was checked above; wine-run's checks would add their own time.
onex() { (cd "$WINEPREFIX/drive_c" && "$WINE64" "$exe" "$@"); }
# The last OneX run once more, timed inside the process (listing included):
# what the writer costs without Wine's process start.
inproc() {
    local s
    s=$(awk -v l="$(field list_seconds "$bench_output")" -v t="$(field seconds "$bench_output")" 'BEGIN { printf "%.4f", (l == "" ? 0 : l) + t }')
    tail -n 1 "$bench_results" | awk -v s="$s" '{ print "onexproc", s, $3, $4 }' >>"$bench_results"
}
field() { sed -n "s/.*\b$1=\([0-9.]*\).*/\1/p" <<<"$2" | head -n 1; }
make_tree() {
    mkdir "$dir/tree"
    head -c $((files * kib * 1024)) /dev/urandom | (cd "$dir/tree" && split -b $((kib * 1024)) -a 6 - f)
}
shred_tree() { find "$dir/tree" -type f -exec shred "$@" {} + && rmdir "$dir/tree"; }
make_big() { head -c $((mib * 1048576)) /dev/urandom >"$dir/big.bin"; }
check_gone() { [ ! -e "$1" ] || { echo "bench: $1 survived the $2 run" >&2; exit 1; }; }

echo "== $files files of $kib KiB, $rounds interleaved rounds (volume $bench_disk_loop)"
for round in $(seq "$rounds"); do
    make_tree; bench_measure onex onex tree 'S:\tree'; inproc
    [ "$(field destroyed "$bench_output")" = 1 ] || { echo "OneX: $bench_output" >&2; exit 1; }
    echo "round $round OneX: $bench_output"
    check_gone "$dir/tree" OneX
    make_tree; bench_measure shred1u shred_tree -n 1 -u; check_gone "$dir/tree" shred
    make_tree; bench_measure shred3u shred_tree -n 3 -u; check_gone "$dir/tree" shred
    make_tree; bench_measure shred1wipe shred_tree -n 1 --remove=wipe; check_gone "$dir/tree" shred
done
bench_medians | awk -v n="$files" -v kib="$kib" '
    { t[$1] = $2; d[$1] = $3; a[$1] = $4; runs = $5 }
    END {
        split("onexproc onex shred1u shred3u shred1wipe", order, " ")
        name["onexproc"] = "OneX (1 pass), in process"; name["onex"] = "OneX, whole Wine process"
        name["shred1u"] = "shred -n 1 -u"
        name["shred3u"] = "shred -n 3 -u"; name["shred1wipe"] = "shred -n 1 --remove=wipe"
        printf "%-26s %9s %9s %14s %14s\n", "median of " runs, "seconds", "files/s", "disk MiB run", "+ after sync"
        for (i = 1; i <= 5; i++) { k = order[i]
            printf "%-26s %9.3f %9.0f %14.1f %14.1f\n", name[k], t[k], n / t[k], d[k] / 1048576, (a[k] - d[k]) / 1048576 }
        printf "data: %.1f MiB in files\n", n * kib / 1024
    }'
# One OneX pass is the durable work of `shred -n 1`; `shred -n 3 -u` does three
# times that, so its time is shown above but no ratio is taken against it.
echo "ratio OneX/shred -n 1 -u (files/s, median of the rounds' ratios): $(bench_round_ratio onexproc shred1u) in process (target >= 1.0), $(bench_round_ratio onex shred1u) whole process"
echo "ratio OneX/shred -n 1 --remove=wipe:                            $(bench_round_ratio onexproc shred1wipe) in process, $(bench_round_ratio onex shred1wipe) whole process"

: >"$bench_results"
echo "== one file of $mib MiB in place, $rounds interleaved rounds"
for round in $(seq "$rounds"); do
    make_big; bench_measure onex onex file 'S:\big.bin'; inproc
    [ "$(field destroyed "$bench_output")" = 1 ] || { echo "OneX: $bench_output" >&2; exit 1; }
    echo "round $round OneX: $bench_output"
    big_memory=$(grep -o 'peak_working_set_kib=[0-9]*' <<<"$bench_output")
    check_gone "$dir/big.bin" OneX
    make_big; bench_measure dd dd if=/dev/zero of="$dir/big.bin" bs=64K count=$((mib * 16)) conv=notrunc,fsync status=none
    rm -f "$dir/big.bin"
    make_big; bench_measure shred3 shred -n 3 "$dir/big.bin"
    rm -f "$dir/big.bin"
done
bench_medians | awk -v mib="$mib" '
    { t[$1] = $2; d[$1] = $3; a[$1] = $4; runs = $5 }
    END {
        split("onexproc onex dd shred3", order, " ")
        name["onexproc"] = "OneX (1 pass), in process"; name["onex"] = "OneX, whole Wine process"; name["dd"] = "dd bs=64K conv=notrunc,fsync"; name["shred3"] = "shred -n 3"
        printf "%-30s %9s %9s %14s %14s\n", "median of " runs, "seconds", "MiB/s", "disk MiB run", "+ after sync"
        for (i = 1; i <= 4; i++) { k = order[i]
            printf "%-30s %9.3f %9.1f %14.1f %14.1f\n", name[k], t[k], mib / t[k], d[k] / 1048576, (a[k] - d[k]) / 1048576 }
    }'
echo "ratio OneX/dd (file MiB/s, same durable work, median of the rounds' ratios): $(bench_round_ratio onexproc dd) in process (target >= 0.9), $(bench_round_ratio onex dd) whole process"
small=$(( mib / 16 > 0 ? mib / 16 : 1 ))
head -c $((small * 1048576)) /dev/urandom >"$dir/small.bin"
small_memory=$(onex file 'S:\small.bin' | tr -d '\r' | grep -o 'peak_working_set_kib=[0-9]*')
echo "memory: $small MiB file $small_memory, $mib MiB file $big_memory"
