#!/usr/bin/env bash
# The README's test command: installs what is missing, builds everything and
# runs every test: native unit tests (AddressSanitizer + UndefinedBehavior-
# Sanitizer), the thread tests under ThreadSanitizer, the checks of the run
# command and its documentation, the Wine end-to-end tests of the real
# DLLs, 64-bit and 32-bit, then the release build (scripts/release.sh: both
# architectures, the size budget, installers and zips) and the installers'
# install and uninstall under Wine.
# On a machine that cannot run 32-bit programs, everything that would run one
# (the x86 Wine tests, the setups) is skipped and named; the rest runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TM_BUILD_DIR:-$root/build}

"$root/scripts/setup.sh"
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
"$root/scripts/build.sh" native tsan x64 x86

echo "== native unit tests (ASan, UBSan)"
(cd "$build/native" && ctest --output-on-failure -j "$(nproc)")

echo "== thread tests (TSan)"
(cd "$build/tsan" && ctest --output-on-failure -R 'Thread|Concurrent' -j "$(nproc)")

echo "== run command and documentation"
"$root/scripts/script-tests.sh"

echo "== Wine end-to-end tests (x64, x86)"
TM_SKIP_BUILD=1 "$root/scripts/wine-tests.sh"

echo "== release build, installers and zips (x86, x64)"
"$root/scripts/release.sh"

echo "== installers under Wine"
TM_SKIP_BUILD=1 "$root/scripts/installer-tests.sh"
