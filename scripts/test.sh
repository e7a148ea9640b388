#!/usr/bin/env bash
# Runs every test of the 64-bit tree under Wine in its host-safe prefix.
# Usage: scripts/test.sh [-j N] [other ctest options]
#   -j N: run N tests at a time (default: one per core); on a shared machine
#   give fewer.
set -uo pipefail
cd "$(dirname "$0")/.."
here=$(pwd)
[ -d build/x64 ] || { echo "run scripts/setup.sh first" >&2; exit 2; }
scripts/make-test-prefix.sh build/x64 >/dev/null || exit 1
# An interrupted run must not leave Wine processes behind.
trap '"$here/scripts/wine-server" "$here/build/x64" stop' EXIT
jobs=$(nproc)
if [ "${1:-}" = -j ] && [ -n "${2:-}" ]; then jobs=$2; shift 2; fi
cd build/x64
# Under heavy load Wine now and then fails to start a test program at all
# (the case ends at once with no output): a failing case gets one more try,
# and the first try's output stays in the log.
ctest -j "$jobs" --output-on-failure --repeat until-pass:2 "$@"
