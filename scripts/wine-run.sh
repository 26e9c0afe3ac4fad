#!/usr/bin/env bash
# Runs one Windows program under Wine for CTest (the emulator of the x86_64
# tree). Wine may start background services from the program (the desktop,
# rpcss), and they inherit its output: given CTest's pipe, they would keep it
# open long after the program ended, and CTest waits for the pipe. So the
# output goes to a file, shown once the program has ended.
# QV_USER_LOCALE gives the program that user language on the session's code
# page: Wine takes the user's locale from LC_MESSAGES and the code page from
# LC_CTYPE, and a program started from a Windows program keeps the Unix
# locale of its starter whatever environment it is given.
if [ -n "${QV_USER_LOCALE:-}" ]; then
  export LC_CTYPE=${LC_ALL:-$LANG} LC_MESSAGES=$QV_USER_LOCALE
  unset LC_ALL
fi
out=$(mktemp /tmp/qv-wine-run.XXXXXX)
/usr/lib/wine/wine64 "$@" >"$out" 2>&1 </dev/null
code=$?
cat "$out"
rm -f "$out"
exit $code
