#!/usr/bin/env bash
# Runs quorvane.exe under Wine on the given options and paths (default: the
# sample folder) and shows what it put on the clipboard, its message boxes
# and its exit code. Paths are Linux paths; they reach the program as Z:\...
#   scripts/run.sh [option or path ...]     e.g. scripts/run.sh /D /T sample
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
root=${QV_BUILD_ROOT:-$top/build}
[ $# -gt 0 ] || set -- "$top/sample"

bash "$top/scripts/setup.sh"
if [ ! -f "$root/x86_64/build.ninja" ]; then bash "$top/scripts/build.sh" x86_64 >/dev/null; fi
cmake --build "$root/x86_64" --target quorvane show_run >/dev/null

windows_path() { printf 'Z:%s' "$(sed 's|/|\\|g' <<<"$1")"; }

# An argument that names an existing file or folder (or a pattern in an
# existing folder) is a path; anything else goes through as it is. One that
# begins with "/", a letter and ":" or "=" is an option whatever it holds:
# "/X:*.tmp" is a pattern in "/" to the test above.
commandline="\"$(windows_path "$root/x86_64/quorvane.exe")\""
for arg in "$@"; do
  if [[ $arg =~ ^/[A-Za-z][:=] ]]; then
    commandline+=" $arg"
  elif [ -e "$arg" ] || { [[ $arg == *[*?]* ]] && [ -d "$(dirname "$arg")" ]; }; then
    absolute=$(cd "$(dirname "$arg")" && pwd)/$(basename "$arg")
    [ "$(basename "$arg")" = "." ] && absolute=$(cd "$arg" && pwd)
    commandline+=" \"$(windows_path "$absolute")\""
  else
    commandline+=" $arg"
  fi
done

out=$(mktemp -d /tmp/quorvane-run.XXXXXX)
. "$top/scripts/wine-env.sh"
trap 'wine_env_stop; rm -rf "$out"' EXIT
trap 'exit 130' INT TERM
wine_env_start "$root/wine-run"

# In UTF-16, as Explorer's Send To passes it: names Shift_JIS cannot spell
# reach the program whole.
printf '%s' "$commandline" | iconv -f UTF-8 -t UTF-16LE >"$out/commandline.txt"
"$WINE64" "$root/x86_64/show_run.exe" "$(windows_path "$root/x86_64/quorvane.exe")" \
  "$(windows_path "$out/commandline.txt")" "$(windows_path "$out")" </dev/null >/dev/null 2>&1

shown() { iconv -f CP932 -t UTF-8 "$1" | tr -d '\r'; }
echo "Command line: $commandline"
if [ -s "$out/messages.txt" ]; then
  echo "Message boxes:"
  shown "$out/messages.txt" | sed 's/^/  /'
fi
if [ -s "$out/clipboard.txt" ]; then
  echo "Clipboard:"
  shown "$out/clipboard.txt"
else
  echo "Clipboard: unchanged"
fi
echo "Exit code: $(cat "$out/exit_code.txt")"
