# Sourced by the Wine session scripts.
#   qv_kill_prefix PREFIX   kills every process whose WINEPREFIX is PREFIX
#   qv_scaling_set PREFIX   true when the prefix's user holds a display
#                           scaling (LogPixels) of its own
# For a wineserver that no longer answers (Wine 10's can loop for ever): its
# clients, Wine's services and the server itself go, whatever chroot they
# run in, as each carries the prefix in its environment.
qv_kill_prefix() {
  local prefix=$1 entry pid
  for entry in /proc/[0-9]*/environ; do
    pid=${entry#/proc/}
    pid=${pid%/environ}
    [ "$pid" != $$ ] || continue
    if tr '\0' '\n' 2>/dev/null <"$entry" | grep -qxF "WINEPREFIX=$prefix"; then
      kill -9 "$pid" 2>/dev/null || true
    fi
  done
}

# A test sets the scaling only while it runs, but one that was killed leaves
# it behind, and every later window test of the prefix would see it. Read
# from the registry file, before the session's server has it open.
qv_scaling_set() {
  awk '/^\[/ { desktop = ($0 ~ /^\[Control Panel\\\\Desktop\]/) }
       desktop && /^"LogPixels"=/ { found = 1 }
       END { exit !found }' "$1/user.reg" 2>/dev/null
}
