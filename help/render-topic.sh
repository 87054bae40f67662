#!/usr/bin/env bash
# Renders one topic of the built help file to a PNG with Debian's chromium
# (not installed by scripts/setup.sh: apt-get install chromium), as the README's
# picture was made:
#   help/render-topic.sh build/native/help/TmRoveVodore.chm html/ZuVereruDisplay.htm \
#       docs/screenshots/help-display.png
set -euo pipefail
chm=$1
topic=$2
out=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmls extractall "$chm" "$work/chm" >/dev/null 2>&1
chromium --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --hide-scrollbars --user-data-dir="$work/profile" \
    --window-size=720,905 --screenshot="$work/shot.png" "file://$work/chm/$topic" >/dev/null 2>&1
convert "$work/shot.png" -strip PNG8:"$out"
echo "render-topic: $out"
