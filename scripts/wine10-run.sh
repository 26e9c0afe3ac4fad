#!/usr/bin/env bash
# Runs one Windows program for CTest (the emulator of the i686 tree) under
# Wine 10 in the chroot session the test script started (scripts/wine10.sh).
# The output goes to a file, shown once the program has ended: Wine's
# background services inherit it and would keep CTest's pipe open. The exit
# code is the program's, modulo 256.
. "$(dirname "$0")/wine10.sh"
# QV_SESSION_DPI: the program runs in a session started at that display
# scaling, as under scripts/wine-run.sh.
if [ -n "${QV_SESSION_DPI:-}" ]; then
  # The server must not hold CTest's pipe open: its output goes nowhere.
  wine10_restart_at "$QV_SESSION_DPI" >/dev/null 2>&1 </dev/null
  trap 'wine10_restart_at 96 >/dev/null 2>&1 </dev/null' EXIT
fi
out=$(mktemp /tmp/qv-wine10-run.XXXXXX)
wine10_exec wine "$@" >"$out" 2>&1 </dev/null
code=$?
cat "$out"
rm -f "$out"
exit $code
