#!/usr/bin/env bash
# Runs one Windows program under Wine for CTest (the emulator of the x86_64
# tree). Wine may start background services from the program (the desktop,
# rpcss), and they inherit its output: given CTest's pipe, they would keep it
# open long after the program ended, and CTest waits for the pipe. So the
# output goes to a file, shown once the program has ended.
out=$(mktemp /tmp/qv-wine-run.XXXXXX)
/usr/lib/wine/wine64 "$@" >"$out" 2>&1 </dev/null
code=$?
cat "$out"
rm -f "$out"
exit $code
