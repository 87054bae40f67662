#!/usr/bin/env bash
# Checks of the run command and of what README.md and docs/simulator.md tell
# about it, without Wine: a profile path that is not a readable file stops
# run.sh with a plain message before anything is built or started, and the
# documented example profile and tool paths exist and work.
# Prints one line per check and "N passed, M failed" last; exits 1 on failure.
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

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
