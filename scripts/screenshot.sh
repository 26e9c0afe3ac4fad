#!/usr/bin/env bash
# Takes a picture of the progress window on the private Wine desktop:
#   scripts/screenshot.sh [FILE.png [DPI]]
# (default: $QV_BUILD_ROOT/progress-window.png, at 96 DPI; 144 is 150 %)
# Builds what is missing of the x86_64 tree, then runs the end-to-end test
# Screenshot.*, which starts a run that digests a large file, tells this
# script when the window is up, and cancels the run once the picture of the
# whole screen has been taken (with imagemagick's import).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
root=${QV_BUILD_ROOT:-$top/build}
export QV_BUILD_ROOT=$root
picture=$(realpath -m "${1:-$root/progress-window.png}")
dpi=${2:-96}
[[ $dpi =~ ^[1-9][0-9]*$ ]] || { echo "screenshot: DPI must be a number, not '$dpi'" >&2; exit 2; }

bash "$top/scripts/setup.sh"
bash "$top/scripts/build.sh" x86_64

work=$(mktemp -d)
. "$top/scripts/wine-env.sh"
test_pid=
finish() {
  [ -n "$test_pid" ] && { touch "$work/taken"; wait "$test_pid" 2>/dev/null || true; }
  wine_env_stop
  rm -rf "$work"
}
trap finish EXIT
trap 'exit 130' INT TERM
wine_env_start "$root/wine"
# A session takes its scaling as it starts.
[ "$dpi" = 96 ] || wine_env_restart_at "$dpi"

# The test is a Windows program: it sees the Unix files on drive Z:.
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
# Output to a file, not a pipe: Wine's background services would keep a pipe open.
QV_SCREENSHOT_READY=$(windows_path "$work/ready") QV_SCREENSHOT_TAKEN=$(windows_path "$work/taken") \
  "$WINE64" "$root/x86_64/tests/e2e/e2e_tests.exe" --gtest_filter='Screenshot.*' \
  >"$work/test.log" 2>&1 </dev/null &
test_pid=$!

for _ in $(seq 400); do
  [ -e "$work/ready" ] && break
  kill -0 "$test_pid" 2>/dev/null || break
  sleep 0.05
done
status=0
if [ -e "$work/ready" ]; then
  import -window root "$picture"
  echo "screenshot: $picture"
else
  echo "screenshot: the window never became visible" >&2
  status=1
fi
touch "$work/taken"
wait "$test_pid" || status=$?
test_pid=
[ "$status" -eq 0 ] || cat "$work/test.log" >&2
exit "$status"
