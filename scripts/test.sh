#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the four trees, starts two
# private Wine desktops (the host's Wine for the x86_64 tree, Wine 10 in a
# Debian sid chroot for the i686 tree) and runs all trees' tests through one
# CTest run.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
root=${QV_BUILD_ROOT:-$top/build}
export QV_BUILD_ROOT=$root

bash "$top/scripts/setup.sh"
bash "$top/scripts/build.sh"

. "$top/scripts/wine-env.sh"
. "$top/scripts/wine10.sh"

# One CTest run over every tree, so the run ends in one summary line. On a
# machine whose kernel runs no 32-bit code at all, the i686 program can run
# under no Wine: its tree is built and inspected, and says so.
i686_tests=i686
if ! wine10_kernel_runs_32bit_code; then
  i686_tests=i686/tests/inspect
  why=$(dmesg 2>/dev/null | grep -m 1 -o 'IA-32 emulation off[^(]*' | sed 's/ *$//' || true)
  cat >&2 <<NOTE
test: this machine's kernel runs no 32-bit code (a 64-bit process cannot
test: enter it: ${why:-int 0x80 faults}), so no Wine can run the i686 program
test: here. The i686 tree is built and inspected; its Windows unit and
test: end-to-end tests do not run.
NOTE
fi
cat >"$root/CTestTestfile.cmake" <<CTEST
subdirs("host" "host32" "x86_64" "$i686_tests")
CTEST

trap 'wine_env_stop; wine10_stop' EXIT
trap 'exit 130' INT TERM  # so that the EXIT trap stops the environments
wine_env_start "$root/wine"
[ "$i686_tests" != i686 ] || wine10_start "$root/wine10"

cd "$root"
ctest --output-on-failure --timeout 300 -j "${QV_TEST_JOBS:-2}" "$@"
