#!/usr/bin/env bash
# The main job, end to end: Graventa.exe shreds a small folder tree under Wine.
#   - builds a demonstration tree in C:\scoravel-demo of the build tree's
#     host-safe test prefix (files of several sizes, a read-only file, a
#     nested folder) and "installs" Graventa.exe beside it;
#   - seeds the prefix's registry with settings of its own (Medium profile,
#     success logging on, the install folder): nothing comes from the host;
#   - runs "Graventa.exe ShredOneFile C:\scoravel-demo\tree" and answers its
#     question from outside, as a person would: DemoAnswer.exe (built in the
#     tree from scripts/demo_answer.cpp) waits beside it for the question,
#     checks that it names the tree and presses Yes;
#   - prints the shred log and what is left of the tree (nothing).
# Usage: scripts/demo.sh [build-dir]   (default build/x64)
set -euo pipefail
cd "$(dirname "$0")/.."
here=$(pwd)
build=${1:-build/x64}
for program in program/Graventa.exe scripts/DemoAnswer.exe; do
    [ -f "$build/$program" ] || { echo "demo: build $build first (scripts/setup.sh)" >&2; exit 2; }
done
. scripts/wine-env.sh "$build"
scoravel_prefix_is_safe || { echo "demo: run scripts/make-test-prefix.sh $build first" >&2; exit 2; }
trap '"$here/scripts/wine-server" "$here/$build" stop' EXIT

demo="$WINEPREFIX/drive_c/scoravel-demo"
rm -rf "$demo"
mkdir -p "$demo/install" "$demo/tree/nested/deeper"
cp "$build/program/Graventa.exe" "$build/scripts/DemoAnswer.exe" "$demo/install/"
head -c 0 /dev/urandom >"$demo/tree/empty.txt"
head -c 1 /dev/urandom >"$demo/tree/one-byte.bin"
head -c 4103 /dev/urandom >"$demo/tree/page-and-a-bit.bin"
head -c 1048576 /dev/urandom >"$demo/tree/nested/one-megabyte.bin"
echo "keep out" >"$demo/tree/nested/read-only.txt"
chmod a-w "$demo/tree/nested/read-only.txt"
head -c 70000 /dev/urandom >"$demo/tree/nested/deeper/seventy-k.dat"

reg() { "$WINE64" reg "$@" >/dev/null 2>&1; }
product='HKLM\Software\Ostervale\Scoravel'
settings='HKCU\Software\Ostervale\Scoravel'
reg delete "$product" /f || true
reg delete "$settings" /f || true
reg add "$product" /v InstallLocation /t REG_SZ /d 'C:\scoravel-demo\install' /f
reg add "$product" /v EnableSuccessLogging /t REG_DWORD /d 1 /f
reg add "$settings\\Settings" /v Revision /t REG_DWORD /d 2 /f
reg add "$settings\\Settings" /v SecurityProfile /t REG_DWORD /d 1 /f  # Medium

echo "== before: C:\\scoravel-demo\\tree"
(cd "$demo" && find tree | sort)
echo "== Graventa.exe ShredOneFile C:\\scoravel-demo\\tree"
status=0
# Graventa shows its question for real, and DemoAnswer answers it.
"$WINE64" 'C:\scoravel-demo\install\Graventa.exe' ShredOneFile 'C:\scoravel-demo\tree' &
graventa=$!
if ! "$WINE64" 'C:\scoravel-demo\install\DemoAnswer.exe' 'C:\scoravel-demo\tree' 60; then
    status=1
    # Unanswered, Graventa would wait for ever: end the one we started.
    kill "$graventa" 2>/dev/null || true
fi
wait "$graventa" || status=1
echo "== shred log"
for log in "$demo"/install/*_ShredderLog.txt; do
    [ -f "$log" ] && tr -d '\r' <"$log"
done
echo "== left of the tree"
if [ -e "$demo/tree" ]; then
    (cd "$demo" && find tree | sort)
    status=1
else
    echo "(nothing)"
fi

# The prefix goes back to having no product settings, as the tests expect.
reg delete "$product" /f || true
reg delete "$settings" /f || true
exit $status
