#!/usr/bin/env bash
# The private Wine prefix the applet runs and is tested in.
#
# Sourced (". scripts/wine-env.sh"): defines the functions below and the
# environment (WINEPREFIX, WINEDEBUG, ...); nothing is started yet.
#   tm_wine_prepare     create/reuse build/wineprefix, install the fonts and
#                       fresh copies of TmRoveVodore.cpl and TmIvro.dll, make
#                       sure a display is there (Xvfb if needed); takes the
#                       prefix lock and sets an EXIT trap that calls
#                       tm_wine_cleanup (call it yourself in a trap of your own)
#   tm_wine SECONDS ARGS...   wine ARGS with a time limit (0: none)
#   tm_wine_desktop SECONDS ARGS...   the same inside the virtual desktop
#   tm_wine_cleanup     wineserver -k, stop the Xvfb started here
#   tm_winpath PATH     a Unix path as a Wine path (Z:\...)
#   tm_export_sim_env   turns TMIVRO_PROFILE/_LOG/_SIMLOG into Wine paths
# Called ("scripts/wine-env.sh [COMMAND...]"): prepares the prefix and runs
# COMMAND in that environment (e.g. "scripts/wine-env.sh wine cmd /c ver").
#
# Settings (environment): TM_BUILD_DIR (default: <repo>/build), TM_WINEPREFIX
# (default: $TM_BUILD_DIR/wineprefix), TM_WINE_BIN_DIR (where the x64 DLLs are;
# default: $TM_BUILD_DIR/x64), TM_WINEDEBUG (default: -all), TM_XVFB=1 to use
# Xvfb even when DISPLAY is usable, TM_WINE_LOCALE (default: de_DE.UTF-8).

tm_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tm_build=${TM_BUILD_DIR:-$tm_root/build}
tm_bin_dir=${TM_WINE_BIN_DIR:-$tm_build/x64}

export WINEPREFIX=${TM_WINEPREFIX:-$tm_build/wineprefix}
export WINEARCH=win64
export WINEDEBUG=${TM_WINEDEBUG:--all}
# No Mono/Gecko install prompts, ever (HTML Help would ask for Gecko).
export WINEDLLOVERRIDES="mscoree,mshtml="
# The simulator takes its profile and log only from what the caller exports.

TM_DESKTOP=${TM_DESKTOP:-TmRoveVodore,1024x768}
TM_WINE_LOCALE=${TM_WINE_LOCALE:-de_DE.UTF-8}
TM_SYSTEM32=$WINEPREFIX/drive_c/windows/system32
TM_DRIVER_VERSION="1.0 (Simulator)"

# wine64 itself: Debian's "wine" wrapper nags about the missing 32-bit loader.
tm_find_wine() {
    local c
    for c in "$(command -v wine64 || true)" /usr/lib/wine/wine64 /usr/lib64/wine/wine64 \
        /opt/wine-stable/bin/wine64 "$(command -v wine || true)"; do
        if [ -n "$c" ] && [ -x "$c" ]; then
            echo "$c"
            return 0
        fi
    done
    return 1
}
TM_WINE=$(tm_find_wine) || TM_WINE=""
TM_WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
[ -n "$TM_WINE" ] && export WINELOADER=$TM_WINE

tm_xvfb_pid=""
tm_lock_fd=""

tm_log() { echo "wine-env: $*" >&2; }

# Runs wine with a time limit in seconds (0 = none, interactive). Wine takes
# its UI language from the locale: German, as on the panel PCs, so that the
# sheet's own buttons read "Abbrechen" like the applet's texts.
tm_wine() {
    local limit=$1
    shift
    local -a cmd=(env "LANG=$TM_WINE_LOCALE" "LC_ALL=$TM_WINE_LOCALE" "$TM_WINE" "$@")
    if [ "$limit" = 0 ]; then
        "${cmd[@]}"
    else
        timeout -k 5 "$limit" "${cmd[@]}" </dev/null
    fi
}

# A Unix path as Wine sees it (drive Z: is the root).
tm_winpath() {
    case $1 in
        /*) echo "Z:${1//\//\\}" ;;
        *) echo "$1" ;;
    esac
}

# The simulator's variables may name Unix paths; Wine programs need them as
# Windows paths.
tm_export_sim_env() {
    local v
    for v in TMIVRO_PROFILE TMIVRO_LOG TMIVRO_SIMLOG; do
        if [ -n "${!v:-}" ]; then
            local p=${!v}
            case $p in /* | [A-Za-z]:*) ;; *) p=$PWD/$p ;; esac
            export "$v=$(tm_winpath "$p")"
        fi
    done
}

# Runs a program inside the virtual desktop, where Wine draws frames and
# captions itself and window activation does not depend on a window manager.
tm_wine_desktop() {
    local limit=$1
    shift
    tm_wine "$limit" explorer "/desktop=$TM_DESKTOP" "$@"
}

tm_display_usable() {
    [ -n "${DISPLAY:-}" ] || return 1
    if command -v xdpyinfo >/dev/null 2>&1; then
        timeout 10 xdpyinfo >/dev/null 2>&1
        return
    fi
    case $DISPLAY in
        :[0-9]* | unix:[0-9]*)
            local n=${DISPLAY#*:}
            n=${n%%.*}
            [ -S "/tmp/.X11-unix/X$n" ]
            ;;
        *) return 0 ;;
    esac
}

tm_start_xvfb() {
    command -v Xvfb >/dev/null 2>&1 || {
        tm_log "Xvfb is missing (scripts/setup.sh installs it)"
        return 1
    }
    local fdfile
    fdfile=$(mktemp)
    # -displayfd: Xvfb picks a free display number itself and reports it.
    # It must not inherit the prefix lock, or a stray Xvfb would hold it.
    if [ -n "$tm_lock_fd" ]; then
        Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp \
            9>"$fdfile" {tm_lock_fd}>&- >/dev/null 2>&1 &
    else
        Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp 9>"$fdfile" >/dev/null 2>&1 &
    fi
    tm_xvfb_pid=$!
    for _ in $(seq 1 100); do
        if [ -s "$fdfile" ]; then break; fi
        if ! kill -0 "$tm_xvfb_pid" 2>/dev/null; then break; fi
        sleep 0.1
    done
    local n
    n=$(tr -dc '0-9' <"$fdfile")
    rm -f "$fdfile"
    if [ -z "$n" ]; then
        tm_log "Xvfb did not start"
        kill "$tm_xvfb_pid" 2>/dev/null
        tm_xvfb_pid=""
        return 1
    fi
    export DISPLAY=:$n
    tm_log "started Xvfb on $DISPLAY"
}

tm_wine_cleanup() {
    if [ -n "$TM_WINE" ] && [ -d "$WINEPREFIX" ]; then
        timeout 20 "$TM_WINESERVER" -k >/dev/null 2>&1
        timeout 20 "$TM_WINESERVER" -w >/dev/null 2>&1
    fi
    if [ -n "$tm_xvfb_pid" ]; then
        kill "$tm_xvfb_pid" 2>/dev/null
        wait "$tm_xvfb_pid" 2>/dev/null
        tm_xvfb_pid=""
    fi
    if [ -n "$tm_lock_fd" ]; then
        eval "exec $tm_lock_fd>&-"
        tm_lock_fd=""
    fi
}

tm_wine_prepare() {
    if [ -z "$TM_WINE" ]; then
        tm_log "wine64 is missing (scripts/setup.sh installs it)"
        return 1
    fi
    local f
    for f in "$tm_bin_dir/TmRoveVodore.cpl" "$tm_bin_dir/simulator/TmIvro.dll"; do
        if [ ! -f "$f" ]; then
            tm_log "$f is missing; build it with scripts/build.sh x64"
            return 1
        fi
    done
    mkdir -p "$(dirname "$WINEPREFIX")"

    # One user of the prefix at a time: its wineserver is shared and is
    # killed at the end.
    exec {tm_lock_fd}>"$WINEPREFIX.lock"
    if ! flock -n "$tm_lock_fd"; then
        tm_log "waiting for another program that uses $WINEPREFIX"
    fi
    if ! flock -w 300 "$tm_lock_fd"; then
        tm_log "another program has used $WINEPREFIX for 5 minutes; giving up"
        return 1
    fi
    trap tm_wine_cleanup EXIT

    if [ ! -f "$WINEPREFIX/.tm-ready" ]; then
        tm_log "creating the Wine prefix $WINEPREFIX"
        rm -rf "$WINEPREFIX"
        if ! tm_wine 300 wineboot -i >/dev/null 2>&1; then
            tm_log "wineboot failed"
            return 1
        fi
        timeout 120 "$TM_WINESERVER" -w
        touch "$WINEPREFIX/.tm-ready"
    fi

    # What an installation of the driver package records: its version, which
    # the About dialog shows.
    if [ ! -f "$WINEPREFIX/.tm-driver" ]; then
        if tm_wine 120 reg add 'HKLM\SOFTWARE\Tolmek_Zerozureri\IVRO\Driver' /v Version /t REG_SZ \
            /d "$TM_DRIVER_VERSION" /f >/dev/null 2>&1; then
            timeout 120 "$TM_WINESERVER" -w
            touch "$WINEPREFIX/.tm-driver"
        else
            tm_log "could not record the driver version in the registry"
        fi
    fi

    # Caption buttons are drawn with Marlett.
    local marlett
    for marlett in /usr/share/wine/fonts/marlett.ttf /usr/share/fonts/truetype/wine/marlett.ttf; do
        if [ -f "$marlett" ]; then
            cp -f "$marlett" "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf"
            break
        fi
    done

    cp -f "$tm_bin_dir/TmRoveVodore.cpl" "$TM_SYSTEM32/TmRoveVodore.cpl"
    cp -f "$tm_bin_dir/simulator/TmIvro.dll" "$TM_SYSTEM32/TmIvro.dll"

    if [ "${TM_XVFB:-0}" = 1 ] || ! tm_display_usable; then
        tm_start_xvfb || return 1
    fi
    return 0
}

# Called rather than sourced: prepare, then run the command line given.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -uo pipefail
    tm_wine_prepare || exit 1
    if [ $# -gt 0 ]; then
        "$@"
        rc=$?
        exit $rc
    fi
    echo "Wine prefix ready: $WINEPREFIX (DISPLAY=$DISPLAY)"
fi
