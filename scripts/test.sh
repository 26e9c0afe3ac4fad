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

# One CTest run over every tree, so the run ends in one summary line.
cat >"$root/CTestTestfile.cmake" <<CTEST
subdirs("host" "host32" "x86_64" "i686")
CTEST

. "$top/scripts/wine-env.sh"
. "$top/scripts/wine10.sh"
trap 'wine_env_stop; wine10_stop' EXIT
trap 'exit 130' INT TERM  # so that the EXIT trap stops the environments
wine_env_start "$root/wine"
wine10_start "$root/wine10"

cd "$root"
ctest --output-on-failure --timeout 300 -j "${QV_TEST_JOBS:-2}" "$@"
