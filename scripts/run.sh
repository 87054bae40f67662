#!/usr/bin/env bash
# The README's first command: installs what is missing, builds the x64 DLLs
# and opens the applet in Wine's Control Panel host (control.exe) on the
# simulated device, inside a 1024x768 Wine desktop.
#   With a usable DISPLAY: runs interactively until you close the sheet.
#   Without one: starts Xvfb, saves a PNG of every page into
#   build/screenshots/, cancels the sheet and exits 0.
# The device is the simulator's embedded default Marlet; set TMIVRO_PROFILE to
# a profile file (docs/simulator.md) for another one. A malformed profile is
# reported with file, line and reason, and nothing is started.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TM_BUILD_DIR:-$root/build}

"$root/scripts/setup.sh"
"$root/scripts/build.sh" x64

if [ -n "${TMIVRO_PROFILE:-}" ]; then
    # The simulator's own parser, built natively, without sanitizers.
    tools=$build/tools
    if [ ! -f "$tools/CMakeCache.txt" ]; then
        cmake -S "$root" -B "$tools" -DCMAKE_BUILD_TYPE=Debug >/dev/null
    fi
    cmake --build "$tools" --target tmivro_profile_check -j "$(nproc)" >/dev/null
    if ! "$tools/simulator/tmivro_profile_check" "$TMIVRO_PROFILE"; then
        echo "run: the profile $TMIVRO_PROFILE is malformed (see above); nothing started" >&2
        exit 1
    fi
fi

# shellcheck source=scripts/wine-env.sh
. "$root/scripts/wine-env.sh"
if [ "${TM_XVFB:-0}" != 1 ] && tm_display_usable; then
    tm_export_sim_env
    tm_wine_prepare || exit 1
    echo "run: opening the applet on $DISPLAY; close the sheet to end"
    tm_wine_desktop 0 control.exe 'C:\windows\system32\TmRoveVodore.cpl' || true
    exit 0
fi

echo "run: no usable display; taking screenshots on a virtual one"
exec "$root/scripts/screenshots.sh" "$build/screenshots"
