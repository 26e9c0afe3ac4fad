#!/usr/bin/env bash
# Runs one Windows program for CTest (the emulator of the i686 tree) under
# Wine 10 in the chroot session the test script started (scripts/wine10.sh).
# The output goes to a file, shown once the program has ended: Wine's
# background services inherit it and would keep CTest's pipe open. The exit
# code is the program's, modulo 256.
. "$(dirname "$0")/wine10.sh"
out=$(mktemp /tmp/qv-wine10-run.XXXXXX)
wine10_exec wine "$@" >"$out" 2>&1 </dev/null
code=$?
cat "$out"
rm -f "$out"
exit $code
