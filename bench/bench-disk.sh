# Sourced by the benchmarks after scripts/wine-env.sh: a small ext4 volume in
# a file of the build tree, loop-mounted and mapped as one drive letter of the
# bench prefix, so that every run writes to a real block device whose counters
# tell what reached it. Never the host's own disks, never C: or Z:.
#   bench_disk_mount <MiB> <letter>   make, mount and map it (root only)
#   bench_disk_bytes                  bytes written to its block device so far
#   bench_disk_unmount                unmap, unmount, delete the image
#   bench_measure <label> <cmd...>    one timed run; appends
#       "<label> <seconds> <disk bytes during the run> <disk bytes after a sync>"
#       to $bench_results and leaves the command's output in $bench_output
bench_disk_mount() {
    local mib=$1 letter=$2
    case "$letter" in [cCzZ]) echo "bench: never on drive $letter:" >&2; return 1 ;; esac
    [ "$mib" -le 1000 ] || { echo "bench: at most 1000 MiB" >&2; return 1; }
    bench_disk_image="$scoravel_build_dir/bench-disk-$letter.img"
    bench_disk_dir="$scoravel_build_dir/bench-disk-$letter"
    bench_disk_drive="$WINEPREFIX/dosdevices/$letter:"
    bench_disk_unmount
    truncate -s "${mib}M" "$bench_disk_image"
    # No lazy initialisation: it would write in the background while we count.
    mkfs.ext4 -q -F -E lazy_itable_init=0,lazy_journal_init=0 "$bench_disk_image"
    mkdir -p "$bench_disk_dir"
    mount -o loop "$bench_disk_image" "$bench_disk_dir"
    chmod 0777 "$bench_disk_dir"
    bench_disk_loop=$(basename "$(findmnt -n -o SOURCE --target "$bench_disk_dir")")
    [ -r "/sys/block/$bench_disk_loop/stat" ] || { echo "bench: no counters for $bench_disk_loop" >&2; return 1; }
    ln -sfn "$bench_disk_dir" "$bench_disk_drive"
}

bench_disk_bytes() {
    awk '{ printf "%.0f\n", $7 * 512 }' "/sys/block/$bench_disk_loop/stat"
}

bench_disk_unmount() {
    if [ -n "${bench_disk_drive:-}" ]; then rm -f "$bench_disk_drive"; fi
    if [ -n "${bench_disk_dir:-}" ]; then
        if mountpoint -q "$bench_disk_dir"; then
            umount "$bench_disk_dir" 2>/dev/null || umount -l "$bench_disk_dir"
        fi
        rmdir "$bench_disk_dir" 2>/dev/null || true
    fi
    if [ -n "${bench_disk_image:-}" ]; then rm -f "$bench_disk_image"; fi
    return 0
}

bench_measure() {
    local label=$1 b0 b1 b2 t0 t1
    shift
    sync
    b0=$(bench_disk_bytes)
    t0=$(date +%s.%N)
    bench_output=$("$@" | tr -d '\r')
    t1=$(date +%s.%N)
    b1=$(bench_disk_bytes)
    sync
    b2=$(bench_disk_bytes)
    echo "$label $(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f", b - a }') $((b1 - b0)) $((b2 - b0))" >>"$bench_results"
}

# The median of each label's runs (seconds and bytes each their own median),
# as "<label> <seconds> <bytes during> <bytes after sync> <runs>".
bench_medians() {
    sort -k1,1 -k2,2g "$bench_results" | awk '
        function flush() { if (n) { printf "%s %s %s %s %d\n", label, s[int((n + 1) / 2)], med(d), med(a), n } }
        function med(v,   i, j, t) {
            for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
            return v[int((n + 1) / 2)]
        }
        $1 != label { flush(); label = $1; n = 0 }
        { n++; s[n] = $2; d[n] = $3 + 0; a[n] = $4 + 0 }
        END { flush() }'
}

# The median over the rounds of one round's ratio: <slow label>'s seconds over
# <fast label>'s, the k-th run of each label being round k's. A ratio taken
# within one round sees the same machine load on both sides.
bench_round_ratio() {
    awk -v fast="$1" -v slow="$2" '
        $1 == fast { nf++; tf[nf] = $2 }
        $1 == slow { ns++; ts[ns] = $2 }
        END {
            n = nf < ns ? nf : ns
            for (i = 1; i <= n; i++) r[i] = ts[i] / tf[i]
            for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (r[j] < r[i]) { t = r[i]; r[i] = r[j]; r[j] = t }
            if (n) printf "%.2f", r[int((n + 1) / 2)]; else printf "-"
        }' "$bench_results"
}
