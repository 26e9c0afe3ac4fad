# Sourced by the Wine session scripts.
#   qv_kill_prefix PREFIX   kills every process whose WINEPREFIX is PREFIX
#   qv_scaling_write PREFIX DPI
#                           gives the prefix's user that display scaling
#                           (LogPixels; 96: none) while no server runs
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

# Gives the prefix's user the display scaling DPI (96: none of its own) in
# its registry file. Only while no server has the prefix open: a running
# server keeps its own copy of the registry and writes it back as it ends.
qv_scaling_write() {
  local file=$1/user.reg dpi=$2
  [ -f "$file" ] || return 0
  awk -v value="$(printf '"LogPixels"=dword:%08x' "$dpi")" -v set=$((dpi != 96)) '
    /^\[/ {
      if (desktop && set && !written) { print value; written = 1 }
      desktop = ($0 ~ /^\[Control Panel\\\\Desktop\]/)
    }
    desktop && /^"LogPixels"=/ { next }
    { print }
    desktop && /^#time=/ && set && !written { print value; written = 1 }
    END {
      if (desktop && set && !written) { print value; written = 1 }
      if (set && !written) { print ""; print "[Control Panel\\\\Desktop]"; print value }
    }' "$file" >"$file.qv-new" && mv "$file.qv-new" "$file"
}
