#!/usr/bin/env bash
# The README's first command: installs what is missing, builds the DLLs and
# opens the applet in Wine's Control Panel host (control.exe) on the
# simulated device, inside a 1024x768 Wine desktop.
#   With a usable DISPLAY: runs interactively until you close the sheet.
#   Without one: starts Xvfb, saves a PNG of every page and of the transfer
#   dialog into build/screenshots/, cancels the sheet and exits 0.
# Usage: scripts/run.sh [x64|x86]   (default: $TM_ARCH, else x64)
#   x86 opens the 32-bit applet, the panel PCs' own build, in Wine's 32-bit
#   control.exe; x64 is the quicker to build and start. On a machine that
#   cannot run 32-bit programs, x86 stops at once and says so.
# The device is the simulator's embedded default Marlet; set TMIVRO_PROFILE to
# a profile file (docs/simulator.md) for another one. A profile that cannot
# be read or is malformed is reported, and nothing is started.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TM_BUILD_DIR:-$root/build}
arch=${1:-${TM_ARCH:-x64}}
case $arch in
    x64 | x86) ;;
    *)
        echo "usage: scripts/run.sh [x64|x86]" >&2
        exit 2
        ;;
esac
export TM_ARCH=$arch

"$root/scripts/setup.sh"
# shellcheck source=scripts/wine-env.sh
. "$root/scripts/wine-env.sh"
if [ "$arch" = x86 ] && ! tm_runs_32bit; then
    echo "run: $TM_NO32_REASON; nothing started (scripts/run.sh x64 opens the 64-bit applet)" >&2
    exit 1
fi

if [ -n "${TMIVRO_PROFILE:-}" ]; then
    # The simulator's own rules, before anything is built or started.
    "$root/scripts/build.sh" tools >/dev/null
    if ! "$build/tools/simulator/tmivro_profile_check" "$TMIVRO_PROFILE"; then
        echo "run: the profile $TMIVRO_PROFILE cannot be used (see above); nothing started" >&2
        exit 1
    fi
fi

"$root/scripts/build.sh" "$arch"

if [ "${TM_XVFB:-0}" != 1 ] && tm_display_usable; then
    tm_export_sim_env
    tm_wine_prepare "$arch" || exit 1
    echo "run: opening the $arch applet on $DISPLAY; close the sheet to end"
    tm_wine_desktop 0 "$(tm_control_exe "$arch")" 'C:\windows\system32\TmRoveVodore.cpl' || true
    exit 0
fi

echo "run: no usable display; taking screenshots of the $arch applet on a virtual one"
if [ -n "${TMIVRO_LOG:-}" ]; then
    echo "run: the screenshot run logs the simulator's calls in build/screenshots/calls.log," \
        "not in TMIVRO_LOG"
fi
exec "$root/scripts/screenshots.sh" "$build/screenshots"
