#!/usr/bin/env bash
# Compiles the help file from the sources in this folder.
# Usage: help/build-chm.sh CHMCMD STAGE_DIR OUT_FILE
# The sources are UTF-8 for editing. HTML Help reads the popup texts, the
# table of contents and the index as ANSI text of the help file's language
# (German: windows-1252), so every text file is staged in windows-1252 with
# CR LF line ends, which the topics also declare; a character that
# windows-1252 lacks stops the build.
set -euo pipefail
src=$(cd "$(dirname "$0")" && pwd)
chmcmd=$1
stage=$2
out=$3

rm -rf "$stage"
mkdir -p "$stage"
(cd "$src" && find . -type f \( -name '*.htm' -o -name '*.css' -o -name '*.hhc' -o -name '*.hhk' \
    -o -name '*.hhp' -o -name '*.txt' \) -print) | sort | while read -r f; do
    mkdir -p "$stage/$(dirname "$f")"
    if ! sed 's/\r*$/\r/' "$src/$f" | iconv -f UTF-8 -t WINDOWS-1252 >"$stage/$f"; then
        echo "build-chm: $f has a character that windows-1252 cannot hold" >&2
        exit 1
    fi
done

# The header that maps each context id to its popup text's name: ".topic
# IDH_N" stands for context id N.
sed -n 's/^\.topic \(IDH_\([0-9]*\)\)\r$/#define \1 \2\r/p' "$stage/TmRoveVodoreHelp.txt" \
    >"$stage/TmRoveVodoreHelp.h"
if grep -v -q -E '^#define IDH_[0-9]+ [0-9]+.$' "$stage/TmRoveVodoreHelp.h" ||
    [ "$(grep -c '^\.topic' "$stage/TmRoveVodoreHelp.txt")" != "$(wc -l <"$stage/TmRoveVodoreHelp.h")" ]; then
    echo "build-chm: every popup text must start with \".topic IDH_<context id>\"" >&2
    exit 1
fi

name=$(sed -n 's/^Compiled file=\(.*\)\r$/\1/p' "$stage/TmRoveVodore.hhp")
(cd "$stage" && "$chmcmd" --no-html-scan TmRoveVodore.hhp >chmcmd.log 2>&1) || {
    cat "$stage/chmcmd.log" >&2
    exit 1
}
if [ ! -s "$stage/$name" ]; then
    cat "$stage/chmcmd.log" >&2
    echo "build-chm: chmcmd wrote no $name" >&2
    exit 1
fi
mkdir -p "$(dirname "$out")"
mv -f "$stage/$name" "$out"
