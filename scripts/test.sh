#!/usr/bin/env bash
# Runs every test of the 64-bit tree under Wine in its host-safe prefix.
set -uo pipefail
cd "$(dirname "$0")/.."
here=$(pwd)
[ -d build/x64 ] || { echo "run scripts/setup.sh first" >&2; exit 2; }
scripts/make-test-prefix.sh build/x64 >/dev/null || exit 1
# An interrupted run must not leave Wine processes behind.
trap '"$here/scripts/wine-server" "$here/build/x64" stop' EXIT
cd build/x64
ctest -j "$(nproc)" --output-on-failure "$@"
