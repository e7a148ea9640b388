#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine and builds everything:
#   - installs the MinGW-w64 cross compilers, CMake, Ninja, GoogleTest, Wine,
#     and Xvfb and ImageMagick for the screenshot script;
#   - builds the 64-bit tree (build/x64: every deliverable and the tests) and
#     the 32-bit tree (build/x86: the 32-bit deliverables), both optimised as
#     they ship (RelWithDebInfo: the debug information serves Wine's debugger
#     in the tests; installing strips it, see scripts/dist.sh);
#   - creates the host-safe Wine prefix the tests run in;
#   - runs the main job, scripts/demo.sh (README, "Try it").
# Usage: scripts/setup.sh [-j N]
#   -j N: compile with N jobs (default: one per core); on a shared machine
#   give fewer.
set -euo pipefail
jobs=$(nproc)
if [ "${1:-}" = -j ] && [ -n "${2:-}" ]; then jobs=$2; fi
cd "$(dirname "$0")/.."

# The last four: what scripts/screenshot-host.sh needs (a private X display,
# xwininfo, and ImageMagick's import and convert).
packages=(cmake ninja-build googletest g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
          mingw-w64-tools wine64 xvfb x11-utils x11-apps imagemagick)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=; [ "$(id -u)" = 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

cmake -S . -B build/x64 -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake >/dev/null
cmake --build build/x64 -j "$jobs"
cmake -S . -B build/x86 -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake >/dev/null
cmake --build build/x86 -j "$jobs"

scripts/make-test-prefix.sh build/x64

# The main job: Graventa.exe shreds a demonstration tree in the test prefix
# and shows its log (README, "Try it").
scripts/demo.sh build/x64
