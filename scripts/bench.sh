#!/usr/bin/env bash
# Measures a run over a large tree: wall time and peak memory of the program,
# and the size of the text it put on the clipboard.
#   scripts/bench.sh [files] [options ...]    e.g. scripts/bench.sh 100000 /M
# The tree (100 folders) is made on the Linux side once and kept under
# $QV_BUILD_ROOT/bench-<files>.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
root=${QV_BUILD_ROOT:-$top/build}
files=${1:-100000}
shift || true

bash "$top/scripts/setup.sh"
bash "$top/scripts/build.sh" x86_64 >/dev/null

tree=$root/bench-$files
if [ ! -f "$tree/.complete" ]; then
  rm -rf "$tree"
  mkdir -p "$tree"
  python3 - "$tree" "$files" <<'PY'
import os, sys
root, count = sys.argv[1], int(sys.argv[2])
for i in range(count):
    folder = os.path.join(root, "tree", f"folder{i % 100:03d}")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, f"file{i:07d}.txt"), "wb") as f:
        f.write(b"x" * (i % 2000))
PY
  touch "$tree/.complete"
fi

. "$top/scripts/wine-env.sh"
trap wine_env_stop EXIT
trap 'exit 130' INT TERM  # so that the EXIT trap stops the environment
wine_env_start "$root/wine-bench"

winpath="Z:$(sed 's|/|\\|g' <<<"$tree/tree")"
start=$(date +%s.%N)
/usr/bin/time -f "%M" -o "$root/bench-time.txt" "$WINE64" "$root/x86_64/quorvane.exe" "$@" "$winpath" || true
end=$(date +%s.%N)
"$WINE64" "$root/x86_64/clipboard_dump.exe" 'Z:\tmp\qv-bench-clip.txt'
lines=$(grep -c $'\r$' /tmp/qv-bench-clip.txt || true)
bytes=$(stat -c %s /tmp/qv-bench-clip.txt)
rm -f /tmp/qv-bench-clip.txt
printf 'files: %s  wall: %.2f s  peak resident: %s KiB  clipboard: %s lines, %s bytes\n' \
  "$files" "$(awk "BEGIN{print $end - $start}")" "$(tail -1 "$root/bench-time.txt")" "$lines" "$bytes"
