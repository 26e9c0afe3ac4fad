# Sourced by the run and test scripts: a private Wine desktop for one run.
#   wine_env_start DIR   private WINEPREFIX under DIR, private Xvfb display,
#                        one persistent wineserver, code page 932, Tokyo time
#   wine_env_stop        stops what wine_env_start started, by process id
#   wine_env_restart_at DPI
#                        ends the session and starts it anew at that display
#                        scaling (96: none); in the environment wine_env_start
#                        exported, so also from a child such as CTest's emulator
# Everything started is recorded, so a trap can stop it also on failure.

. "$(dirname "${BASH_SOURCE[0]}")/wine-kill.sh"
WINE64=/usr/lib/wine/wine64
QV_XVFB_PID=
QV_WINESERVER_STARTED=

wine_env_start() {
  local dir=$1
  mkdir -p "$dir"
  export WINEPREFIX=$dir/wineprefix
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
  export TZ=${TZ:-Asia/Tokyo}

  # Xvfb picks a free display itself and names it once it listens: a number
  # chosen here could be taken by a run starting at the same moment, and two
  # runs on one display share one clipboard.
  rm -f "$dir/xvfb.display"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$dir/xvfb.display" >"$dir/xvfb.log" 2>&1 &
  QV_XVFB_PID=$!
  local i
  for i in $(seq 100); do [ -s "$dir/xvfb.display" ] && break; sleep 0.05; done
  export DISPLAY=:$(head -n 1 "$dir/xvfb.display")

  mkdir -p "$WINEPREFIX"
  # A test that was killed may have left its scaling behind.
  qv_scaling_write "$WINEPREFIX" 96
  wineserver -p
  QV_WINESERVER_STARTED=1
  if [ ! -f "$WINEPREFIX/.qv-ready" ]; then
    # Output goes to a file: Wine's background services inherit it and keep
    # any pipe open long after the program ends.
    "$WINE64" wineboot -i >"$dir/wineboot.log" 2>&1 </dev/null
    touch "$WINEPREFIX/.qv-ready"
  else
    "$WINE64" wineboot >"$dir/wineboot.log" 2>&1 </dev/null
  fi
  # Unmanaged windows, no crash dialog: imported again whenever they change.
  local settings stamp
  settings=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine-prefix.reg
  stamp=$WINEPREFIX/.qv-settings-$(md5sum <"$settings" | cut -c1-12)
  if [ ! -f "$stamp" ]; then
    "$WINE64" regedit /S "$(printf 'Z:%s' "$settings" | tr / '\\')" >>"$dir/wineboot.log" 2>&1 </dev/null
    rm -f "$WINEPREFIX"/.qv-settings-*
    touch "$stamp"
  fi
}

# A session takes its scaling from the registry as it starts: under Wine 10
# the monitors keep the DPI they had then for the whole session (programs
# asking the system's DPI see a later value, their windows do not), so a
# new scaling needs a new session. Under Wine 8 a later value would do.
wine_env_restart_at() {
  local dpi=$1
  { timeout 20 wineserver -k; timeout 20 wineserver -w; } >/dev/null 2>&1 ||
    qv_kill_prefix "$WINEPREFIX"
  qv_scaling_write "$WINEPREFIX" "$dpi"
  wineserver -p
}

wine_env_stop() {
  if [ -n "$QV_WINESERVER_STARTED" ]; then
    # A server that no longer answers -k: every process of the session goes.
    { timeout 20 wineserver -k && timeout 20 wineserver -w; } >/dev/null 2>&1 ||
      qv_kill_prefix "$WINEPREFIX"
    QV_WINESERVER_STARTED=
  fi
  if [ -n "$QV_XVFB_PID" ]; then
    kill "$QV_XVFB_PID" 2>/dev/null || true
    wait "$QV_XVFB_PID" 2>/dev/null || true
    QV_XVFB_PID=
  fi
}
