#!/usr/bin/env bash
# ctest fixture of the free-space wipe tests: a small tmpfs mounted as drive
# T: of the build tree's test prefix, so that a wipe under test fills a few
# MiB of memory and never a real disk.
# Usage: test-volume.sh <build-dir> mount|unmount
# Mounting needs root (CI runs as root); without it T: stays unmapped and the
# tests that need it skip themselves.
set -u
build=$1; action=$2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh" "$build"
volume="$scoravel_build_dir/bounded-volume"
drive="$WINEPREFIX/dosdevices/t:"
size=32m

unmount() {
    rm -f "$drive"
    if mountpoint -q "$volume" 2>/dev/null; then
        # A Wine process may still hold a file there: detach it anyway.
        umount "$volume" 2>/dev/null || umount -l "$volume"
    fi
    rmdir "$volume" 2>/dev/null
    return 0
}

case "$action" in
mount)
    scoravel_prefix_is_safe || { echo "test prefix not host-safe" >&2; exit 1; }
    unmount
    if [ "$(id -u)" != 0 ]; then
        echo "test-volume: not root, T: stays unmapped; the wipe tests will skip" >&2
        exit 0
    fi
    mkdir -p "$volume"
    mount -t tmpfs -o "size=$size,mode=0777" tmpfs "$volume" || exit 1
    # T: leads to this mount and nowhere else.
    ln -sfn "$volume" "$drive" ;;
unmount)
    unmount ;;
*) echo "usage: test-volume.sh <build-dir> mount|unmount" >&2; exit 2 ;;
esac
