#!/usr/bin/env bash
# Lays out dist/ from both trees (build/x86 and build/x64, built by setup.sh)
# as a Windows install takes it, and checks it: exactly the six deliverables,
# each of its word size (the PE header's machine field), exporting what it
# must and nothing else, with no debug sections.
# Usage: dist.sh [<dist-dir>]   (default: dist)
set -euo pipefail
cd "$(dirname "$0")/.."
dist=${1:-dist}
objdump=x86_64-w64-mingw32-objdump  # reads PE files of both word sizes

for tree in build/x86 build/x64; do
    [ -f "$tree/cmake_install.cmake" ] || { echo "dist: $tree is not built" >&2; exit 2; }
done
rm -rf "$dist"
cmake --install build/x86 --prefix "$dist" >/dev/null
cmake --install build/x64 --prefix "$dist" >/dev/null

# name, machine (0x14c i386, 0x8664 x86-64), exports
shipped=(
    "Graventa.exe 14c -"
    "Wardelle.exe 14c -"
    "Halvorin.dll 14c DllCanUnloadNow;DllGetClassObject;DllRegisterServer;DllUnregisterServer"
    "setup.exe    14c -"
    "Fennick.dll  8664 DllCanUnloadNow;DllGetClassObject;DllRegisterServer;DllUnregisterServer"
    "Prelant.exe  8664 -"
)

# The machine field of a PE file, in hex: after the "PE\0\0" signature that
# the 32-bit offset at 0x3c points to.
pe_machine() {
    local offset signature
    offset=$(od -An -v -tu4 -j60 -N4 "$1" | tr -d ' ')
    signature=$(od -An -v -tx1 -j"$offset" -N4 "$1" | tr -d ' ')
    [ "$signature" = 50450000 ] || { echo "no PE signature"; return; }
    od -An -v -tx2 -j$((offset + 4)) -N2 "$1" | tr -d ' ' | sed 's/^0*//'
}

failed=0
fail() { echo "dist: $*" >&2; failed=1; }
expected=()
for entry in "${shipped[@]}"; do
    read -r name machine exports <<<"$entry"
    expected+=("$name")
    file=$dist/$name
    if [ ! -f "$file" ]; then
        fail "$name is missing"
        continue
    fi
    got=$(pe_machine "$file")
    [ "$got" = "$machine" ] || fail "$name: machine 0x$got, not 0x$machine"
    [ "$exports" = - ] && exports=
    cmake -DOBJDUMP="$objdump" -DDLL="$file" "-DNAMES=$exports" -DEXACT=ON \
          -P cmake/check-exports.cmake || fail "$name: exports"
    debug=$("$objdump" -h "$file" | awk '$2 ~ /^\.debug/ { print $2 }' | tr '\n' ' ')
    [ -z "$debug" ] || fail "$name carries debug sections: $debug"
done

# Nothing else: no tests, no host stand-in, no benchmarks, no import libraries.
extra=$(cd "$dist" && find . -mindepth 1 | sed 's|^\./||' | sort |
        comm -23 - <(printf '%s\n' "${expected[@]}" | sort))
[ -z "$extra" ] || fail "unexpected in $dist: $(echo $extra)"

if [ "$failed" != 0 ]; then
    exit 1
fi
( cd "$dist" && for entry in "${shipped[@]}"; do
    read -r name machine _ <<<"$entry"
    printf '%-14s 0x%-5s %9d bytes\n' "$name" "$machine" "$(stat -c %s "$name")"
done )
