#!/usr/bin/env bash
# Builds everything: the native tests (with AddressSanitizer and
# UndefinedBehaviorSanitizer, and a ThreadSanitizer build), the x86_64 DLLs
# used under Wine, and the i686 DLLs of the real 32-bit target. "tools" builds
# only the simulator's tools, without sanitizers, into build/tools/simulator/
# (tmivro_profile_check, tmivro_make_file).
# Usage: scripts/build.sh [native|tsan|x64|x86|tools]...   (default: all but tools)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TM_BUILD_DIR:-$root/build}
jobs=$(nproc)

configure() {  # dir, extra cmake args...; $only: the targets to build (default: all)
  local dir=$1; shift
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Debug "$@" >/dev/null
  fi
  # shellcheck disable=SC2086
  cmake --build "$dir" -j "$jobs" ${only:+--target $only}
}

targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(native tsan x64 x86)
for t in "${targets[@]}"; do
  echo "build: $t"
  only=""
  case $t in
    native) configure "$build/native" "-DTM_SANITIZE=address;undefined" ;;
    tsan)   only=tm_tests  # only the thread tests run under it
            configure "$build/tsan" -DTM_SANITIZE=thread ;;
    x64)    configure "$build/x64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" ;;
    x86)    configure "$build/x86" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" ;;
    tools)  only="tmivro_profile_check tmivro_make_file"
            configure "$build/tools" ;;
    *) echo "unknown build $t" >&2; exit 2 ;;
  esac
done
