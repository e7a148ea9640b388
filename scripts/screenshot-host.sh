#!/usr/bin/env bash
# Shows the plug-in's property pages in the host stand-in, its Advanced
# dialog and Graventa's progress window as a person would see them, and
# saves a screenshot of each. For looking at layouts by hand; never run by
# the tests.
# Usage: screenshot-host.sh <build-dir> <output-folder> [dpi] [points]
# dpi defaults to 96; points, the display font size the host offers the
# plug-in, to the plug-in's own default. Each page is saved as
# page-<N>-<dpi>[-<points>pt].png, the dialog as advanced-..., the progress
# window as progress-....
# Runs in a host-safe prefix of its own (<build-dir>/screenshot) with Wine's
# X11 driver on a private Xvfb display, on a display number Xvfb found free.
set -euo pipefail
usage='usage: screenshot-host.sh <build-dir> <output-folder> [dpi] [points]'
build=$(cd "${1:?$usage}" && pwd)
out=${2:?$usage}
dpi=${3:-96}
points=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
shot=$build/screenshot
mkdir -p "$shot" "$out"
"$here/make-test-prefix.sh" "$shot" >/dev/null
. "$here/wine-env.sh" "$shot"

# Xvfb takes a display number nobody uses and writes it, once it accepts
# connections, to the descriptor given.
chosen=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$chosen" &
xvfb=$!
trap '"$WINESERVER" -k 2>/dev/null; kill $xvfb 2>/dev/null; rm -f "$chosen"; true' EXIT
for _ in $(seq 100); do
    [ -s "$chosen" ] && break
    kill -0 $xvfb 2>/dev/null || { echo "Xvfb did not start" >&2; exit 1; }
    sleep 0.1
done
number=$(head -n 1 "$chosen")
[[ $number =~ ^[0-9]+$ ]] || { echo "Xvfb named no display" >&2; exit 1; }
export DISPLAY=:$number

"$WINE64" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11 /f >/dev/null 2>&1
"$WINE64" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
target="$WINEPREFIX/drive_c/screenshot"
mkdir -p "$target"
cp "$build/plugin/Halvorin.dll" "$build/host/FWHost.exe" "$build/tests/plugin/DialogViewer.exe" \
    "$build/tests/program/ui/ProgressViewer.exe" "$target/"
"$WINE64" regsvr32 /s 'C:\screenshot\Halvorin.dll'

# shoot <window title> <file name> <program> [arguments]: starts the program,
# waits for its window, and saves the screen cut to what is drawn on the
# empty (black) desktop.
shoot() {
    local title=$1 name=$2
    shift 2
    "$WINE64" "$@" &
    local program=$! window=
    for _ in $(seq 100); do
        window=$(xwininfo -root -tree 2>/dev/null | awk -v t="\"$title\"" 'index($0, t) {print $1; exit}')
        [ -n "$window" ] && break
        sleep 0.2
    done
    [ -n "$window" ] || { echo "$1 showed no window \"$title\"" >&2; exit 1; }
    # Let the window finish painting: each show and hide of the landing page
    # first pauses 1.5 s for the desktop icon (SCREENSHOT_WAIT seconds).
    sleep "${SCREENSHOT_WAIT:-10}"
    local file="$out/$name-$dpi${points:+-${points}pt}.png"
    import -window root "$file"
    convert "$file" -trim +repage "$file"
    kill $program 2>/dev/null || true
    "$WINESERVER" -k 2>/dev/null || true
}

# Each page in turn: the host stand-in opens its sheet at the page given.
for page in 0 1 2 3; do
    shoot Console "page-$page" 'C:\screenshot\FWHost.exe' "/page:$page" ${points:+"/font:$points"}
done
# The Advanced dialog with a body to show, and Graventa's progress window.
shoot "Advanced Security Settings" advanced 'C:\screenshot\DialogViewer.exe' \
    ${points:+"/font:$points"} /seed 3
shoot "Scoravel for OV Tarnwell" progress 'C:\screenshot\ProgressViewer.exe' \
    "/font:${points:-8}"
"$WINE64" 'C:\windows\system32\reg.exe' add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 || true
echo "screenshots in $out"
