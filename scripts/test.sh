#!/usr/bin/env bash
# The README's test command: installs what is missing, builds everything and
# runs every test: native unit tests (AddressSanitizer + UndefinedBehavior-
# Sanitizer), the thread tests under ThreadSanitizer, the checks of the run
# command and its documentation, the release build (scripts/release.sh: both
# architectures, the size budget, installers and zips), then the Wine
# end-to-end tests of the real DLLs, 64-bit and 32-bit, and beside them the
# installers' install and uninstall under Wine.
# On a machine that cannot run 32-bit programs, everything that would run one
# (the x86 Wine tests, the setups) is skipped and named; the rest runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TM_BUILD_DIR:-$root/build}

# Where the time goes: each step's seconds, printed at the end.
times=()
step() {  # name, command...
    local name=$1 started=$SECONDS
    shift
    "$@"
    times+=("$name $((SECONDS - started)) s")
}
installers=""
trap 'echo "== time: ${times[*]/%/,} total $SECONDS s"; [ -z "$installers" ] || kill "$installers" 2>/dev/null' EXIT

step setup "$root/scripts/setup.sh"
# Asked once, here; the scripts below take the answer from TM_32BIT.
TM_32BIT=$(
    # shellcheck source=scripts/wine-env.sh
    . "$root/scripts/wine-env.sh"
    tm_runs_32bit || true
    echo "$TM_32BIT"
)
export TM_32BIT
if [ "$TM_32BIT" != yes ]; then
    echo "== $TM_32BIT"
    echo "   The x86 Wine tests and the setups' tests are skipped; the rest runs."
fi
for b in native tsan x64 x86; do
    step "build-$b" "$root/scripts/build.sh" "$b"
done

echo "== native unit tests (ASan, UBSan)"
step native bash -c 'cd "$1" && ctest --output-on-failure -j "$(nproc)"' - "$build/native"

echo "== thread tests (TSan)"
step tsan bash -c 'cd "$1" && ctest --output-on-failure -R "Thread|Concurrent" -j "$(nproc)"' - "$build/tsan"

echo "== run command and documentation"
step scripts "$root/scripts/script-tests.sh"

echo "== release build, installers and zips (x86, x64)"
step release "$root/scripts/release.sh"

# The two Wine layers use their own prefixes and displays, and both spend
# much of their time waiting for Wine: they run side by side.
installer_log=$build/installer-tests.log
echo "== Wine end-to-end tests (x64, x86); the installers under Wine beside them ($installer_log)"
started=$SECONDS
TM_SKIP_BUILD=1 "$root/scripts/installer-tests.sh" >"$installer_log" 2>&1 &
installers=$!
wine_rc=0
TM_SKIP_BUILD=1 "$root/scripts/wine-tests.sh" || wine_rc=$?
times+=("wine $((SECONDS - started)) s")
installers_rc=0
wait "$installers" || installers_rc=$?
installers=""
times+=("installers $((SECONDS - started)) s")

echo "== installers under Wine"
cat "$installer_log"
[ "$wine_rc" -eq 0 ] && [ "$installers_rc" -eq 0 ]
