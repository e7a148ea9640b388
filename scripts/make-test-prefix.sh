#!/usr/bin/env bash
# Creates the headless, host-safe Wine prefix of one build tree:
#   <build>/wineprefix, with HOME and XDG_DATA_HOME in <build>/winehome.
# Drive Z: (the host's /) is removed, profile folders that Wine links into a
# home directory become empty real folders, crash dialogs are off, and Wine
# is told never to "update" the prefix (an update would bring Z: back).
set -euo pipefail
build=${1:?usage: make-test-prefix.sh <build-dir>}
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh" "$build"

if scoravel_prefix_is_safe; then
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
"$WINESERVER" -w

# The registry may have re-created Z: through the mount manager; check again.
rm -f "$WINEPREFIX/dosdevices/z:"
if ! scoravel_prefix_is_safe; then
    echo "error: the test prefix is not host-safe" >&2
    exit 1
fi
echo "test prefix ready: $WINEPREFIX"
