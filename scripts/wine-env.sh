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
# COM1 of every prefix of this tree leads to this scratch file (AUX follows
# COM1 in Wine), so that a device name that slips into a path lands here,
# visibly, instead of on a host port. It must stay empty.
export SCORAVEL_COM1_FILE="$HOME/com1-device"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
export WINEARCH=win64
export DISPLAY=
export LC_ALL="${SCORAVEL_LC_ALL:-C.UTF-8}"
WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME"

# A prefix is only safe for shredding tests when no drive leads back to the
# host's root, no profile folder is a link into a home directory and no
# reserved device name leads to a host device.
scoravel_prefix_is_safe() {
    [ -d "$WINEPREFIX/dosdevices" ] || return 1
    [ ! -e "$WINEPREFIX/dosdevices/z:" ] && [ ! -L "$WINEPREFIX/dosdevices/z:" ] || return 1
    # Links that tests make between scratch folders stay inside the prefix.
    [ -z "$(find "$WINEPREFIX/drive_c/users" -type l \( ! -lname "$WINEPREFIX/*" -o -lname '*..*' \) 2>/dev/null | head -n 1)" ] || return 1
    [ "$(cat "$WINEPREFIX/.update-timestamp" 2>/dev/null)" = disable ] || return 1
    scoravel_device_links_are_safe || return 1
    scoravel_port_settings_are_safe || return 1
    return 0
}

# "C:\dir\com1.txt" opens dosdevices/com1: each reserved name there may only
# lead to the scratch file, or be absent.
scoravel_device_links_are_safe() {
    local entry name target
    [ -f "$SCORAVEL_COM1_FILE" ] && [ ! -L "$SCORAVEL_COM1_FILE" ] || return 1
    for entry in "$WINEPREFIX"/dosdevices/*; do
        name=${entry##*/}
        case "${name,,}" in
        com[1-9] | lpt[1-9] | aux | prn | con | nul) ;;
        *) continue ;;
        esac
        [ -L "$entry" ] || return 1
        target=$(readlink "$entry")
        [ "$target" = "$SCORAVEL_COM1_FILE" ] ||
            [ "$(readlink -f "$entry")" = "$(readlink -f "$SCORAVEL_COM1_FILE")" ] || return 1
    done
    return 0
}

# Wine remakes the port links at every start from HKLM\Software\Wine\Ports,
# and a port left unset there goes to a host device, so the links alone do
# not last: COM1 must be set to the scratch file and COM2-9, LPT1-9 to ''.
# Names are compared by number, so that a "COM01" cannot slip past.
scoravel_port_settings_are_safe() {
    awk -v com1="$SCORAVEL_COM1_FILE" '
        /^\[/ { inside = (tolower($0) ~ /^\[software\\\\wine\\\\ports\]/); next }
        !inside || !match(toupper($0), /^"(COM|LPT)[0-9]+"=/) { next }
        {
            name = toupper(substr($0, 2, RLENGTH - 3))
            kind = substr(name, 1, 3); n = substr(name, 4) + 0
            if (n < 1 || n > 9) next
            want = (kind == "COM" && n == 1) ? "\"" com1 "\"" : "\"\""
            if (substr($0, RLENGTH + 1) != want) bad = 1
            seen[kind n] = 1
        }
        END {
            for (n = 1; n <= 9; n++) if (!seen["COM" n] || !seen["LPT" n]) bad = 1
            exit bad
        }' "$WINEPREFIX/system.reg" 2>/dev/null
}

# The prefix as make-test-prefix.sh leaves it: safe, COM1 leads to the
# scratch file (so a stray write shows there) and no other reserved name
# leads anywhere.
scoravel_prefix_is_as_made() {
    local name
    scoravel_prefix_is_safe || return 1
    [ "$(readlink "$WINEPREFIX/dosdevices/com1")" = "$SCORAVEL_COM1_FILE" ] || return 1
    for name in com2 com3 com4 com5 com6 com7 com8 com9 \
        lpt1 lpt2 lpt3 lpt4 lpt5 lpt6 lpt7 lpt8 lpt9 aux prn con nul; do
        [ ! -e "$WINEPREFIX/dosdevices/$name" ] && [ ! -L "$WINEPREFIX/dosdevices/$name" ] || return 1
    done
    return 0
}

# Test programs never wait for a user: UI that no test answers fails at once.
export SCORAVEL_UNATTENDED_UI=1

# A shell change notification makes Wine start its menu builder, which
# outlives the program and keeps the test's output open: never start it.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe="
