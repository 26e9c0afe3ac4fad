#     md5file   /M on the 1 GiB file, the x86_64 program under Wine 8, against
#               md5sum and against a bare loop under the same Wine that opens,
#               reads in 128 KiB chunks, hashes (the program's MD5 code) and
#               closes one file at a time in one thread (scripts/bench/digest_loop.cpp)
#     md5small  /M over 20,000 files of 20 KiB, against find -exec md5sum and
#               the bare loop
#     md5four   /M over four files of 256 MiB, against md5sum of the four and
#               the bare loop
#               each also against the bare loop with the files shared among
#               a thread per core

bench_case md5file md5file_data - md5file i686
bench_case md5small md5small_data - md5small i686
bench_case md5four md5four_data - md5four

md5file_data() { dataset big make_big; }
md5small_data() { dataset small make_small; }
md5four_data() { dataset four make_four; }

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

# Four files of 256 MiB of the byte stream md5_speed hashes.
make_four() {  # FOLDER
  compile "$tools/pattern" "$bench/pattern.cpp" g++ -O2
  mkdir -p "$1/four"
  local i
  for i in 1 2 3 4; do "$tools/pattern" 256 >"$1/four/part$i.bin"; done
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

md5file() {  # LABEL
  cache_big
  md5_run_case "$1" "$(windows_path "$big")" md5sum "md5sum '$big'"
}

md5small() {  # LABEL
  local tree=$data/small/tree
  cat "$tree"/*/* >/dev/null
  md5_run_case "$1" "$(windows_path "$tree")" "find -exec md5sum" \
    "find '$tree' -type f -exec md5sum {} +"
}

md5four() {  # LABEL
  local four=$data/four/four
  cat "$four"/* >/dev/null
  md5_run_case "$1" "$(windows_path "$four")" "md5sum of the four" "md5sum '$four'/*"
}
