# Sourced by the scripts that run Wine: points every Wine call at the test
# prefix of one build tree and keeps Wine away from the host's home.
# Usage: . scripts/wine-env.sh <build-dir>
scoravel_build_dir=$(cd "$1" && pwd)
# SCORAVEL_PREFIX_NAME picks another prefix of the same tree (bleach-e2e.sh).
export WINEPREFIX="$scoravel_build_dir/${SCORAVEL_PREFIX_NAME:-wineprefix}"
export HOME="$scoravel_build_dir/winehome"
export XDG_DATA_HOME="$HOME/xdg-data"
export XDG_CONFIG_HOME="$HOME/xdg-config"
export XDG_CACHE_HOME="$HOME/xdg-cache"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
export WINEARCH=win64
export DISPLAY=
export LC_ALL="${SCORAVEL_LC_ALL:-C.UTF-8}"
WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME"

# A prefix is only safe for shredding tests when no drive leads back to the
# host's root and no profile folder is a link into a home directory.
scoravel_prefix_is_safe() {
    [ -d "$WINEPREFIX/dosdevices" ] || return 1
    [ ! -e "$WINEPREFIX/dosdevices/z:" ] && [ ! -L "$WINEPREFIX/dosdevices/z:" ] || return 1
    # Links that tests make between scratch folders stay inside the prefix.
    [ -z "$(find "$WINEPREFIX/drive_c/users" -type l \( ! -lname "$WINEPREFIX/*" -o -lname '*..*' \) 2>/dev/null | head -n 1)" ] || return 1
    [ "$(cat "$WINEPREFIX/.update-timestamp" 2>/dev/null)" = disable ] || return 1
    return 0
}

# Test programs never wait for a user: UI that no test answers fails at once.
export SCORAVEL_UNATTENDED_UI=1

# A shell change notification makes Wine start its menu builder, which
# outlives the program and keeps the test's output open: never start it.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe="
