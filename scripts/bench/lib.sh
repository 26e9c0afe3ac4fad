# Sourced by scripts/bench.sh: what every case measures with. Numbers and
# tables, data sets made once, and runs of a Windows program in a Wine
# session with their time and memory.

# ----------------------------------------------------------------- numbers

note() { printf 'bench: %s\n' "$*" >&2; }
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

# ------------------------------------------------------------- data sets

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

# 1 GiB of the byte stream md5_speed hashes, so the digests can be compared;
# the md5, sha256 and md5file cases read it.
make_big() {  # FOLDER
  compile "$tools/pattern" "$bench/pattern.cpp" g++ -O2
  "$tools/pattern" 1024 >"$1/big.bin"
}

big=$data/big/big.bin
cache_big() { cat "$big" >/dev/null; }

# ------------------------------------------------------- Wine session runs

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

# ------------------------------------------------------------------- table

rows=()
row() {
  local line="|" cell
  for cell in "$@"; do line+=" $cell |"; done
  rows+=("$line")
}
row_failed() { row "$1" "$2" "—" "—" "—" "—" "—"; }

# ------------------------------------------------------------------- cases

# Each file in scripts/bench/cases/ registers its cases: a name (what the
# command line asks for), the function that makes its data ("-" for none),
# the one that measures natively before any Wine session ("-"), the one that
# measures in the program's session, given its row label ("-"), and whether
# that one also runs for the i686 program ("i686").
case_names=()
declare -A case_data=() case_native=() case_wine=() case_i686=()
bench_case() {  # NAME DATA NATIVE WINE [i686]
  case_names+=("$1")
  case_data[$1]=$2
  case_native[$1]=$3
  case_wine[$1]=$4
  case_i686[$1]=${5:-}
}
