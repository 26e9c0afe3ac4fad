#!/usr/bin/env bash
# Configures and builds the trees named as arguments (default: all four)
# under $QV_BUILD_ROOT (default: build/):
#   host    native, with AddressSanitizer and UndefinedBehaviorSanitizer
#   host32  32-bit x86 Linux, run under qemu-i386
#   x86_64  the Windows program, its Windows tests and end-to-end tests
#   i686    the 32-bit Windows release program and the same tests, run under
#           Wine 10 in a Debian sid chroot (scripts/wine10.sh)
# Every test of a tree carries the tree's name as a CTest label.
# QV_PRODUCT_ONLY=ON builds the Windows programs without their tests.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
root=${QV_BUILD_ROOT:-$top/build}
trees=("$@")
[ ${#trees[@]} -gt 0 ] || trees=(host host32 x86_64 i686)
jobs=${QV_JOBS:-$(nproc)}

for tree in "${trees[@]}"; do
  case $tree in
    host)   args=(-DQV_SANITIZE=ON) ;;
    host32) args=(-DCMAKE_TOOLCHAIN_FILE="$top/cmake/linux-i386.cmake") ;;
    x86_64) args=(-DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-x86_64.cmake" -DQV_PRODUCT_ONLY="${QV_PRODUCT_ONLY:-OFF}") ;;
    i686)   args=(-DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" -DQV_PRODUCT_ONLY="${QV_PRODUCT_ONLY:-OFF}") ;;
    *) echo "build: unknown tree $tree" >&2; exit 2 ;;
  esac
  args+=(-DQV_TREE_LABEL="$tree")
  # Configured again when its arguments changed: a cached option would
  # otherwise outlive the script that set it.
  stamp=$root/$tree/.qv-configured-with
  if [ ! -f "$root/$tree/build.ninja" ] || [ "$(cat "$stamp" 2>/dev/null)" != "${args[*]}" ]; then
    cmake -S "$top" -B "$root/$tree" -G Ninja "${args[@]}" >/dev/null
    printf '%s' "${args[*]}" >"$stamp"
  fi
  cmake --build "$root/$tree" -j "$jobs"
done
