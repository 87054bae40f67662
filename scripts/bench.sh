#!/usr/bin/env bash
# The applet's benchmarks (not tests; CI does not run them): the report's
# generation time (scripts/bench-report.sh), under Wine the sheet's open
# latency beside a bare property sheet, its idle CPU on each page, its GDI
# objects, windows and heap blocks over many runs in one process
# (tests/bench/sheet_bench.cpp), and the release sizes. Prints the results and
# writes their table into docs/performance.md between its bench markers.
# Takes a few minutes; builds what it needs (scripts/build.sh x64).
# Usage: scripts/bench.sh   (TM_SKIP_BUILD=1: use the builds as they are;
#        TM_BENCH_NO_DOC=1: leave docs/performance.md alone)
# Settings: TM_BENCH_RUNS (open latency runs, 20), TM_BENCH_IDLE_S (seconds a
# page, 20), TM_BENCH_LEAK_RUNS (50), TM_BENCH_REPORT_RUNS (101).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TM_BUILD_DIR:-$root/build}
# Where scripts/release.sh leaves the stripped release builds.
release_x86=${TM_RELEASE_X86:-$build/release-x86}
release_x64=${TM_RELEASE_X64:-$build/release-x64}
runs=${TM_BENCH_RUNS:-20}
idle_s=${TM_BENCH_IDLE_S:-20}
leak_runs=${TM_BENCH_LEAK_RUNS:-50}
report_runs=${TM_BENCH_REPORT_RUNS:-101}
doc=$root/docs/performance.md
out=$build/bench-results
started=$SECONDS
failed=0

if [ "$leak_runs" -le 10 ]; then
    echo "bench: TM_BENCH_LEAK_RUNS must be above 10 (the growth is taken from run 10)" >&2
    exit 2
fi
mkdir -p "$out"
rm -f "$out"/*.log

if [ "${TM_SKIP_BUILD:-0}" != 1 ]; then
    "$root/scripts/build.sh" x64 >"$out/build.log" 2>&1 || {
        echo "bench: the x64 build failed ($out/build.log)" >&2
        exit 1
    }
fi
bench_exe=$build/x64/tests/bench/sheet_bench.exe
if [ ! -f "$bench_exe" ]; then
    echo "bench: $bench_exe is missing; run scripts/build.sh x64" >&2
    exit 1
fi

load_before=$(cut -d' ' -f1-3 /proc/loadavg)

# The report first: bench-report.sh takes the Wine prefix for itself.
echo "== report generation (scripts/bench-report.sh $report_runs)"
"$root/scripts/bench-report.sh" "$report_runs" 2>&1 | tee "$out/report.log"

# The release build of the applet if there is one (what users get), else the
# x64 development build.
applet=$build/x64/TmRoveVodore.cpl
applet_kind="x64 development build (Debug, unstripped)"
if [ -f "$release_x64/TmRoveVodore.cpl" ]; then
    applet=$release_x64/TmRoveVodore.cpl
    applet_kind="x64 release build (${release_x64#"$root"/})"
fi

export TM_XVFB=${TM_XVFB:-1}
# shellcheck source=scripts/wine-env.sh
. "$root/scripts/wine-env.sh"
# The simulator's default Marlet, no call log file.
unset TMIVRO_PROFILE TMIVRO_LOG TMIVRO_SIMLOG
tm_wine_prepare x64 || exit 1
cp -f "$applet" "$(tm_system_dir x64)/TmRoveVodore.cpl"

bench() {  # part, count, time limit
    echo "== sheet_bench $1 $2"
    tm_wine_desktop "$3" "$bench_exe" "$1" "$2" 2>"$out/$1.err" | tr -d '\r' | tee "$out/$1.log"
    if ! grep -q '^[0-9]* passed, 0 failed$' "$out/$1.log"; then
        echo "bench: sheet_bench $1 failed ($out/$1.log, $out/$1.err)" >&2
        failed=1
    fi
}
bench latency "$runs" $((60 + runs * 20))
bench idle "$idle_s" $((120 + 12 * (idle_s + 5)))
bench leaks "$leak_runs" $((120 + leak_runs * 20))
wine_version=$("$TM_WINE" --version 2>/dev/null)
tm_wine_cleanup
trap - EXIT

load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# --- the tables --------------------------------------------------------------

field() {  # key: its value on the line read from standard input
    tr ' ' '\n' | sed -n "s/^$1=//p"
}

# The value of a key on the first line of the file that starts with prefix.
value() {  # file, line prefix, key
    grep -m1 "^$2" "$1" 2>/dev/null | field "$3"
}

kb() { awk -v b="$1" 'BEGIN { printf "%.0f KB (%d bytes)", b / 1024, b }'; }

size_of() {  # file
    if [ -f "$1" ]; then kb "$(stat -c %s "$1")"; else echo "not built"; fi
}

# A stripped copy of a development build, for comparison.
stripped_size() {  # strip tool, file
    if [ ! -f "$2" ]; then
        echo "not built"
        return
    fi
    local copy=$out/stripped.cpl
    "$1" -o "$copy" "$2" && kb "$(stat -c %s "$copy")"
    rm -f "$copy"
}

# The change from run 10 to the last run, and per run.
growth() {  # sheet, key
    local v10 vn
    v10=$(value "$out/leaks.log" "resources sheet=$1 runs=10 " "$2")
    vn=$(value "$out/leaks.log" "resources sheet=$1 runs=$leak_runs " "$2")
    if [ -n "$v10" ] && [ -n "$vn" ]; then
        awk -v a="$v10" -v b="$vn" -v n=$((leak_runs - 10)) \
            'BEGIN { printf "%+d (%.2f a run)", b - a, (b - a) / n }'
    else
        echo "?"
    fi
}

report_value() {  # section (native or Wine), line pattern
    local range='/^== native/,/^== Wine/p'
    # shellcheck disable=SC2016  # a sed address, not an expansion
    [ "$1" = Wine ] && range='/^== Wine/,$p'
    sed -n "$range" "$out/report.log" | sed -n "s/^$2 *\\([0-9.]*\\) ms/\\1/p" | head -n 1
}

table=$out/table.md
{
    echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') by \`scripts/bench.sh\` in $((SECONDS - started)) s"
    echo "on $(nproc) cores of $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n 1),"
    echo "$wine_version, Xvfb; applet: $applet_kind; load average $load_before before, $load_after after."
    echo
    echo "**Open latency**, double-click to the sheet painted, median of $runs runs each:"
    echo
    echo "| sheet | median | fastest | slowest |"
    echo "|---|---|---|---|"
    for k in applet bare; do
        echo "| $k | $(value "$out/latency.log" "latency $k" median_ms) ms | $(value "$out/latency.log" "latency $k" min_ms) ms | $(value "$out/latency.log" "latency $k" max_ms) ms |"
    done
    echo "| **ratio applet / bare** | **$(value "$out/latency.log" "latency ratio" ratio)** | | |"
    echo
    echo "**Idle CPU**, each page active for ${idle_s} s:"
    echo
    echo "| page | sheet's thread | of the time | whole process | timer messages |"
    echo "|---|---|---|---|---|"
    while IFS= read -r line; do
        page=$(echo "$line" | sed -n 's/^idle page="\([^"]*\)".*/\1/p')
        thr=$(echo "$line" | field thread_cpu_ms)
        pct=$(awk -v c="$thr" -v w="$(echo "$line" | field wall_ms)" 'BEGIN { printf "%.2f", 100 * c / w }')
        echo "| $page | $thr ms | $pct % | $(echo "$line" | field process_cpu_ms) ms | $(echo "$line" | field timer_messages) |"
    done < <(grep '^idle page=' "$out/idle.log" 2>/dev/null)
    echo
    echo "**Resources** of the process before and after 1, 10 and $leak_runs sheet runs, and their growth from run 10 to $leak_runs:"
    echo
    echo "| sheet | GDI objects | windows | heap blocks | heap bytes |"
    echo "|---|---|---|---|---|"
    for k in applet bare harness; do
        row="| $k"
        for key in gdi windows heap_blocks heap_bytes; do
            counts=""
            for n in 0 1 10 "$leak_runs"; do
                counts="$counts${counts:+ / }$(value "$out/leaks.log" "resources sheet=$k runs=$n " "$key")"
            done
            row="$row | $counts"
        done
        echo "$row |"
        echo "| $k, growth from run 10 to $leak_runs | $(growth "$k" gdi) | $(growth "$k" windows) | $(growth "$k" heap_blocks) | $(growth "$k" heap_bytes) |"
    done
    row="| **applet beyond the bare sheet**"
    for key in gdi windows heap_blocks heap_bytes; do
        row="$row | **$(awk -v a="$(growth applet "$key")" -v b="$(growth bare "$key")" \
            'BEGIN { printf "%+d", a - b }')**"
    done
    echo "$row |"
    echo
    echo "**Report generation** (\`scripts/bench-report.sh\`, median of $report_runs):"
    echo
    echo "| build | full report | without the device calls |"
    echo "|---|---|---|"
    echo "| native, optimised | $(report_value native 'full report: *median') ms | $(report_value native 'all but the device:') ms |"
    echo "| Wine, x64 development build | $(report_value Wine 'full report: *median') ms | $(report_value Wine 'all but the device:') ms |"
    echo
    echo "**Sizes** of \`TmRoveVodore.cpl\`:"
    echo
    echo "| build | i686 | x86_64 |"
    echo "|---|---|---|"
    echo "| release (\`scripts/release.sh\`) | $(size_of "$release_x86/TmRoveVodore.cpl") | $(size_of "$release_x64/TmRoveVodore.cpl") |"
    echo "| development build, stripped copy | $(stripped_size i686-w64-mingw32-strip "$build/x86/TmRoveVodore.cpl") | $(stripped_size x86_64-w64-mingw32-strip "$build/x64/TmRoveVodore.cpl") |"
} >"$table"

echo "== results"
cat "$table"

if [ "$failed" = 1 ]; then
    echo "bench: a part failed; $doc is left as it was" >&2
    exit 1
fi
if [ "${TM_BENCH_NO_DOC:-0}" != 1 ]; then
    if grep -q '^<!-- bench:begin -->$' "$doc" && grep -q '^<!-- bench:end -->$' "$doc"; then
        awk -v table="$table" '
            /^<!-- bench:begin -->$/ { print; while ((getline line < table) > 0) print line; skip = 1; next }
            /^<!-- bench:end -->$/ { skip = 0 }
            !skip { print }' "$doc" >"$doc.new" && mv "$doc.new" "$doc"
        echo "bench: the table is in $doc"
    else
        echo "bench: $doc has no bench markers; the table is in $table" >&2
    fi
fi
