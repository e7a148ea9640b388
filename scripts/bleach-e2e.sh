#!/usr/bin/env bash
# The end-to-end disk bleach, in a prefix of its own whose C: is a small
# tmpfs, so that no other test ever sees that C: and the wipe fills memory,
# never a disk. Makes <build>/bleach-prefix host-safe, mounts the tmpfs,
# makes it C:, refuses to go on unless C: has less than 1 GiB free, runs the
# test program in that prefix, then takes everything down again.
# Usage: bleach-e2e.sh <build-dir> <bleach_e2e_tests.exe>
# Exit 77 (skipped) when not root: only root can mount the tmpfs.
set -u
build=${1:?usage: bleach-e2e.sh <build-dir> <test-program>}
program=${2:?usage: bleach-e2e.sh <build-dir> <test-program>}
here=$(cd "$(dirname "$0")" && pwd)

if [ "$(id -u)" != 0 ]; then
    echo "bleach-e2e: not root, cannot mount the bounded C:; skipped" >&2
    exit 77
fi

export SCORAVEL_PREFIX_NAME=bleach-prefix
# The real service and program talk on the product's own pipe names.
unset SCORAVEL_TEST_PIPES
. "$here/wine-env.sh" "$build"
volume="$scoravel_build_dir/bleach-c"
max_bytes=$((1 << 30))

teardown() {
    if [ -d "$WINEPREFIX" ]; then
        "$WINESERVER" -k 2>/dev/null
        "$WINESERVER" -w 2>/dev/null
    fi
    if mountpoint -q "$volume" 2>/dev/null; then
        umount "$volume" 2>/dev/null || umount -l "$volume"
    fi
    [ -d "$volume" ] && rmdir "$volume"
    # Never follows the links: c: leads to the (now unmounted) volume.
    case "$WINEPREFIX" in
    */bleach-prefix) rm -rf "$WINEPREFIX" ;;
    esac
    return 0
}
trap teardown EXIT
trap 'exit 143' TERM INT HUP
teardown

"$here/make-test-prefix.sh" "$build" || exit 1

mkdir -p "$volume"
mount -t tmpfs -o size=48m,mode=0755 tmpfs "$volume" || exit 1
# Everything of the old C: stays where it is; only C:\ itself is the tmpfs.
for entry in "$WINEPREFIX"/drive_c/* "$WINEPREFIX"/drive_c/.[!.]*; do
    [ -e "$entry" ] || [ -L "$entry" ] || continue
    ln -s "$entry" "$volume/$(basename "$entry")"
done
ln -sfn "$volume" "$WINEPREFIX/dosdevices/c:"

# The guard of the rig: C: must lead to this mount, and the mount must be
# small, before any Wine process of this prefix may start a wipe.
if [ "$(readlink "$WINEPREFIX/dosdevices/c:")" != "$volume" ] || ! mountpoint -q "$volume"; then
    echo "bleach-e2e: C: of $WINEPREFIX is not the bounded volume; refusing" >&2
    exit 1
fi
read -r size avail < <(df -B1 --output=size,avail "$volume" | tail -n 1)
if [ -z "$avail" ] || [ "$avail" -ge "$max_bytes" ] || [ "$size" -ge "$max_bytes" ]; then
    echo "bleach-e2e: C: has ${avail:-?} bytes free (limit $max_bytes); refusing" >&2
    exit 1
fi

# The test program checks GetDiskFreeSpaceExW("C:\") itself before it starts.
"$WINESERVER" -p </dev/null >/dev/null 2>&1
"$here/wine-run" "$build" "$program" --gtest_color=no
rc=$?
exit $rc
