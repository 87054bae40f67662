#!/usr/bin/env bash
# Opens the applet in Wine's control.exe on a private Xvfb display (inside the
# virtual desktop, so frames and captions are drawn), saves a PNG of every
# page, then cancels the sheet.
# Usage: scripts/screenshots.sh [--docs] [OUTDIR]   (default: build/screenshots)
#   --docs  also refresh docs/screenshots: page-<tab>.png of every page,
#           key-matrix.png, transfer-dialog.png and report-view.png
# The device is the simulator's default Marlet, or TMIVRO_PROFILE if set, for
# the sheet, its dialogs and the transfer dialog alike. The simulator's calls of this
# run go to OUTDIR/calls.log, never to the TMIVRO_LOG of an interactive run.
# TM_ARCH=x86 shows the 32-bit applet (default x64); needs that build
# (scripts/build.sh x64 or x86).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TM_BUILD_DIR:-$root/build}
arch=${TM_ARCH:-x64}
docs=0
if [ "${1:-}" = --docs ]; then
    docs=1
    shift
fi

outdir=${1:-$build/screenshots}
probe=$build/$arch/tests/wine/sheet_probe.exe
transfer=$build/$arch/tests/wine/transfer_shot.exe
for f in "$probe" "$transfer"; do
    if [ ! -f "$f" ]; then
        echo "screenshots: $f is missing; build it with scripts/build.sh $arch" >&2
        exit 1
    fi
done
mkdir -p "$outdir"
outdir=$(cd "$outdir" && pwd)
calls=$outdir/calls.log
rm -f "$calls"
export TMIVRO_LOG=$calls

# Always a private display: a window manager or other windows would spoil the shots.
export TM_XVFB=1
# shellcheck source=scripts/wine-env.sh
. "$root/scripts/wine-env.sh"
tm_export_sim_env
tm_wine_prepare "$arch" || exit 1

rm -f "$outdir"/[0-9][0-9]-*.png
shots=$(mktemp -d "$build/shots.XXXXXX")
tm_wine_desktop 120 "$(tm_control_exe "$arch")" 'C:\windows\system32\TmRoveVodore.cpl' 2>/dev/null &
control_pid=$!
rm -f "$outdir/report-view.png"
tm_wine_desktop 120 "$probe" --timeout 30 --answer-messages --shots "$(tm_winpath "$shots")" \
    --report-view "$(tm_winpath "$shots/report-view.bmp")" 2>/dev/null | tr -d '\r' >"$shots/probe.log"
probe_ok=$?
grep -qx '[0-9]* passed, 0 failed' "$shots/probe.log" || probe_ok=1

# control.exe ends once the sheet is gone; do not wait for ever.
for _ in $(seq 1 200); do
    kill -0 "$control_pid" 2>/dev/null || break
    sleep 0.1
done
kill "$control_pid" 2>/dev/null
wait "$control_pid" 2>/dev/null

# The transfer dialog at work, writing new firmware into the same device.
rm -f "$outdir/transfer-dialog.png"
tm_wine_desktop 120 "$transfer" "$(tm_winpath "$shots/transfer-dialog.bmp")" 2>/dev/null |
    tr -d '\r' >"$shots/transfer.log"
sed -n 's/^ok:   \(device type .*\)/  transfer dialog: \1/p' "$shots/transfer.log"
if ! grep -qx '[0-9]* passed, 0 failed' "$shots/transfer.log"; then
    echo "screenshots: the transfer dialog could not be captured:" >&2
    grep -v '^ok:' "$shots/transfer.log" >&2
fi

count=0
for bmp in "$shots"/*.bmp; do
    [ -f "$bmp" ] || continue
    png=$outdir/$(basename "$bmp" .bmp).png
    if convert "$bmp" "$png"; then
        count=$((count + 1))
        echo "  $png"
    fi
done
if [ "$docs" = 1 ]; then
    # Every page as docs/screenshots/page-<tab>.png, the README's pictures.
    mkdir -p "$root/docs/screenshots"
    for png in "$outdir"/[0-9][0-9]-*.png; do
        name=$(basename "$png" .png)
        case $name in
            00-*) continue ;;  # a message box, not a page
            *-tastenmatrix) doc=key-matrix ;;
            *) doc=page-${name#[0-9][0-9]-} ;;
        esac
        cp "$png" "$root/docs/screenshots/$doc.png"
        echo "  $root/docs/screenshots/$doc.png"
    done
fi
if [ "$docs" = 1 ] && [ -f "$outdir/transfer-dialog.png" ]; then
    cp "$outdir/transfer-dialog.png" "$root/docs/screenshots/transfer-dialog.png"
    echo "  $root/docs/screenshots/transfer-dialog.png"
fi
if [ "$docs" = 1 ] && [ -f "$outdir/report-view.png" ]; then
    cp "$outdir/report-view.png" "$root/docs/screenshots/report-view.png"
    echo "  $root/docs/screenshots/report-view.png"
fi
if [ "$probe_ok" -ne 0 ] || [ "$count" -eq 0 ]; then
    echo "screenshots: the sheet could not be captured; what the probe saw:" >&2
    cat "$shots/probe.log" >&2
    rm -rf "$shots"
    exit 1
fi
rm -rf "$shots"
echo "screenshots: $count PNG files in $outdir; the simulator's calls in $calls"
