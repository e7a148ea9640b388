#!/usr/bin/env bash
# Creates the headless, host-safe Wine prefix of one build tree:
#   <build>/wineprefix, with HOME and XDG_DATA_HOME in <build>/winehome.
# Drive Z: (the host's /) is removed, profile folders that Wine links into a
# home directory become empty real folders, crash dialogs are off, and Wine
# is told never to "update" the prefix (an update would bring Z: back).
# COM1 leads to the scratch file <build>/winehome/com1-device and COM2-9,
# LPT1-9 lead nowhere, so a device name in a path never reaches a host port.
# A prefix that is not like this is made again.
# Usage: make-test-prefix.sh [--check] <build-dir>
#   --check: only report whether the prefix is as made (exit 1 if not).
set -euo pipefail
check_only=
if [ "${1:-}" = --check ]; then check_only=1; shift; fi
build=${1:?usage: make-test-prefix.sh [--check] <build-dir>}
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh" "$build"

if [ -n "$check_only" ]; then
    if scoravel_prefix_is_as_made; then
        echo "test prefix is as made: $WINEPREFIX"
        exit 0
    fi
    echo "error: $WINEPREFIX is not as make-test-prefix.sh makes it:" >&2
    ls -l "$WINEPREFIX/dosdevices" >&2 || true
    exit 1
fi

if [ -s "$SCORAVEL_COM1_FILE" ] && [ ! -L "$SCORAVEL_COM1_FILE" ]; then
    echo "warning: $SCORAVEL_COM1_FILE is not empty: a program wrote to COM1" >&2
fi

if scoravel_prefix_is_as_made; then
    echo "test prefix ready: $WINEPREFIX"
    exit 0
fi

"$WINESERVER" -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
"$WINE64" wineboot -i >/dev/null 2>&1
"$WINESERVER" -w

rm -f "$WINEPREFIX/dosdevices/z:"
find "$WINEPREFIX/drive_c/users" -type l | while read -r link; do
    rm -f "$link"
    mkdir -p "$link"
done
echo disable > "$WINEPREFIX/.update-timestamp"

run_reg() { "$WINE64" reg "$@" >/dev/null 2>&1; }
run_reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f
run_reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
run_reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /d 1 /f

# The host's ports then move to COM10 and up, which no reserved name reaches.
# The scratch file keeps what an earlier prefix wrote to it, as evidence.
if [ -L "$SCORAVEL_COM1_FILE" ] || [ ! -f "$SCORAVEL_COM1_FILE" ]; then
    rm -f "$SCORAVEL_COM1_FILE"
    : > "$SCORAVEL_COM1_FILE"
fi
run_reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$SCORAVEL_COM1_FILE" /f
for port in COM2 COM3 COM4 COM5 COM6 COM7 COM8 COM9 \
    LPT1 LPT2 LPT3 LPT4 LPT5 LPT6 LPT7 LPT8 LPT9; do
    run_reg add 'HKLM\Software\Wine\Ports' /v "$port" /d '' /f
done
"$WINESERVER" -w
# Wine makes the port links only when it starts: start it once more.
"$WINE64" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1
"$WINESERVER" -w

# The registry may have re-created Z: through the mount manager; check again.
rm -f "$WINEPREFIX/dosdevices/z:"
if ! scoravel_prefix_is_as_made; then
    echo "error: the test prefix is not host-safe:" >&2
    ls -l "$WINEPREFIX/dosdevices" >&2
    exit 1
fi
echo "test prefix ready: $WINEPREFIX"
