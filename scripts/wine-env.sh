#!/usr/bin/env bash
# The private Wine prefix the applet runs and is tested in.
#
# Sourced (". scripts/wine-env.sh"): defines the functions below and the
# environment (WINEPREFIX, WINEDEBUG, ...); nothing is started yet.
#   tm_wine_prepare [ARCH...]   create/reuse build/wineprefix, install the
#                       fonts and fresh copies of TmRoveVodore.cpl and
#                       TmIvro.dll of each build named (x64, x86; default
#                       $TM_ARCH or x64) into the system folder its programs
#                       see and the build's help file TmRoveVodore.chm into
#                       C:\windows\help, make sure a display is there (Xvfb if needed);
#                       takes the prefix lock and sets an EXIT trap that calls
#                       tm_wine_cleanup (call it yourself in a trap of your own)
#   tm_wine SECONDS ARGS...   wine ARGS with a time limit (0: none)
#   tm_wine_desktop SECONDS ARGS...   the same inside the virtual desktop
#   tm_wine_cleanup     wineserver -k, stop the Xvfb started here
#   tm_winpath PATH     a Unix path as a Wine path (Z:\...)
#   tm_export_sim_env   turns TMIVRO_PROFILE/_LOG/_SIMLOG into Wine paths
#   tm_system_dir ARCH  the Unix path of what that build's programs see as
#                       C:\windows\system32 (syswow64 for x86: the prefix is
#                       64-bit, and Wine redirects 32-bit programs there)
#   tm_control_exe ARCH Wine's control.exe of that architecture
#   tm_runs_32bit       whether this machine runs 32-bit programs; if not,
#                       TM_NO32_REASON says why ("this machine cannot run
#                       32-bit programs: ...")
#
# Both builds run in the one 64-bit prefix: x86_64 programs through wine64,
# i686 programs through the 32-bit loader of wine32, which Wine starts for
# them by itself.
# Called ("scripts/wine-env.sh [COMMAND...]"): prepares the prefix and runs
# COMMAND in that environment (e.g. "scripts/wine-env.sh wine cmd /c ver").
#
# Settings (environment): TM_BUILD_DIR (default: <repo>/build; the DLLs come
# from its x64/ and x86/), TM_ARCH (default: x64), TM_WINEPREFIX (default:
# $TM_BUILD_DIR/wineprefix), TM_WINEDEBUG (default: -all), TM_XVFB=1 to use
# Xvfb even when DISPLAY is usable, TM_WINE_LOCALE (default: de_DE.UTF-8).

tm_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tm_build=${TM_BUILD_DIR:-$tm_root/build}

export WINEPREFIX=${TM_WINEPREFIX:-$tm_build/wineprefix}
export WINEARCH=win64
export WINEDEBUG=${TM_WINEDEBUG:--all}
# No Mono/Gecko install prompts, ever (HTML Help would ask for Gecko).
export WINEDLLOVERRIDES="mscoree,mshtml="
# The simulator takes its profile and log only from what the caller exports.

TM_DESKTOP=${TM_DESKTOP:-TmRoveVodore,1024x768}
TM_WINE_LOCALE=${TM_WINE_LOCALE:-de_DE.UTF-8}
TM_DRIVER_VERSION="1.0 (Simulator)"

# wine64 itself, not Debian's "wine" wrapper script.
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
# For a 32-bit program Wine runs WINELOADER without its "64": wine32's loader.
[ -n "$TM_WINE" ] && export WINELOADER=$TM_WINE
TM_WINE32=${TM_WINE%64}

# Some kernels refuse 32-bit Linux programs ("Exec format error"), and with
# them wine32: every 32-bit Windows program would then hang until its time
# limit. Asked once; the answer is exported (TM_32BIT) for the scripts that
# this one starts.
tm_runs_32bit() {
    if [ -z "${TM_32BIT:-}" ]; then
        local said rc=0
        if [ ! -x "$TM_WINE32" ] || [ "$TM_WINE32" = "$TM_WINE" ]; then
            said="the 32-bit Wine loader is missing (scripts/setup.sh installs wine32:i386)"
            rc=1
        else
            # Started by bash, which reports a refused binary as such (execvp,
            # as in timeout, would hand it to /bin/sh as a script instead).
            said=$(timeout -k 1 10 bash -c '"$0" --version' "$TM_WINE32" 2>&1 </dev/null) || rc=$?
            # The system's own words ("Exec format error"), without who said them.
            said=$(echo "$said" | tail -n 1 | sed 's/.*: //')
            [ "$rc" -ne 124 ] || said="no answer within 10 s"
            said="the 32-bit Wine loader ($TM_WINE32 --version) fails: ${said:-exit code $rc}"
        fi
        if [ "$rc" -eq 0 ]; then
            TM_32BIT=yes
        else
            TM_32BIT="this machine cannot run 32-bit programs: $said"
        fi
        export TM_32BIT
    fi
    TM_NO32_REASON=""
    [ "$TM_32BIT" = yes ] && return 0
    TM_NO32_REASON=$TM_32BIT
    return 1
}

tm_system_dir() {
    case $1 in
        x86) echo "$WINEPREFIX/drive_c/windows/syswow64" ;;
        *) echo "$WINEPREFIX/drive_c/windows/system32" ;;
    esac
}

tm_control_exe() {
    case $1 in
        x86) echo 'C:\windows\syswow64\control.exe' ;;
        *) echo 'C:\windows\system32\control.exe' ;;
    esac
}

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
    local -a archs=("$@")
    [ ${#archs[@]} -gt 0 ] || archs=("${TM_ARCH:-x64}")
    if [ -z "$TM_WINE" ]; then
        tm_log "wine64 is missing (scripts/setup.sh installs it)"
        return 1
    fi
    local arch f wow64=0
    for arch in "${archs[@]}"; do
        case $arch in
            x64) ;;
            x86)
                wow64=1
                if ! tm_runs_32bit; then
                    tm_log "$TM_NO32_REASON"
                    return 1
                fi
                ;;
            *)
                tm_log "unknown architecture $arch (x64 or x86)"
                return 1
                ;;
        esac
        for f in "$tm_build/$arch/TmRoveVodore.cpl" "$tm_build/$arch/simulator/TmIvro.dll" \
            "$tm_build/$arch/help/TmRoveVodore.chm"; do
            if [ ! -f "$f" ]; then
                tm_log "$f is missing; build it with scripts/build.sh $arch"
                return 1
            fi
        done
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

    # A prefix made while wine32 was missing has no 32-bit half; make it anew.
    if [ "$wow64" = 1 ] && [ -f "$WINEPREFIX/.tm-ready" ] &&
        [ ! -f "$(tm_system_dir x86)/kernel32.dll" ]; then
        tm_log "the Wine prefix has no 32-bit system folder; making it again"
        rm -f "$WINEPREFIX/.tm-ready"
    fi
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
    # the About dialog shows. A 32-bit program reads the registry's 32-bit
    # view (WOW6432Node), so both views get it.
    if [ ! -f "$WINEPREFIX/.tm-driver-64-32" ]; then
        if tm_wine 120 reg add 'HKLM\SOFTWARE\Tolmek_Zerozureri\IVRO\Driver' /v Version /t REG_SZ \
            /d "$TM_DRIVER_VERSION" /f /reg:64 >/dev/null 2>&1 &&
            tm_wine 120 reg add 'HKLM\SOFTWARE\Tolmek_Zerozureri\IVRO\Driver' /v Version \
                /t REG_SZ /d "$TM_DRIVER_VERSION" /f /reg:32 >/dev/null 2>&1; then
            timeout 120 "$TM_WINESERVER" -w
            touch "$WINEPREFIX/.tm-driver-64-32"
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

    local dir
    for arch in "${archs[@]}"; do
        dir=$(tm_system_dir "$arch")
        cp -f "$tm_build/$arch/TmRoveVodore.cpl" "$dir/TmRoveVodore.cpl"
        cp -f "$tm_build/$arch/simulator/TmIvro.dll" "$dir/TmIvro.dll"
    done
    # The help file where the applet finds it: the Windows Help folder (the
    # prefix may spell it "Help"); every build makes the same file.
    dir=$(find "$WINEPREFIX/drive_c/windows" -maxdepth 1 -type d -iname help | head -n 1)
    [ -n "$dir" ] || dir=$WINEPREFIX/drive_c/windows/help
    mkdir -p "$dir"
    cp -f "$tm_build/${archs[0]}/help/TmRoveVodore.chm" "$dir/TmRoveVodore.chm"

    if [ "${TM_XVFB:-0}" = 1 ] || ! tm_display_usable; then
        tm_start_xvfb || return 1
    fi
    return 0
}

# Called rather than sourced: prepare, then run the command line given.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -uo pipefail
    tm_wine_prepare "${TM_ARCH:-x64}" || exit 1
    if [ $# -gt 0 ]; then
        "$@"
        rc=$?
        exit $rc
    fi
    echo "Wine prefix ready: $WINEPREFIX (DISPLAY=$DISPLAY)"
fi
