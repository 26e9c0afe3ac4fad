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
# QV_SESSION_DPI runs the program in a session started at that display
# scaling, and the session is started anew at 96 afterwards: the tests that
# ask for it hold the desktop lock, so no other test shares the session.
if [ -n "${QV_SESSION_DPI:-}" ]; then
  . "$(dirname "$0")/wine-env.sh"
  # The server must not hold CTest's pipe open: its output goes nowhere.
  wine_env_restart_at "$QV_SESSION_DPI" >/dev/null 2>&1 </dev/null
  trap 'wine_env_restart_at 96 >/dev/null 2>&1 </dev/null' EXIT
fi
out=$(mktemp /tmp/qv-wine-run.XXXXXX)
/usr/lib/wine/wine64 "$@" >"$out" 2>&1 </dev/null
code=$?
cat "$out"
rm -f "$out"
exit $code
