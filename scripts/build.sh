#!/usr/bin/env bash
# Builds everything: the native tests (with AddressSanitizer and
# UndefinedBehaviorSanitizer, and a ThreadSanitizer build), the x86_64 DLLs
# used under Wine, and the i686 DLLs of the real 32-bit target.
# Usage: scripts/build.sh [native|tsan|x64|x86]...   (default: all)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TM_BUILD_DIR:-$root/build}
jobs=$(nproc)

configure() {  # dir, extra cmake args...
  local dir=$1; shift
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Debug "$@" >/dev/null
  fi
  cmake --build "$dir" -j "$jobs"
}

targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(native tsan x64 x86)
for t in "${targets[@]}"; do
  echo "build: $t"
  case $t in
    native) configure "$build/native" "-DTM_SANITIZE=address;undefined" ;;
    tsan)   configure "$build/tsan" -DTM_SANITIZE=thread ;;
    x64)    configure "$build/x64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" ;;
    x86)    configure "$build/x86" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" ;;
    *) echo "unknown build $t" >&2; exit 2 ;;
  esac
done
