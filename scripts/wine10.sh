# Sourced by the test scripts: a Wine 10 desktop in a Debian sid chroot, for
# the i686 program. The kernel here runs no 32-bit code and the host's Wine 8
# needs it for 32-bit programs; Wine 10's new WoW64 mode runs 32-bit PE code
# inside a 64-bit process, and sid's amd64 libwine ships the 32-bit DLLs.
#   wine10_chroot_ensure  makes the chroot once and keeps it (QV_WINE10_CHROOT,
#                         default /var/cache/quorvane/wine10-sid)
#   wine10_start DIR      private WINEPREFIX under DIR, Xvfb and one persistent
#                         wineserver inside the chroot, code page 932, Tokyo time
#   wine10_exec CMD ...   runs CMD inside the chroot, in the started session
#   wine10_stop           stops what wine10_start started, by process id
#   wine10_restart_at DPI ends the session and starts it anew at that display
#                         scaling (96: none)
#   wine10_kernel_runs_32bit_code
#                         true when this machine's kernel lets a 64-bit
#                         process enter 32-bit code, as the new WoW64 must
# wine10_start exports what wine10_exec needs, so a child process (CTest's
# emulator, scripts/wine10-run.sh) can source this file and use the session.
#
# Every process run in the chroot gets a mount namespace of its own, with
# /proc, /sys, /dev and the project's folders mounted in it: the mounts go
# away with its last process, whatever ends it, and nothing is ever mounted
# on the host. The project's source tree and build root appear at the same
# paths inside, so the Z:\ paths the tests compute from their build paths hold.
# The wineserver opens the files of every program, in the namespace it was
# started in: what a session shows of the host is fixed when it starts.

. "$(dirname "${BASH_SOURCE[0]}")/wine-kill.sh"
QV_WINE10_CHROOT=${QV_WINE10_CHROOT:-/var/cache/quorvane/wine10-sid}
# The Wine the i686 tests were proven on; another one is refused.
QV_WINE10_VERSION=10.0~repack-12+b1
QV_WINE10_SERVER=/usr/lib/x86_64-linux-gnu/wine/wineserver
QV_WINE10_DLLS=/usr/lib/x86_64-linux-gnu/wine/i386-windows
QV_W10_XVFB_PID=
QV_W10_SERVER_STARTED=

# The command that runs CMD in the chroot ROOT with the working folder WD (or
# / if the chroot has no such folder) and exactly the environment ENV
# (NAME=VALUE words, up to --); BINDS is a colon-separated list of host
# folders shown at the same paths. Left in QV_W10_CMD: from unshare on, each
# step execs the next, so the process id of the command is CMD's own.
_qv_w10_command() {  # ROOT WD BINDS [ENV ...] -- CMD ...
  QV_W10_CMD=(unshare -m --propagation private -- /bin/sh -c '
    set -ef
    root=$1 wd=$2 binds=$3
    shift 3
    mount -t proc proc "$root/proc"
    mount -t sysfs sysfs "$root/sys"
    mount --bind /dev "$root/dev"
    mount --bind /dev/pts "$root/dev/pts"
    mount -t tmpfs -o mode=1777 shm "$root/dev/shm"
    IFS=:
    for path in $binds; do
      mkdir -p "$root$path"
      mount --rbind "$path" "$root$path"
    done
    [ -d "$root$wd" ] || wd=/
    env=
    while [ "$1" != -- ]; do env="$env$1
"; shift; done
    shift
    IFS="
"
    exec chroot "$root" /usr/bin/env -i -C "$wd" $env "$@"
  ' qv-wine10 "$@")
}

_qv_w10_run() { _qv_w10_command "$@" && "${QV_W10_CMD[@]}"; }

# The mirror of the host's own Debian sources.
_qv_w10_mirror() {
  local mirror
  mirror=$(awk '/^URIs:/ && $2 ~ /\/debian\/?$/ { print $2; exit }' \
    /etc/apt/sources.list.d/debian.sources 2>/dev/null)
  printf '%s' "${mirror:-http://deb.debian.org/debian}"
}

_qv_w10_fail() { echo "wine10: $*" >&2; return 1; }

# The installed version of a package in the chroot ROOT, read from its dpkg
# database so that no process needs to enter it.
_qv_w10_installed() {  # ROOT PACKAGE
  awk -v p="$2" '
    /^Package: / { on = ($2 == p) }
    on && /^Status: / && $0 !~ / installed$/ { on = 0 }
    on && /^Version: / { print $2; exit }' "$1/var/lib/dpkg/status"
}

# The checks every session start makes: the pinned Wine, and its 32-bit DLLs.
_qv_w10_check() {  # ROOT
  local root=$1 package version
  for package in libwine wine64 wine; do
    version=$(_qv_w10_installed "$root" "$package")
    case $package:$version in
      wine:"${QV_WINE10_VERSION%+b*}" | *:"$QV_WINE10_VERSION") ;;
      *) _qv_w10_fail "$root has $package ${version:-(none)}, but the tests were proven on" \
           "$QV_WINE10_VERSION; remove $root to make it anew" || return ;;
    esac
  done
  [ -f "$root$QV_WINE10_DLLS/kernel32.dll" ] && [ -f "$root$QV_WINE10_DLLS/user32.dll" ] &&
    [ -x "$root$QV_WINE10_SERVER" ] ||
    _qv_w10_fail "$root lacks Wine's 32-bit DLLs in $QV_WINE10_DLLS or its wineserver"
}

# The PE machine of a DLL: 14c for 32-bit x86.
_qv_w10_machine() {  # FILE
  local header
  header=$(od -An -tu4 -j 60 -N 4 "$1" | tr -d ' ')
  od -An -tx2 -j $((header + 4)) -N 2 "$1" | tr -d ' '
}

# Builds the chroot in a new folder beside its place and renames it into
# place only when it is complete: an interrupted build is never taken for a
# finished one. A lock keeps two runs from building it at once.
_qv_w10_build() {  # ROOT LOG
  local root=$1 log=$2 tmp source=${QV_WINE10_VERSION%+b*} dlls machine
  [ -d "$root" ] && return 0
  # Left by an interrupted build; under the lock no build is running.
  rm -rf --one-file-system "$root".new.*
  tmp=$(mktemp -d "$root.new.XXXXXX") || return
  chmod 755 "$tmp"
  echo "wine10: making the Wine 10 chroot at $root (about a minute and 2 GB; log: $log)" >&2
  local enter=(_qv_w10_run "$tmp" / "" PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root
               DEBIAN_FRONTEND=noninteractive LC_ALL=C --)
  {
    # debootstrap mounts /proc and /sys in the new system itself: in a
    # namespace of its own those mounts cannot outlive it either.
    unshare -m --propagation private -- \
      debootstrap --variant=minbase sid "$tmp" "$(_qv_w10_mirror)" &&
    # The mirror's sid Release file is past its Valid-Until date.
    echo 'Acquire::Check-Valid-Until "false";' >"$tmp/etc/apt/apt.conf.d/99qv-no-valid-until" &&
    "${enter[@]}" apt-get update &&
    "${enter[@]}" apt-get install -y --no-install-recommends \
      "wine=$source" "wine64=$QV_WINE10_VERSION" "libwine=$QV_WINE10_VERSION" \
      "fonts-wine=$source" xvfb locales tzdata fonts-ipafont-gothic &&
    "${enter[@]}" apt-mark hold wine wine64 libwine fonts-wine &&
    "${enter[@]}" apt-get clean &&
    # The ANSI code page under Wine follows the Unix locale: ja_JP gives 932.
    "${enter[@]}" localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 &&
    _qv_w10_english "$tmp"
  } >"$log" 2>&1 || {
    tail -n 20 "$log" >&2
    _qv_w10_fail "making the chroot failed; see $log" || return
  }
  _qv_w10_check "$tmp" || return
  dlls=$(find "$tmp$QV_WINE10_DLLS" -name '*.dll' | wc -l)
  machine=$(_qv_w10_machine "$tmp$QV_WINE10_DLLS/kernel32.dll")
  [ "$dlls" -gt 500 ] && [ "$machine" = 014c ] ||
    _qv_w10_fail "$QV_WINE10_DLLS holds $dlls DLLs, kernel32.dll for machine $machine: not 32-bit PE DLLs" ||
    return
  mv -T "$tmp" "$root"
}

# en_US gives a program an English user language (LC_MESSAGES) on code page
# 932. A chroot made before it was needed gets it too: in a folder of its
# own, so the locale archive that running sessions read is left alone.
_qv_w10_english() {  # ROOT
  [ -d "$1/usr/lib/locale/en_US.utf8" ] && return 0
  _qv_w10_run "$1" / "" PATH=/usr/sbin:/usr/bin:/sbin:/bin LC_ALL=C -- \
    localedef --no-archive -i en_US -f UTF-8 en_US.UTF-8
}

# Wine's new WoW64 sets up each 32-bit thread through the kernel's 32-bit
# entry (int 0x80), and then runs 32-bit code. Some virtual machines run
# 64-bit user code only: there the entry faults, every 32-bit program dies
# at start, and no chroot would help. A child process tries the entry once.
wine10_kernel_runs_32bit_code() {
  local probe='
import ctypes, mmap, os, sys
# mov eax, 20 (getpid); int 0x80; ret
code = bytes([0xB8, 0x14, 0, 0, 0, 0xCD, 0x80, 0xC3])
page = mmap.mmap(-1, mmap.PAGESIZE, prot=mmap.PROT_READ | mmap.PROT_WRITE | mmap.PROT_EXEC)
page.write(code)
entry = ctypes.CFUNCTYPE(ctypes.c_int)(ctypes.addressof(ctypes.c_char.from_buffer(page)))
sys.exit(0 if entry() == os.getpid() else 1)
'
  # Through a shell of its own, whose report of the faulting child goes
  # nowhere either.
  sh -c 'python3 -c "$1"' probe "$probe" >/dev/null 2>&1
}

wine10_chroot_ensure() {
  local root=$QV_WINE10_CHROOT status=0
  if [ ! -d "$root" ]; then
    mkdir -p "$(dirname "$root")" || return
    exec {QV_W10_LOCK}>"$root.lock" || return
    flock "$QV_W10_LOCK" || return
    _qv_w10_build "$root" "$root.log" || status=$?
    exec {QV_W10_LOCK}>&-
    [ "$status" -eq 0 ] || return "$status"
  fi
  _qv_w10_check "$root" || return
  if [ ! -d "$root/usr/lib/locale/en_US.utf8" ]; then
    exec {QV_W10_LOCK}>"$root.lock" || return
    flock "$QV_W10_LOCK" || return
    _qv_w10_english "$root" >>"$root.log" 2>&1 || status=$?
    exec {QV_W10_LOCK}>&-
    [ "$status" -eq 0 ] || _qv_w10_fail "adding en_US.UTF-8 to $root failed; see $root.log"
  fi
}

# The environment of every process in the session.
_qv_w10_env() {
  local name
  QV_W10_ENV=(PATH=/usr/local/bin:/usr/bin:/bin HOME=/root USER=root
              WINEPREFIX="$QV_WINE10_SESSION/wineprefix" WINEARCH=win64 WINEDEBUG=-all
              WINEDLLOVERRIDES="mscoree,mshtml=" LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
              TZ="${TZ:-Asia/Tokyo}" DISPLAY="$QV_WINE10_DISPLAY")
  # The project's own settings reach the programs, as under the host's Wine.
  for name in $(compgen -e); do
    case $name in QV_* | GTEST_*) QV_W10_ENV+=("$name=${!name}") ;; esac
  done
  # That user language on code page 932, as scripts/wine-run.sh gives it.
  if [ -n "${QV_USER_LOCALE:-}" ]; then
    QV_W10_ENV=("${QV_W10_ENV[@]/#LC_ALL=*/LC_CTYPE=ja_JP.UTF-8}" "LC_MESSAGES=$QV_USER_LOCALE")
  fi
}

# Leaves in QV_W10_CMD the command that runs CMD in the session.
wine10_command() {
  [ -n "${QV_WINE10_SESSION:-}" ] ||
    _qv_w10_fail "no Wine 10 session: start one with wine10_start (scripts/test.sh does)" || return
  _qv_w10_env
  _qv_w10_command "$QV_WINE10_CHROOT" "$PWD" "$QV_WINE10_BINDS" "${QV_W10_ENV[@]}" -- "$@"
}

wine10_exec() { wine10_command "$@" && "${QV_W10_CMD[@]}"; }

wine10_start() {
  local dir top binds
  wine10_chroot_ensure || return
  mkdir -p "$1" || return
  dir=$(cd "$1" && pwd -P)
  top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
  # The source tree, and the session folder unless it lies inside it.
  binds=$top
  case $dir/ in "$top"/*) ;; *) binds+=:$dir ;; esac
  if [ -n "${QV_BUILD_ROOT:-}" ] && [ -d "$QV_BUILD_ROOT" ]; then
    local build
    build=$(cd "$QV_BUILD_ROOT" && pwd -P)
    case $build/ in "$top"/* | "$dir"/*) ;; *) binds+=:$build ;; esac
  fi
  export QV_WINE10_CHROOT QV_WINE10_SESSION=$dir QV_WINE10_BINDS=$binds QV_WINE10_DISPLAY=

  # Its own X server inside the chroot, never the host's display: two Wine
  # sessions on one display would share one X clipboard. Xvfb picks a free
  # display itself and names it once it listens.
  rm -f "$dir/xvfb.display"
  wine10_command Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp || return
  "${QV_W10_CMD[@]}" 3>"$dir/xvfb.display" >"$dir/xvfb.log" 2>&1 </dev/null &
  QV_W10_XVFB_PID=$!
  local i
  for i in $(seq 200); do
    [ -s "$dir/xvfb.display" ] && break
    kill -0 "$QV_W10_XVFB_PID" 2>/dev/null || break
    sleep 0.05
  done
  [ -s "$dir/xvfb.display" ] || { cat "$dir/xvfb.log" >&2; _qv_w10_fail "Xvfb did not start" || return; }
  QV_WINE10_DISPLAY=:$(head -n 1 "$dir/xvfb.display")

  # A prefix whose making was interrupted is made anew: before the server
  # starts, as the server belongs to the prefix folder.
  local prefix=$dir/wineprefix
  if [ ! -f "$prefix/.qv-ready" ]; then rm -rf --one-file-system "$prefix"; fi
  mkdir -p "$prefix"
  # A test that was killed may have left its scaling behind.
  qv_scaling_write "$prefix" 96
  wine10_exec "$QV_WINE10_SERVER" -p || return
  QV_W10_SERVER_STARTED=1
  # Output goes to a file: Wine's background services inherit it and keep
  # any pipe open long after the program ends.
  if [ ! -f "$prefix/.qv-ready" ]; then
    wine10_exec wine wineboot -i >"$dir/wineboot.log" 2>&1 </dev/null || return
    touch "$prefix/.qv-ready"
  else
    wine10_exec wine wineboot >"$dir/wineboot.log" 2>&1 </dev/null || return
  fi
  local settings=$top/scripts/wine-prefix.reg stamp
  stamp=$prefix/.qv-settings-$(md5sum <"$settings" | cut -c1-12)
  if [ ! -f "$stamp" ]; then
    wine10_exec wine regedit /S "$(printf 'Z:%s' "$settings" | tr / '\\')" \
      >>"$dir/wineboot.log" 2>&1 </dev/null || return
    rm -f "$prefix"/.qv-settings-*
    touch "$stamp"
  fi
}

# Ends the session and starts it anew at the display scaling DPI (96: none),
# as wine_env_restart_at does for the host's Wine (scripts/wine-env.sh says
# why a new session is needed). Works from a child of wine10_start's shell.
wine10_restart_at() {
  local dpi=$1 prefix=$QV_WINE10_SESSION/wineprefix
  { wine10_command "$QV_WINE10_SERVER" -k && timeout 20 "${QV_W10_CMD[@]}" &&
    wine10_command "$QV_WINE10_SERVER" -w && timeout 20 "${QV_W10_CMD[@]}"; } >/dev/null 2>&1 ||
    qv_kill_prefix "$prefix"
  qv_scaling_write "$prefix" "$dpi"
  wine10_exec "$QV_WINE10_SERVER" -p
}

wine10_stop() {
  if [ -n "$QV_W10_SERVER_STARTED" ]; then
    # A server stuck in a loop never answers -k: then every process of the
    # session goes, found by its prefix.
    { wine10_command "$QV_WINE10_SERVER" -k && timeout 20 "${QV_W10_CMD[@]}" &&
      wine10_command "$QV_WINE10_SERVER" -w && timeout 20 "${QV_W10_CMD[@]}"; } >/dev/null 2>&1 ||
      qv_kill_prefix "$QV_WINE10_SESSION/wineprefix"
    QV_W10_SERVER_STARTED=
  fi
  if [ -n "$QV_W10_XVFB_PID" ]; then
    kill "$QV_W10_XVFB_PID" 2>/dev/null || true
    wait "$QV_W10_XVFB_PID" 2>/dev/null || true
    QV_W10_XVFB_PID=
  fi
}
