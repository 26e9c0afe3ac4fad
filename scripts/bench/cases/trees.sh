#     tree10k tree100k tree1m
#               a run without /M over 10,000 / 100,000 / 1,000,000 files
#               (1,000 per folder, sparse), against a bare FindFirstFileA walk
#               under the same Wine and against find | sort natively
#     treereal  a run without /M over a tree shaped like a real one (10 files
#               in each of 1,093 folders, three subfolders each, 6 levels
#               deep), against the bare walk and find | sort
#               each also without the start (each one's run on a one-line
#               file taken off), with the peak memory and the bytes an
#               entry costs beyond a 10-file run

bench_case tree10k tree_data - tree10k i686
bench_case tree100k tree_data - tree100k i686
bench_case tree1m tree_data - tree1m i686
bench_case treereal tree_data - treereal

tree10k() { case_tree tree10k "$1"; }
tree100k() { case_tree tree100k "$1"; }
tree1m() { case_tree tree1m "$1"; }
treereal() { case_tree treereal "$1"; }

tree_files() {  # CASE
  case $1 in
    tree10) echo 10 ;; tree10k) echo 10000 ;; tree100k) echo 100000 ;; tree1m) echo 1000000 ;;
    treereal) echo 10930 ;;
  esac
}

# The data of a tree case, and the 10-file tree its per-entry figure is
# measured from.
tree_data() {  # CASE
  dataset tree10 make_tree 10
  if [ "$1" = treereal ]; then dataset treereal make_real; else dataset "$1" make_tree "$(tree_files "$1")"; fi
}

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
