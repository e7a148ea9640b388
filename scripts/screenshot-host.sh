#!/usr/bin/env bash
# Shows the plug-in's property pages in the host stand-in as a person would
# see them, and saves a screenshot of each page. For looking at layouts by
# hand; never run by the tests.
# Usage: screenshot-host.sh <build-dir> <output-folder> [dpi]
# Runs in a host-safe prefix of its own (<build-dir>/screenshot) with Wine's
# X11 driver on a private Xvfb display.
set -euo pipefail
build=$(cd "${1:?usage: screenshot-host.sh <build-dir> <output-folder> [dpi]}" && pwd)
out=${2:?usage: screenshot-host.sh <build-dir> <output-folder> [dpi]}
dpi=${3:-96}
here=$(cd "$(dirname "$0")" && pwd)
shot=$build/screenshot
mkdir -p "$shot" "$out"
"$here/make-test-prefix.sh" "$shot" >/dev/null
. "$here/wine-env.sh" "$shot"

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x900x24 -nolisten tcp &
xvfb=$!
trap 'DISPLAY=$display "$WINESERVER" -k 2>/dev/null || true; kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$display
for _ in $(seq 50); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done

"$WINE64" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11 /f >/dev/null 2>&1
"$WINE64" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
target="$WINEPREFIX/drive_c/screenshot"
mkdir -p "$target"
cp "$build/plugin/Halvorin.dll" "$build/host/FWHost.exe" "$target/"
"$WINE64" regsvr32 /s 'C:\screenshot\Halvorin.dll'

# Each page in turn: the host stand-in opens its sheet at the page given.
for page in 0 1 2 3; do
    "$WINE64" 'C:\screenshot\FWHost.exe' "/page:$page" &
    host=$!
    window=
    for _ in $(seq 100); do
        window=$(xwininfo -root -tree 2>/dev/null | awk '/"Console"/ {print $1; exit}')
        [ -n "$window" ] && break
        sleep 0.2
    done
    [ -n "$window" ] || { echo "the host stand-in showed no sheet" >&2; exit 1; }
    # Let the pages finish painting: each show and hide of the landing page
    # first pauses 1.5 s for the desktop icon (SCREENSHOT_WAIT seconds).
    sleep ${SCREENSHOT_WAIT:-10}
    # The root window, cut to what is drawn on the empty (black) desktop.
    import -window root "$out/page-$page-$dpi.png"
    convert "$out/page-$page-$dpi.png" -trim +repage "$out/page-$page-$dpi.png"
    kill $host 2>/dev/null || true
    "$WINESERVER" -k 2>/dev/null || true
done
"$WINE64" 'C:\windows\system32\reg.exe' add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 || true
echo "screenshots in $out"
