#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the four trees, starts a
# private Wine desktop and runs all trees' tests through one CTest run.
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
trap wine_env_stop EXIT
trap 'exit 130' INT TERM  # so that the EXIT trap stops the environment
wine_env_start "$root/wine"

cd "$root"
ctest --output-on-failure --timeout 300 -j "${QV_TEST_JOBS:-2}" "$@"
