#!/usr/bin/env bash
# Installs what the build and the tests need on a fresh Debian machine.
# Safe to run again: it installs only what is missing.
set -euo pipefail

need=(cmake ninja-build g++ g++-multilib qemu-user
      g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
      clang libclang-rt-14-dev libfuzzer-14-dev libssl-dev  # the fuzz targets (tests/fuzz)
      python3 wine wine64 xvfb x11-utils locales googletest imagemagick fonts-ipafont-gothic
      debootstrap)  # makes the Wine 10 chroot of the i686 tests (scripts/wine10.sh)

missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The ANSI code page under Wine follows the Unix locale: ja_JP gives 932.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  echo "setup: generating ja_JP.UTF-8" >&2
  localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
# en_US gives a program an English user language (LC_MESSAGES) on it. In a
# folder of its own: the archive stays as programs running meanwhile read it.
if ! locale -a 2>/dev/null | grep -qi '^en_US\.utf-\?8$'; then
  echo "setup: generating en_US.UTF-8" >&2
  localedef --no-archive -i en_US -f UTF-8 en_US.UTF-8
fi

# The posix thread model gives std::thread and friends; pick it once.
for arch in i686 x86_64; do
  for tool in gcc g++; do
    alt=/usr/bin/$arch-w64-mingw32-$tool-posix
    if [ -x "$alt" ] && update-alternatives --list "$arch-w64-mingw32-$tool" >/dev/null 2>&1; then
      update-alternatives --set "$arch-w64-mingw32-$tool" "$alt" >/dev/null
    fi
  done
done
