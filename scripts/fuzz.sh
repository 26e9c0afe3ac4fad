#!/usr/bin/env bash
# Runs every fuzz target (or those named after the time) for the given
# seconds each (default 60), one after another, and prints each one's
# executions and coverage. A target's corpus grows in build/fuzz/corpus/<target>,
# seeded from tests/fuzz/corpus/<target>, which it only reads; an input that
# breaks a property is kept in build/fuzz/findings/ and fails the run.
#   scripts/fuzz.sh [seconds] [target ...]       e.g. scripts/fuzz.sh 600 md5
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
root=${QV_BUILD_ROOT:-$top/build}
out=$root/fuzz
seconds=${1:-60}
[ $# -eq 0 ] || shift
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for seeds in "$top"/tests/fuzz/corpus/*/; do targets+=("$(basename "$seeds")"); done
fi

bash "$top/scripts/setup.sh"
if [ ! -f "$out/build.ninja" ]; then
  cmake -S "$top/tests/fuzz/libfuzzer" -B "$out" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
fi
cmake --build "$out" >/dev/null

# The value after "key:" in libFuzzer's last status line.
field() { sed -n "s|.* $1: *\([^ ]*\).*|\1|p" <<<"$2"; }

failed=()
printf '%-15s %11s %8s %5s %6s %12s  %s\n' target execs exec/s cov ft corpus result
for target in "${targets[@]}"; do
  mkdir -p "$out/corpus/$target" "$out/findings" "$out/logs"
  log=$out/logs/$target.log
  result=ok
  if ! "$out/${target}_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$out/findings/$target-" \
      "$out/corpus/$target" "$top/tests/fuzz/corpus/$target" >"$log" 2>&1; then
    result="FAILED: $log"
    failed+=("$target")
  fi
  status=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  printf '%-15s %11s %8s %5s %6s %12s  %s\n' "$target" "${execs:-?}" "$(field exec/s "$status")" \
    "$(field cov "$status")" "$(field ft "$status")" "$(field corp "$status")" "$result"
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: a property broke in ${failed[*]}; the inputs are in $out/findings" >&2
  exit 1
fi
