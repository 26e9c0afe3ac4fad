#!/usr/bin/env bash
# Times the program against simple peers and prints one Markdown table of
# medians, after a description of the machine.
#   scripts/bench.sh [case ...]        default: every case
# The cases, each with its data, its peers and its rows in a file of
# scripts/bench/cases/:
#@CASES
#     i686      the i686 program under Wine 10 (WoW64, Debian sid chroot) on
#               the cases named beside it that run for it (md5file, md5small,
#               tree10k, tree100k, tree1m), or on all of those when none is
#               named; skipped, with a note, on a machine whose kernel runs no
#               32-bit code
# Each measurement runs QV_BENCH_RUNS times (default 5) after one warm-up,
# program and peer taking turns. Data, builds and Wine sessions live under
# QV_BENCH_DATA (default /tmp/qv-bench) and are made once; the programs are
# built there without their tests. A run that passes QV_BENCH_TIMEOUT seconds
# (default 900; a message box would wait for ever) is stopped and reported.
# Progress goes to stderr, the report to stdout.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
data=${QV_BENCH_DATA:-/tmp/qv-bench}
runs=${QV_BENCH_RUNS:-5}
limit=${QV_BENCH_TIMEOUT:-900}
bench=$top/scripts/bench
case_files=(md5 sha256 md5_runs trees window)  # in the order of the table

# The usage: this header, with each case file's opening comment in its place.
usage() {
  local line file
  while IFS= read -r line; do
    [ "$line" != "set -euo pipefail" ] || break
    if [ "$line" = "#@CASES" ]; then
      for file in "${case_files[@]}"; do sed -n '/^#/!q; p' "$bench/cases/$file.sh"; done
    else
      printf '%s\n' "$line"
    fi
  done < <(tail -n +2 "$0") | sed 's/^# \{0,1\}//' >&2
  exit 2
}

mkdir -p "$data"
data=$(cd "$data" && pwd -P)
tools=$data/tools
. "$bench/lib.sh"
for file in "${case_files[@]}"; do . "$bench/cases/$file.sh"; done

# Cases to run.
declare -A want=()
for arg in "$@"; do
  if [ "$arg" = i686 ] || [ -n "${case_data[$arg]+set}" ]; then want[$arg]=1; else usage; fi
done
if [ $# -eq 0 ]; then
  for name in "${case_names[@]}" i686; do want[$name]=1; done
fi
i686_cases=() i686_named=()
for name in "${case_names[@]}"; do
  [ "${case_i686[$name]}" = i686 ] || continue
  i686_cases+=("$name")
  [ -z "${want[$name]:-}" ] || i686_named+=("$name")
done
if [ -z "${want[i686]:-}" ]; then
  i686_cases=()
elif [ ${#i686_named[@]} -gt 0 ]; then
  i686_cases=("${i686_named[@]}")
fi
[[ $runs =~ ^[1-9][0-9]*$ ]] || { note "QV_BENCH_RUNS must be a positive number"; exit 2; }

. "$top/scripts/wine-env.sh"
. "$top/scripts/wine10.sh"
work=
cleanup() {
  wine_env_stop
  wine10_stop
  [ -z "$work" ] || rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM  # so that the EXIT trap stops the sessions
started=$EPOCHREALTIME
work=$(mktemp -d "$data/run.XXXXXX")
mkdir -p "$tools"

# -------------------------------------------------------------- preparing

bash "$top/scripts/setup.sh"
notes=()
if [ ${#i686_cases[@]} -gt 0 ] && ! wine10_kernel_runs_32bit_code; then
  note "this machine's kernel runs no 32-bit code: the i686 cases are skipped"
  notes+=("i686: not measured; this machine's kernel runs no 32-bit code, so no Wine runs the i686 program here")
  i686_cases=()
fi
wine_cases=()
for name in "${case_names[@]}"; do
  [ -z "${want[$name]:-}" ] || [ "${case_wine[$name]}" = - ] || wine_cases+=("$name")
done
arches=()
[ ${#wine_cases[@]} -eq 0 ] || arches+=(x86_64)
[ ${#i686_cases[@]} -eq 0 ] || arches+=(i686)
if [ ${#arches[@]} -gt 0 ]; then
  note "building ${arches[*]} into $data/build (log: $data/build.log)"
  QV_BUILD_ROOT=$data/build QV_PRODUCT_ONLY=ON bash "$top/scripts/build.sh" "${arches[@]}" \
    >"$data/build.log" 2>&1 || { tail -n 30 "$data/build.log" >&2; exit 1; }
fi
for arch in "${arches[@]}"; do
  # The program as released: without its debug sections, which Wine would
  # otherwise count in its memory, by an amount that shifts with the layout.
  # Same name, so its process is found as quorvane.exe.
  mkdir -p "$data/build/$arch/stripped"
  "$arch-w64-mingw32-strip" -o "$data/build/$arch/stripped/quorvane.exe" "$data/build/$arch/quorvane.exe"
  for tool in tree_walk clip_size keeper window_rate; do
    compile "$tools/$tool-$arch.exe" "$bench/$tool.cpp" "$arch-w64-mingw32-g++-posix" -O2 -static
  done
  # Built anew each time: it shares the program's digest code.
  "$arch-w64-mingw32-g++-posix" -O2 -static -municode -I"$top" "$bench/digest_loop.cpp" \
    "$top/hash/md5.cpp" "$top/hash/sha256.cpp" "$top/hash/sha256_ni.cpp" \
    -o "$tools/digest_loop-$arch.exe"
done

for name in "${case_names[@]}"; do
  if [ -n "${want[$name]:-}" ] || [[ " ${i686_cases[*]} " == *" $name "* ]]; then
    [ "${case_data[$name]}" = - ] || "${case_data[$name]}" "$name"
  fi
done

# ---------------------------------------------------------------- running

for name in "${case_names[@]}"; do
  [ -z "${want[$name]:-}" ] || [ "${case_native[$name]}" = - ] || "${case_native[$name]}"
done

if [ ${#wine_cases[@]} -gt 0 ]; then
  arch=x86_64
  exe=$data/build/x86_64/stripped/quorvane.exe
  start_session w8
  for name in "${wine_cases[@]}"; do "${case_wine[$name]}" "$name"; done
  stop_session
fi

if [ ${#i686_cases[@]} -gt 0 ]; then
  arch=i686
  exe=$data/build/i686/stripped/quorvane.exe
  start_session w10
  for name in "${i686_cases[@]}"; do "${case_wine[$name]}" "i686 $name"; done
  stop_session
fi

# ---------------------------------------------------------------- report

w10_version="(no chroot at $QV_WINE10_CHROOT)"
if [ -f "$QV_WINE10_CHROOT/var/lib/dpkg/status" ]; then
  w10_version="Wine $(_qv_w10_installed "$QV_WINE10_CHROOT" wine64) (Debian sid chroot, WoW64)"
fi
echo "## Machine"
echo
echo "- CPU: $(lscpu | sed -n 's/^Model name: *//p' | head -n 1), $(nproc --all) CPUs"
echo "- memory: $(awk '/^MemTotal:/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)"
echo "- kernel: $(uname -sr)"
echo "- Wine (x86_64 program): $("$WINE64" --version 2>/dev/null)"
echo "- Wine (i686 program): $w10_version"
optimisation=$(cat "$data"/build/*/build.ninja 2>/dev/null | grep -m 1 -o -- ' -O[0-3s]' || true)
echo "- compilers: $(g++ --version | head -n 1) for md5_speed and sha256_speed (-O2); $(x86_64-w64-mingw32-g++-posix -dumpversion) (x86_64) and $(i686-w64-mingw32-g++-posix -dumpversion) (i686) MinGW-w64 for the programs (${optimisation# }) and the walk (-O2)"
echo "- runs per measurement: $runs (medians), after one warm-up"
echo
echo "| case | program | peer | ratio | peak MB (program, server) | clipboard bytes | B/entry |"
echo "|---|---|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"
echo
echo "Times are whole runs, process start to exit, except md5 and sha256 (hashing"
echo "only for the program; whole md5sum/sha256sum/openssl runs for the peers), and"
echo "SHA-NI in memory, the sha256 case's hashing of 1 GiB with no file and no"
echo "process around it; \"per GiB\" rows take off each one's time on a one-line"
echo "file. Ratios: program / peer for times, program / peer throughput for md5 and"
echo "sha256 (>1: program faster). MB = 10^6 bytes. Peak: program and server"
echo "resident together, sampled every 10 ms over extra untimed runs (tree cases),"
echo "or the sum of their own peaks (the rest); in brackets each one's own peak"
echo "(medians). B/entry: (peak together - the same for"
echo "a 10-file run - clipboard bytes) / files."
for line in "${made[@]}"; do echo "- made $line"; done
for line in "${notes[@]}"; do echo "- $line"; done
echo "- whole command: $(seconds_since "$started") s"
