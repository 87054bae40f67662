#!/usr/bin/env bash
# Checks of the run command and of what README.md and docs/simulator.md tell
# about it, without Wine: a profile path that is not a readable file stops
# run.sh with a plain message before anything is built or started, and the
# documented example profile and tool paths exist and work; a test program
# that goes silent is ended early; on a machine that cannot run 32-bit
# programs (scripts/without-32bit.sh) run.sh x86 and the x86 Wine tests say
# so at once.
# Prints one line per check and "N passed, M failed, K skipped" last; exits 1
# on failure.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TM_BUILD_DIR:-$root/build}
out=$build/script-tests
# shellcheck source=scripts/checks.sh
. "$root/scripts/checks.sh"

rm -rf "$out"
mkdir -p "$out/a-folder"

# run.sh on profiles that are no files: the checker's reason, and nothing else.
run_refused() {  # case name, profile path, reason
    local rc=0
    TMIVRO_PROFILE=$2 timeout 900 "$root/scripts/run.sh" >"$out/$1.out" 2>"$out/$1.err" || rc=$?
    [ "$rc" -eq 1 ] && grep -qxF "cannot read $2: $3" "$out/$1.err" &&
        grep -q "nothing started" "$out/$1.err" && ! grep -qi malformed "$out/$1.err"
    check $? "run.sh on $1 stops with \"cannot read ...: $3\" (exit $rc)"
    ! grep -Eq '^build: (x64|x86)|^run: (opening|no usable display)' "$out/$1.out"
    check $? "run.sh on $1 builds and starts nothing"
}
run_refused "a folder" "$out/a-folder" "is a directory"
run_refused "a missing file" "$out/none.profile" "no such file"

# The README's examples of other devices work as written.
examples=$(sed -n 's/^TMIVRO_PROFILE=\([^ ]*\) \(\.\/\)\{0,1\}scripts\/run\.sh.*/\1/p' "$root/README.md")
[ -n "$examples" ]
check $? "README: shows how to open the applet on another profile"
for example in $examples; do
    (cd "$root" && "$build/tools/simulator/tmivro_profile_check" "$example") >"$out/example.out" 2>&1
    check $? "README: TMIVRO_PROFILE=$example scripts/run.sh names a good profile"
done

# Where the docs say the tools are, they are (run.sh built them above).
for doc in README.md docs/simulator.md; do
    for tool in tmivro_profile_check tmivro_make_file; do
        path=$(grep -o "build/[a-z]*/simulator/$tool" "$root/$doc" | head -n 1)
        [ -n "$path" ] && [ -x "$build/${path#build/}" ]
        check $? "$doc names where $tool is built (${path:-nothing}), and it is there"
    done
done

# A test program that goes silent is ended at once, all of it; one that
# keeps talking runs to its end.
started=$(now_ms)
run_watched 2 "$out/silent.log" bash -c 'echo first; sleep 60' >/dev/null
rc=$?
took=$(($(now_ms) - started))
[ "$rc" -eq 124 ] && [ "$took" -lt 5000 ] && [ "$(cat "$out/silent.log")" = first ] &&
    ! pgrep -f 'sleep 60' >/dev/null
check $? "a command silent for 2 s is ended after $took ms with its process group (exit $rc)"
# shellcheck disable=SC2016 # the inner shell expands it
run_watched 2 "$out/talking.log" bash -c 'for i in 1 2 3; do printf "%s\r\n" $i; sleep 1.2; done' >/dev/null
rc=$?
[ "$rc" -eq 0 ] && [ "$(cat "$out/talking.log")" = $'1\n2\n3' ]
check $? "a command that prints every 1.2 s runs to its end (exit $rc, lines without CR)"

# As on a machine that cannot run 32-bit programs: run.sh x86 stops at once
# with the reason, and every x86 Wine test is named as skipped.
if "$root/scripts/without-32bit.sh" true 2>"$out/without-32bit.err"; then
    rc=0
    started=$SECONDS
    "$root/scripts/without-32bit.sh" timeout 600 "$root/scripts/run.sh" x86 \
        >"$out/run-x86.out" 2>"$out/run-x86.err" || rc=$?
    [ "$rc" -eq 1 ] && grep -q '^run: this machine cannot run 32-bit programs: .*Exec format error' \
        "$out/run-x86.err" && ! grep -Eq '^build: x86|^run: (opening|no usable display)' "$out/run-x86.out"
    check $? "without 32-bit programs, run.sh x86 stops after $((SECONDS - started)) s, says why and starts nothing (exit $rc)"
    rc=0
    TM_WINE_ARCHS=x86 TM_SKIP_BUILD=1 TM_WINE_TESTS_OUT=$out/wine-tests-x86 \
        "$root/scripts/without-32bit.sh" timeout 600 "$root/scripts/wine-tests.sh" >"$out/wine-x86.out" 2>&1 || rc=$?
    programs=$(find "$build/x86/tests/wine" -maxdepth 1 -name '*_test.exe' | wc -l)
    [ "$rc" -eq 0 ] && [ "$programs" -gt 0 ] &&
        tail -n 1 "$out/wine-x86.out" | grep -Eqx "[1-9][0-9]* passed, 0 failed, $((programs + 2)) skipped" &&
        [ "$(grep -c '^skip: x86 .*: not run; this machine cannot run 32-bit programs: ' "$out/wine-x86.out")" = $((programs + 2)) ]
    check $? "without 32-bit programs, the x86 Wine tests name their $programs programs, control.exe and the screenshot run as skipped (exit $rc; $out/wine-x86.out)"
else
    skip "a machine without 32-bit programs: not tried, scripts/without-32bit.sh cannot make one here ($(tail -n 1 "$out/without-32bit.err"))"
fi

summary
