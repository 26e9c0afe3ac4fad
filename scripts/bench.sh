#!/usr/bin/env bash
# Times the program against simple peers and prints one Markdown table of
# medians, after a description of the machine.
#   scripts/bench.sh [case ...]        default: every case
#     md5       the MD5 code on 1 GiB in memory, natively, against md5sum and
#               openssl on a cached 1 GiB file (throughput)
#     sha256    the SHA-256 code on 1 GiB in memory, natively: the engine on
#               the SHA instructions against openssl dgst -sha256 (which uses
#               them too), the portable engine against sha256sum, both on the
#               cached 1 GiB file (throughput); and /H:SHA256 /M on that file,
#               the x86_64 program under Wine 8, against the SHA instructions'
#               hashing alone (the bare loop of md5file on them, and their
#               in-memory time) and against sha256sum
#     md5file   /M on that file, the x86_64 program under Wine 8, against md5sum
#               and against a bare loop under the same Wine that opens,
#               reads in 128 KiB chunks, hashes (the program's MD5 code) and
#               closes one file at a time in one thread (scripts/bench/digest_loop.cpp)
#     tree10k tree100k tree1m
#               a run without /M over 10,000 / 100,000 / 1,000,000 files
#               (1,000 per folder, sparse), against a bare FindFirstFileA walk
#               under the same Wine and against find | sort natively
#     md5small  /M over 20,000 files of 20 KiB, against find -exec md5sum and
#               the bare loop
#     md5four   /M over four files of 256 MiB, against md5sum of the four and
#               the bare loop
#     treereal  a run without /M over a tree shaped like a real one (10 files
#               in each of 1,093 folders, three subfolders each, 6 levels
#               deep), against the bare walk and find | sort
#     window    /M over the md5small tree named six times, whose window comes
#               up: files per second after the show (from the bar, looked
#               at from outside) against the same tree's pass named once,
#               which ends before any window (scripts/bench/window_rate.cpp)
#     i686      the i686 program under Wine 10 (WoW64, Debian sid chroot) on
#               the md5file, md5small and tree cases named beside it, or on all
#               of them when none is named; skipped, with a note, on a machine
#               whose kernel runs no 32-bit code
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

usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2; }
note() { printf 'bench: %s\n' "$*" >&2; }

# Cases to run.
declare -A want=()
for arg in "$@"; do
  case $arg in
    md5 | sha256 | md5file | tree10k | tree100k | tree1m | treereal | md5small | md5four | window | i686)
      want[$arg]=1 ;;
    *) usage ;;
  esac
done
if [ $# -eq 0 ]; then
  for name in md5 sha256 md5file tree10k tree100k tree1m treereal md5small md5four window i686; do
    want[$name]=1
  done
fi
i686_cases=()
if [ -n "${want[i686]:-}" ]; then
  for name in md5file md5small tree10k tree100k tree1m; do
    [ -z "${want[$name]:-}" ] || i686_cases+=("$name")
  done
  [ ${#i686_cases[@]} -gt 0 ] || i686_cases=(md5file md5small tree10k tree100k tree1m)
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

mkdir -p "$data"
data=$(cd "$data" && pwd -P)
work=$(mktemp -d "$data/run.XXXXXX")
tools=$data/tools
mkdir -p "$tools"

# ---------------------------------------------------------------- helpers

seconds_since() { awk -v a="$1" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }'; }
elapsed() { awk -v a="$1" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.4f", b - a }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
calc() { awk "BEGIN { printf \"$1\", $2 }"; }
windows_path() { printf 'Z:%s' "$(sed 's|/|\\|g' <<<"$1")"; }
thousands() { printf '%s' "$1" | sed -e ':a' -e 's/^\([0-9]\+\)\([0-9]\{3\}\)/\1,\2/' -e 'ta'; }

# Compiles SOURCE into OUT with COMPILER ARGS unless OUT is newer.
compile() {  # OUT SOURCE COMPILER [ARGS ...]
  local out=$1 source=$2
  shift 2
  if [ ! -x "$out" ] || [ "$source" -nt "$out" ]; then "$@" "$source" -o "$out"; fi
}

# A data set is made in a folder of its own and stamped once complete; only
# its first making is timed and reported.
dataset() {  # NAME MAKER [ARGS ...]
  local name=$1 folder=$data/$1 begin
  shift
  [ -f "$folder/.complete" ] && return 0
  note "making $name ..."
  begin=$EPOCHREALTIME
  rm -rf "$folder"
  mkdir -p "$folder"
  "$@" "$folder"
  touch "$folder/.complete"
  made+=("$name: $(seconds_since "$begin") s")
}
made=()

# FILES files of sizes i % 2000 as sparse files: no disk blocks, only inodes.
make_tree() {  # FILES FOLDER
  python3 - "$2/tree" "$1" <<'PY'
import os, sys
root, count = sys.argv[1], int(sys.argv[2])
for i in range(count):
    folder = os.path.join(root, f"folder{i // 1000:03d}")
    if i % 1000 == 0:
        os.makedirs(folder)
    fd = os.open(os.path.join(folder, f"file{i:07d}.txt"), os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    os.ftruncate(fd, i % 2000)
    os.close(fd)
PY
}

# 20,000 files of 20,480 random bytes in 20 folders.
make_small() {  # FOLDER
  python3 - "$1/tree" <<'PY'
import os, sys
root = sys.argv[1]
for i in range(20000):
    folder = os.path.join(root, f"folder{i // 1000:03d}")
    if i % 1000 == 0:
        os.makedirs(folder)
    with open(os.path.join(folder, f"file{i:07d}.bin"), "wb") as f:
        f.write(os.urandom(20480))
PY
}

# A tree shaped like a real one: 10 files in every folder, three subfolders
# in each down to six levels (1,093 folders), sizes i % 2000, sparse.
make_real() {  # FOLDER
  python3 - "$1/tree" <<'PY'
import os, sys
count = 0
def folder(path, depth):
    global count
    os.makedirs(path)
    for i in range(10):
        fd = os.open(os.path.join(path, f"file{i}.h"), os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
        os.ftruncate(fd, count % 2000)
        os.close(fd)
        count += 1
    if depth < 6:
        for k in range(3):
            folder(os.path.join(path, f"sub{k}"), depth + 1)
folder(sys.argv[1], 0)
PY
}

# Four files of 256 MiB of the byte stream md5_speed hashes.
make_four() {  # FOLDER
  compile "$tools/pattern" "$bench/pattern.cpp" g++ -O2
  mkdir -p "$1/four"
  local i
  for i in 1 2 3 4; do "$tools/pattern" 256 >"$1/four/part$i.bin"; done
}

# 1 GiB of the byte stream md5_speed hashes, so the digests can be compared.
make_big() {  # FOLDER
  compile "$tools/pattern" "$bench/pattern.cpp" g++ -O2
  "$tools/pattern" 1024 >"$1/big.bin"
}

big=$data/big/big.bin
cache_big() { cat "$big" >/dev/null; }

tree_files() {  # CASE
  case $1 in
    tree10) echo 10 ;; tree10k) echo 10000 ;; tree100k) echo 100000 ;; tree1m) echo 1000000 ;;
    treereal) echo 10930 ;;
  esac
}

# The wineserver of the session whose prefix is PREFIX, found by the prefix
# in its environment (the Wine 10 one runs in the chroot, seen from here).
server_pid() {  # PREFIX
  local entry pid
  for entry in /proc/[0-9]*/comm; do
    pid=${entry#/proc/}
    pid=${pid%/comm}
    case $(cat "$entry" 2>/dev/null) in wineserver*) ;; *) continue ;; esac
    if tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$1"; then
      echo "$pid"
      return 0
    fi
  done
  return 1
}

# ------------------------------------------------------- Wine session runs
# session: w8 (host Wine 8, x86_64 programs) or w10 (Wine 10 chroot, i686).
session=
server=

start_session() {  # w8 | w10
  if [ "$1" = w8 ]; then
    wine_env_start "$data/wine8"
    server=$(server_pid "$WINEPREFIX") || { note "no wineserver found for $WINEPREFIX"; exit 1; }
  else
    # The data folder is bound into the chroot as if it were the build root;
    # the programs are built beneath it.
    QV_BUILD_ROOT=$data wine10_start "$data/wine10"
    server=$(server_pid "$QV_WINE10_SESSION/wineprefix") ||
      { note "no wineserver found for $QV_WINE10_SESSION/wineprefix"; exit 1; }
  fi
  session=$1
  note "session $1 up, wineserver pid $server"
  local command
  session_command "$tools/keeper-$arch.exe"
  "${command[@]}" >/dev/null 2>&1 </dev/null &
  settle_session
}

# A new prefix goes on setting itself up in the background for a while, and
# the session's services start with its first programs: neither is the
# program's cost. Runs it on a one-line file until two runs in a row take
# under a second.
settle_session() {
  local quick=0 i
  for i in $(seq 20); do
    win_run "$exe" "$(windows_path "$top/VERSION")"
    clip_bytes >/dev/null
    if [ "$W_CODE" -eq 0 ] && awk -v t="$W_TIME" 'BEGIN { exit !(t < 1) }'; then
      quick=$((quick + 1))
    else
      quick=0
    fi
    [ "$quick" -lt 2 ] || return 0
  done
  note "session $session did not settle: its runs still take over a second"
}

stop_session() {
  if [ "$session" = w8 ]; then wine_env_stop; else wine10_stop; fi
  session=
  server=
}

# The command line that runs EXE with ARGS in the session, left in the
# caller's array "command".
session_command() {  # EXE [ARGS ...]
  if [ "$session" = w8 ]; then
    command=("$WINE64" "$@")
  else
    wine10_command wine "$@"
    command=("${QV_W10_CMD[@]}")
  fi
}

# Runs a Windows program in the session, timed from process start to exit.
# Leaves W_TIME (s), W_PEAK (program's peak RSS, KiB), W_SERVER (the
# server's peak RSS over the run, KiB) and W_CODE.
win_run() {  # EXE [ARGS ...]
  local command
  session_command "$@"
  echo 5 >"/proc/$server/clear_refs"
  local begin=$EPOCHREALTIME
  W_CODE=0
  /usr/bin/time -f %M -o "$work/time.txt" timeout -k 10 "$limit" "${command[@]}" \
    >"$work/program.log" 2>&1 </dev/null || W_CODE=$?
  W_TIME=$(elapsed "$begin")
  W_PEAK=$(tail -n 1 "$work/time.txt")
  W_SERVER=$(awk '/^VmHWM:/ { print $2 }' "/proc/$server/status")
}

# One more, untimed run of the program, sampling the resident memory of the
# program and the server together every 10 ms: the peak of their sum. The two
# peaks of win_run come at different moments (the program's while it holds
# the entries, the server's while it takes the text), so their sum overstates
# what the machine ever had to hold. Leaves W_TOGETHER (KiB).
together_run() {  # ARGS ...
  local command pid= entry rss total
  session_command "$exe" "$@"
  W_TOGETHER=0
  timeout -k 10 "$limit" "${command[@]}" >"$work/program.log" 2>&1 </dev/null &
  local runner=$!
  # Shell builtins only, so the sampling itself starts no processes: the
  # pause is a read that times out on a pipe nobody writes to.
  local comm key value unit nap
  [ -p "$work/nap" ] || mkfifo "$work/nap"
  exec {nap}<>"$work/nap"
  while kill -0 "$runner" 2>/dev/null; do
    if [ -z "$pid" ]; then
      for entry in /proc/[0-9]*/comm; do
        read -r comm 2>/dev/null <"$entry" || continue
        [ "$comm" = quorvane.exe ] || continue
        pid=${entry#/proc/}
        pid=${pid%/comm}
        break
      done
    fi
    total=0
    for entry in ${pid:+/proc/$pid/status} "/proc/$server/status"; do
      rss=0
      while read -r key value unit; do
        [ "$key" = VmRSS: ] || continue
        rss=$value
        break
      done 2>/dev/null <"$entry" || true
      total=$((total + rss))
    done
    [ "$total" -le "$W_TOGETHER" ] || W_TOGETHER=$total
    read -r -t 0.01 -u "$nap" || true
  done
  exec {nap}>&-
  wait "$runner" || true
  clip_bytes >/dev/null
}

# The text the last run left on the clipboard, in bytes; empties it.
clip_bytes() {
  local helper=$tools/clip_size-$arch.exe
  rm -f "$work/clip.txt"
  if [ "$session" = w8 ]; then
    "$WINE64" "$helper" "$(windows_path "$work/clip.txt")" >/dev/null 2>&1 </dev/null || true
  else
    wine10_exec wine "$helper" "$(windows_path "$work/clip.txt")" >/dev/null 2>&1 </dev/null || true
  fi
  # The helper writes a text file, so the number ends in CR LF.
  tr -dc 0-9 2>/dev/null <"$work/clip.txt" || echo -1
}

native_time() {  # CMD ...   (a shell command line)
  local begin=$EPOCHREALTIME
  bash -c "$1" >/dev/null
  elapsed "$begin"
}

# One program run: its time and memory are appended to the P_* lists; a run
# that fails ends the measurement with P_FAIL set.
program_run() {  # ARGS ...
  win_run "$exe" "$@"
  if [ "$W_CODE" -ne 0 ]; then
    if [ "$W_CODE" -eq 124 ] || [ "$W_CODE" -eq 137 ]; then
      P_FAIL="timeout after $limit s"
    else
      P_FAIL="exit code $W_CODE"
    fi
    note "program run failed: $P_FAIL; its output:"
    cat "$work/program.log" >&2
    clip_bytes >/dev/null
    return 1
  fi
  P_TIME+=("$W_TIME")
  P_PROC+=("$W_PEAK")
  P_SERVER+=("$W_SERVER")
  P_CLIP=$(clip_bytes)
}
program_reset() { P_TIME=(); P_PROC=(); P_SERVER=(); P_CLIP=-1; P_FAIL=; }

mb() { calc '%.1f' "($1) * 1024 / 1e6"; }  # KiB -> MB
peak_cell() {  # the medians of program and server peaks, KiB; with TOGETHER set, first their peak together
  local proc server
  proc=$(median "${P_PROC[@]}")
  server=$(median "${P_SERVER[@]}")
  if [ -n "${TOGETHER:-}" ]; then
    printf '%s (%s, %s)' "$(mb "$TOGETHER")" "$(mb "$proc")" "$(mb "$server")"
  else
    printf '%s (%s, %s)' "$(mb "$proc + $server")" "$(mb "$proc")" "$(mb "$server")"
  fi
}
TOGETHER=

rows=()
row() {
  local line="|" cell
  for cell in "$@"; do line+=" $cell |"; done
  rows+=("$line")
}
row_failed() { row "$1" "$2" "—" "—" "—" "—" "—"; }

# Peak memory (program and server together, KiB) of a 10-file run: the base
# the per-entry figure is measured from, once per session.
declare -A base_peak=()
base() {
  [ -z "${base_peak[$session]:-}" ] || return 0
  local path totals=() i
  path=$(windows_path "$data/tree10/tree")
  program_reset
  program_run "$path" || true
  for i in $(seq "$runs"); do
    together_run "$path"
    totals+=("$W_TOGETHER")
  done
  base_peak[$session]=$(median "${totals[@]:-0}")
}

# ------------------------------------------------------------------ cases

case_md5() {
  local speed=$tools/md5_speed prog=() sum=() ssl=() out i size
  g++ -O2 -I"$top" "$bench/md5_speed.cpp" "$top/digest/md5.cpp" -o "$speed"
  size=$(stat -c %s "$big")
  cache_big
  note "md5: warm-up, then $runs rounds"
  for i in $(seq 0 "$runs"); do
    out=$("$speed" 1024)
    local t1 t2
    t1=$(native_time "md5sum '$big'")
    t2=$(native_time "openssl dgst -md5 '$big'")
    [ "$i" -eq 0 ] && continue
    prog+=("$(calc '%.1f' "1073741824 / ${out%% *} / 1e6")")
    sum+=("$(calc '%.1f' "$size / $t1 / 1e6")")
    ssl+=("$(calc '%.1f' "$size / $t2 / 1e6")")
  done
  local p s o
  p=$(median "${prog[@]}")
  s=$(median "${sum[@]}")
  o=$(median "${ssl[@]}")
  row md5 "$p MB/s" "md5sum $s MB/s" "$(calc '%.2f' "$p / $s")" "" "" ""
  row md5 "$p MB/s" "openssl $o MB/s" "$(calc '%.2f' "$p / $o")" "" "" ""
  local file_digest
  file_digest=$(md5sum <"$big" | cut -c1-32)
  if [ "$file_digest" = "${out##* }" ]; then
    notes+=("md5: md5_speed and md5sum of the file agree on $file_digest")
  else
    notes+=("md5: md5_speed gave ${out##* }, md5sum of the file $file_digest (different bytes)")
  fi
}

# Throughput of both SHA-256 engines in memory against openssl and
# sha256sum on the cached file; leaves the SHA instructions' seconds for
# 1 GiB in sha_seconds, for the /M case.
sha_seconds=
case_sha256() {
  local speed=$tools/sha256_speed fast=() portable=() seconds=() sum=() ssl=() i size
  local -A out=()
  local engines=(portable)
  g++ -O2 -I"$top" "$bench/sha256_speed.cpp" "$top/digest/sha256.cpp" "$top/digest/sha256_ni.cpp" \
    -o "$speed"
  "$speed" 1 sha >/dev/null 2>&1 && engines+=(sha)
  size=$(stat -c %s "$big")
  cache_big
  note "sha256: warm-up, then $runs rounds"
  for i in $(seq 0 "$runs"); do
    local t1 t2 line engine
    for engine in "${engines[@]}"; do out[$engine]=$("$speed" 1024 "$engine"); done
    t1=$(native_time "sha256sum '$big'")
    t2=$(native_time "openssl dgst -sha256 '$big'")
    [ "$i" -eq 0 ] && continue
    line=${out[portable]}
    portable+=("$(calc '%.1f' "1073741824 / ${line%% *} / 1e6")")
    if [ -n "${out[sha]:-}" ]; then
      line=${out[sha]}
      fast+=("$(calc '%.1f' "1073741824 / ${line%% *} / 1e6")")
      seconds+=("${line%% *}")
    fi
    sum+=("$(calc '%.1f' "$size / $t1 / 1e6")")
    ssl+=("$(calc '%.1f' "$size / $t2 / 1e6")")
  done
  local p f s o
  p=$(median "${portable[@]}")
  s=$(median "${sum[@]}")
  o=$(median "${ssl[@]}")
  if [ ${#fast[@]} -gt 0 ]; then
    f=$(median "${fast[@]}")
    sha_seconds=$(median "${seconds[@]}")
    row "sha256 SHA-NI" "$f MB/s" "openssl $o MB/s" "$(calc '%.2f' "$f / $o")" "" "" ""
  else
    notes+=("sha256: this processor has no SHA instructions; only the portable engine was measured")
  fi
  row "sha256 portable" "$p MB/s" "sha256sum $s MB/s" "$(calc '%.2f' "$p / $s")" "" "" ""
  local file_digest line=${out[portable]}
  file_digest=$(sha256sum <"$big" | cut -c1-64)
  if [ "$file_digest" = "${line##* }" ]; then
    notes+=("sha256: both engines and sha256sum of the file agree on $file_digest")
  else
    notes+=("sha256: sha256_speed gave ${line##* }, sha256sum of the file $file_digest")
  fi
}

# /H:SHA256 /M on the cached file against the SHA instructions' hashing
# alone: the bare loop on them under the same Wine (reading and hashing the
# file, nothing else), and the same GiB hashed in memory natively
# (case_sha256); and against sha256sum.
# The same two on a one-line file give each one's cost apart from the
# GiB (a windowed program's start and end under Wine against a console
# loop's), and a row per GiB without it.
case_sha256file() {  # LABEL
  local label=$1 path tiny sum_times=() loop_times=() empty_program=() empty_loop=() i
  path=$(windows_path "$big")
  tiny=$(windows_path "$top/VERSION")
  cache_big
  note "$label: warm-up, then $runs rounds"
  program_reset
  for i in $(seq 0 "$runs"); do
    win_run "$exe" /H:SHA256 /M "$tiny"
    clip_bytes >/dev/null
    empty_program+=("$W_TIME")
    win_run "$tools/digest_loop-$arch.exe" -sha256 "$tiny" "$(windows_path "$work/loop.txt")"
    empty_loop+=("$W_TIME")
    program_run /H:SHA256 /M "$path" || break
    win_run "$tools/digest_loop-$arch.exe" -sha256 "$path" "$(windows_path "$work/loop.txt")"
    [ "$W_CODE" -eq 0 ] || note "$label: the loop ended with $W_CODE"
    loop_times+=("$W_TIME")
    sum_times+=("$(native_time "sha256sum '$big'")")
    if [ "$i" -eq 0 ]; then
      P_TIME=(); P_PROC=(); P_SERVER=(); sum_times=(); loop_times=(); empty_program=(); empty_loop=()
    fi
  done
  if [ -n "$P_FAIL" ]; then row_failed "$label" "$P_FAIL"; return; fi
  local p q l p0 l0
  p=$(median "${P_TIME[@]}")
  q=$(median "${sum_times[@]}")
  l=$(median "${loop_times[@]}")
  p0=$(median "${empty_program[@]}")
  l0=$(median "${empty_loop[@]}")
  row "$label" "$(calc '%.2f' "$p") s" "SHA-NI loop $(calc '%.2f' "$l") s" "$(calc '%.2f' "$p / $l")" \
    "$(peak_cell)" "$(thousands "$P_CLIP")" ""
  row "$label, per GiB" "$(calc '%.2f' "$p - $p0") s" "SHA-NI loop $(calc '%.2f' "$l - $l0") s" \
    "$(calc '%.2f' "($p - $p0) / ($l - $l0)")" "" "" ""
  if [ -n "$sha_seconds" ]; then
    row "$label" "$(calc '%.2f' "$p") s" "SHA-NI in memory $(calc '%.2f' "$sha_seconds") s" \
      "$(calc '%.2f' "$p / $sha_seconds")" "" "" ""
    row "$label, per GiB" "$(calc '%.2f' "$p - $p0") s" \
      "SHA-NI in memory $(calc '%.2f' "$sha_seconds") s" \
      "$(calc '%.2f' "($p - $p0) / $sha_seconds")" "" "" ""
  fi
  row "$label" "$(calc '%.2f' "$p") s" "sha256sum $(calc '%.2f' "$q") s" "$(calc '%.2f' "$p / $q")" \
    "" "" ""
}

# A /M run over PATH against the bare loop under the same Wine and against
# a native command line PEER.
md5_run_case() {  # LABEL PATH PEERNAME PEER
  local label=$1 path=$2 name=$3 peer=$4 loop_times=() peer_times=() shared_times=() i t1 t2 t3 counted
  local cores
  cores=$(nproc)
  note "$label: warm-up, then $runs rounds"
  program_reset
  for i in $(seq 0 "$runs"); do
    program_run /M "$path" || break
    win_run "$tools/digest_loop-$arch.exe" "$path" "$(windows_path "$work/loop.txt")"
    t1=$W_TIME
    counted=$(cut -d' ' -f1 "$work/loop.txt" 2>/dev/null || echo none)
    [ "$W_CODE" -eq 0 ] || note "$label: the loop ended with $W_CODE after $counted files"
    t2=$(native_time "$peer")
    # The same loop with the files shared among a thread per core.
    win_run "$tools/digest_loop-$arch.exe" -threads "$cores" "$path" "$(windows_path "$work/loop.txt")"
    t3=$W_TIME
    [ "$i" -eq 0 ] && { P_TIME=(); P_PROC=(); P_SERVER=(); continue; }
    loop_times+=("$t1")
    peer_times+=("$t2")
    shared_times+=("$t3")
  done
  if [ -n "$P_FAIL" ]; then row_failed "$label" "$P_FAIL"; return; fi
  local p l q
  p=$(median "${P_TIME[@]}")
  l=$(median "${loop_times[@]}")
  q=$(median "${peer_times[@]}")
  row "$label" "$(calc '%.2f' "$p") s" "loop $(calc '%.2f' "$l") s" "$(calc '%.2f' "$p / $l")" \
    "$(peak_cell)" "$(thousands "$P_CLIP")" ""
  row "$label" "$(calc '%.2f' "$p") s" "$name $(calc '%.2f' "$q") s" "$(calc '%.2f' "$p / $q")" \
    "" "" ""
  local c
  c=$(median "${shared_times[@]}")
  row "$label" "$(calc '%.2f' "$p") s" "loop on $cores threads $(calc '%.2f' "$c") s" \
    "$(calc '%.2f' "$p / $c")" "" "" ""
}

case_md5file() {  # LABEL
  cache_big
  md5_run_case "$1" "$(windows_path "$big")" md5sum "md5sum '$big'"
}

case_md5small() {  # LABEL
  local tree=$data/small/tree
  cat "$tree"/*/* >/dev/null
  md5_run_case "$1" "$(windows_path "$tree")" "find -exec md5sum" \
    "find '$tree' -type f -exec md5sum {} +"
}

case_md5four() {  # LABEL
  local four=$data/four/four
  cat "$four"/* >/dev/null
  md5_run_case "$1" "$(windows_path "$four")" "md5sum of the four" "md5sum '$four'/*"
}

# Files per second of a digest pass while its window is up, against the
# same files' pass that ends before the window could show. Both over the
# md5small tree, whose files are all of one size, so the bar counts files.
case_window() {  # LABEL
  local label=$1 tree=$data/small/tree path namings=6 i before=() after=() line
  local args=() short_md5 short_plain
  path=$(windows_path "$tree")
  for i in $(seq "$namings"); do args+=("$path"); done
  cat "$tree"/*/* >/dev/null
  note "$label: warm-up, then $runs rounds"
  for i in $(seq 0 "$runs"); do
    win_run "$exe" /M "$path"
    short_md5=$W_TIME
    clip_bytes >/dev/null
    win_run "$exe" "$path"
    short_plain=$W_TIME
    clip_bytes >/dev/null
    session_command "$tools/window_rate-$arch.exe" "$(windows_path "$work/rate.txt")" \
      "$(windows_path "$exe")" /M "${args[@]}"
    timeout -k 10 "$limit" "${command[@]}" >/dev/null 2>&1 </dev/null || true
    clip_bytes >/dev/null
    [ "$i" -eq 0 ] && continue
    read -r -a line <"$work/rate.txt"
    # shown first-ms first-pos last-ms last-pos ended exit
    if [ "${line[0]}" -lt 0 ] || [ "${line[1]}" -lt 0 ] || [ "${line[3]}" -le "${line[1]}" ]; then
      note "$label: the window showed no digest pass to measure (${line[*]})"
      continue
    fi
    before+=("$(calc '%.0f' "20000 / ($short_md5 - $short_plain)")")
    after+=("$(calc '%.0f' "(${line[4]} - ${line[2]}) / 1024 * 20000 * $namings / ((${line[3]} - ${line[1]}) / 1000)")")
  done
  if [ ${#after[@]} -eq 0 ]; then row_failed "$label" "no measurement"; return; fi
  local b a
  b=$(median "${before[@]}")
  a=$(median "${after[@]}")
  row "$label" "$(thousands "$a") files/s shown" "$(thousands "$b") files/s before" \
    "$(calc '%.2f' "$a / $b")" "" "" ""
}

case_tree() {  # CASE LABEL
  local name=$1 label=$2 files tree path walk_times=() find_times=() i t1 t2 counted
  local tiny empty_program=() empty_walk=()
  tiny=$(windows_path "$top/VERSION")
  files=$(tree_files "$name")
  tree=$data/$name/tree
  path=$(windows_path "$tree")
  base
  note "$label: warm-up, then $runs rounds"
  program_reset
  for i in $(seq 0 "$runs"); do
    program_run "$path" || break
    win_run "$tools/tree_walk-$arch.exe" "$path" "$(windows_path "$work/walk.txt")"
    t1=$W_TIME
    counted=$(cut -d' ' -f1 "$work/walk.txt" 2>/dev/null || echo none)
    if [ "$W_CODE" -ne 0 ] || [ "$counted" != "$files" ]; then
      note "$label: the walk ended with $W_CODE and counted $counted files"
    fi
    t2=$(native_time "find '$tree' -type f -printf '%P %s\n' | LC_ALL=C sort")
    # Each one's cost apart from the tree: a windowed program's start and
    # end under Wine (its first window alone connects to the X server)
    # against a console program's.
    win_run "$exe" "$tiny"
    clip_bytes >/dev/null
    empty_program+=("$W_TIME")
    win_run "$tools/tree_walk-$arch.exe" "$tiny" "$(windows_path "$work/walk.txt")"
    empty_walk+=("$W_TIME")
    [ "$i" -eq 0 ] && { P_TIME=(); P_PROC=(); P_SERVER=(); empty_program=(); empty_walk=(); continue; }
    walk_times+=("$t1")
    find_times+=("$t2")
  done
  if [ -n "$P_FAIL" ]; then row_failed "$label" "$P_FAIL"; return; fi
  local p w f together=() per_entry
  p=$(median "${P_TIME[@]}")
  w=$(median "${walk_times[@]}")
  f=$(median "${find_times[@]}")
  for i in 1 2; do
    together_run "$path"
    together+=("$W_TOGETHER")
  done
  TOGETHER=$(median "${together[@]}")
  per_entry=$(calc '%.0f' "(($TOGETHER - ${base_peak[$session]}) * 1024 - $P_CLIP) / $files")
  row "$label" "$(calc '%.2f' "$p") s" "walk $(calc '%.2f' "$w") s" "$(calc '%.2f' "$p / $w")" \
    "$(peak_cell)" "$(thousands "$P_CLIP")" "$per_entry"
  TOGETHER=
  row "$label" "$(calc '%.2f' "$p") s" "find \\| sort $(calc '%.2f' "$f") s" "$(calc '%.2f' "$p / $f")" \
    "" "" ""
  local p0 w0
  p0=$(median "${empty_program[@]}")
  w0=$(median "${empty_walk[@]}")
  row "$label, without start" "$(calc '%.2f' "$p - $p0") s" "walk $(calc '%.2f' "$w - $w0") s" \
    "$(calc '%.2f' "($p - $p0) / ($w - $w0)")" "" "" ""
}

# -------------------------------------------------------------- preparing

bash "$top/scripts/setup.sh"
notes=()
if [ ${#i686_cases[@]} -gt 0 ] && ! wine10_kernel_runs_32bit_code; then
  note "this machine's kernel runs no 32-bit code: the i686 cases are skipped"
  notes+=("i686: not measured; this machine's kernel runs no 32-bit code, so no Wine runs the i686 program here")
  i686_cases=()
fi
arches=()
need_x86_64=
for name in sha256 md5file tree10k tree100k tree1m treereal md5small md5four window; do
  [ -z "${want[$name]:-}" ] || need_x86_64=1
done
[ -z "$need_x86_64" ] || arches+=(x86_64)
[ ${#i686_cases[@]} -eq 0 ] || arches+=(i686)
if [ ${#arches[@]} -gt 0 ]; then
  note "building ${arches[*]} into $data/build (log: $data/build.log)"
  QV_BUILD_ROOT=$data/build QV_PRODUCT_ONLY=ON bash "$top/scripts/build.sh" "${arches[@]}" \
    >"$data/build.log" 2>&1 || { tail -n 30 "$data/build.log" >&2; exit 1; }
fi
for arch in "${arches[@]}"; do
  for tool in tree_walk clip_size keeper window_rate; do
    compile "$tools/$tool-$arch.exe" "$bench/$tool.cpp" "$arch-w64-mingw32-g++-posix" -O2 -static
  done
  # Built anew each time: it shares the program's digest code.
  "$arch-w64-mingw32-g++-posix" -O2 -static -municode -I"$top" "$bench/digest_loop.cpp" \
    "$top/digest/md5.cpp" "$top/digest/sha256.cpp" "$top/digest/sha256_ni.cpp" \
    -o "$tools/digest_loop-$arch.exe"
done

needs_big= ; needs_trees=()
[ -z "${want[md5]:-}${want[sha256]:-}${want[md5file]:-}" ] || needs_big=1
for name in md5file; do [[ " ${i686_cases[*]} " != *" $name "* ]] || needs_big=1; done
for name in tree10k tree100k tree1m; do
  if [ -n "${want[$name]:-}" ] || [[ " ${i686_cases[*]} " == *" $name "* ]]; then needs_trees+=("$name"); fi
done
[ -z "$needs_big" ] || dataset big make_big
if [ ${#needs_trees[@]} -gt 0 ]; then
  for name in tree10 "${needs_trees[@]}"; do dataset "$name" make_tree "$(tree_files "$name")"; done
fi
[ -z "${want[md5small]:-}${want[window]:-}" ] && [[ " ${i686_cases[*]} " != *" md5small "* ]] ||
  dataset small make_small
[ -z "${want[md5four]:-}" ] || dataset four make_four
if [ -n "${want[treereal]:-}" ]; then
  dataset tree10 make_tree 10
  dataset treereal make_real
fi

# ---------------------------------------------------------------- running

[ -z "${want[md5]:-}" ] || case_md5
[ -z "${want[sha256]:-}" ] || case_sha256

if [ -n "$need_x86_64" ]; then
  arch=x86_64
  exe=$data/build/x86_64/quorvane.exe
  start_session w8
  [ -z "${want[md5file]:-}" ] || case_md5file md5file
  [ -z "${want[sha256]:-}" ] || case_sha256file "sha256 /H:SHA256 /M"
  for name in tree10k tree100k tree1m treereal; do [ -z "${want[$name]:-}" ] || case_tree "$name" "$name"; done
  [ -z "${want[md5small]:-}" ] || case_md5small md5small
  [ -z "${want[md5four]:-}" ] || case_md5four md5four
  [ -z "${want[window]:-}" ] || case_window window
  stop_session
fi

if [ ${#i686_cases[@]} -gt 0 ]; then
  arch=i686
  exe=$data/build/i686/quorvane.exe
  start_session w10
  for name in "${i686_cases[@]}"; do
    case $name in
      md5file | md5small) "case_$name" "i686 $name" ;;
      *) case_tree "$name" "i686 $name" ;;
    esac
  done
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
