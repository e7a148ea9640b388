#!/usr/bin/env bash
# Runs one program of a build tree in that tree's host-safe test prefix under
# Wine's debugger and prints what it writes to the debugger output
# (OutputDebugString), one line each. Wine itself shows those texts only to a
# debugger: WINEDEBUG channels such as +debugstr stay silent.
# Usage: scripts/debug-output.sh <build-dir> <program.exe> [args...]
#   e.g. scripts/debug-output.sh build/x64 build/x64/service/Wardelle.exe remove
set -euo pipefail
build=${1:?usage: debug-output.sh <build-dir> <program.exe> [args...]}
program=${2:?usage: debug-output.sh <build-dir> <program.exe> [args...]}
shift 2
here=$(cd "$(dirname "$0")" && pwd)
"$here/make-test-prefix.sh" "$build" >/dev/null
. "$here/wine-env.sh" "$build"
# The debugger starts programs by their Windows path: a copy in the prefix.
folder="$WINEPREFIX/drive_c/debug-output"
rm -rf "$folder"
mkdir -p "$folder"
cp "$program" "$folder/"
name=$(basename "$program")
cd "$folder"
# "cont" until the program ends; each debug string is traced as
# "output debug string (<text>)".
# "output debug string (<text>" with the text's own line break, then ")".
set +o pipefail
yes cont 2>/dev/null | head -n 1000 |
    WINEDEBUG=trace+winedbg "$WINE64" winedbg "C:\\debug-output\\$name" "$@" 2>&1 |
    sed -n 's/.*: output debug string (//p'
cd /
rm -rf "$folder"
