#!/usr/bin/env bash
# Builds the release of the checked-out commit:
#   scripts/release.sh    ->  dist/quorvane-<version>-i686.zip
#                             dist/quorvane-<version>-x86_64.zip
# <version> is the first line of VERSION. Each zip holds quorvane.exe, the
# sample quorvane.ini, the Japanese guide as README-ja.txt and the English
# README-en.txt, all of them as a Windows user reads them (Shift_JIS, CR LF).
#
# The committed tree is exported and built from scratch in build folders of
# its own ($QV_BUILD_ROOT/release-<arch>, default build/), optimised (-O2)
# and stripped. Two runs on the same commit give byte-identical zips: the
# programs carry no link time stamp and no build folder, and the zip entries
# have fixed times (the commit's, in Japan time), order and attributes.
# Uncommitted changes are left out, and said so.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
root=${QV_BUILD_ROOT:-$top/build}
dist=$top/dist
jobs=${QV_JOBS:-$(nproc)}

bash "$top/scripts/setup.sh"

src=$root/release-src
rm -rf "$src"
mkdir -p "$src" "$dist"
if git -C "$top" rev-parse --verify -q HEAD >/dev/null; then
  git -C "$top" archive --format=tar HEAD | tar -x -C "$src"
  epoch=$(git -C "$top" log -1 --format=%ct HEAD)
  commit=$(git -C "$top" rev-parse --short HEAD)
  if [ -n "$(git -C "$top" status --porcelain --untracked-files=no)" ]; then
    echo "release: uncommitted changes are not part of the release of $commit" >&2
  fi
else
  echo "release: no git commit to build" >&2
  exit 1
fi
version=$(head -n 1 "$src/VERSION")
export SOURCE_DATE_EPOCH=$epoch

for arch in i686 x86_64; do
  build=$root/release-$arch
  rm -rf "$build"
  # The exported tree lies at a path of this machine: map it away, so that
  # nothing of where the build ran ends up in the program.
  flags="-ffile-prefix-map=$src/= -ffile-prefix-map=$build/="
  cmake -S "$src" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-s -Wl,--no-insert-timestamp" \
    -DQV_PRODUCT_ONLY=ON >/dev/null
  cmake --build "$build" -j "$jobs" --target quorvane >/dev/null
  # The inspection of every build, and what makes this one reproducible.
  ctest --test-dir "$build" -L inspect --output-on-failure >"$build/inspect.log" 2>&1 ||
    { cat "$build/inspect.log" >&2; exit 1; }
  python3 "$src/tests/inspect/check_resources.py" "$build/quorvane.exe" "$arch" "$src/VERSION" \
    --release >"$build/release-check.log" || { cat "$build/release-check.log" >&2; exit 1; }
done

python3 - "$src" "$root" "$dist" "$version" "$epoch" <<'EOF'
import datetime
import subprocess
import sys
import zipfile

src, root, dist, version, epoch = sys.argv[1:]
japan = datetime.timezone(datetime.timedelta(hours=9))
stamp = datetime.datetime.fromtimestamp(int(epoch), japan).timetuple()[:6]


def windows_text(text):
    """Shift_JIS with CR LF; a character without a Shift_JIS byte is an error."""
    return text.replace("\r\n", "\n").replace("\n", "\r\n").encode("cp932")


guide = subprocess.run([sys.executable, f"{src}/scripts/guide_text.py",
                        f"{src}/docs/ja/README.md", version],
                       check=True, capture_output=True).stdout.decode("utf-8")
english = open(f"{src}/dist-files/README-en.txt", "rb").read().replace(b"@VERSION@", version.encode())
files = {
    "README-en.txt": english,
    "README-ja.txt": windows_text(guide),
    "quorvane.ini": open(f"{src}/dist-files/quorvane.ini", "rb").read(),
}
for arch in ("i686", "x86_64"):
    files["quorvane.exe"] = open(f"{root}/release-{arch}/quorvane.exe", "rb").read()
    path = f"{dist}/quorvane-{version}-{arch}.zip"
    with zipfile.ZipFile(path, "w") as archive:
        for name in sorted(files):
            entry = zipfile.ZipInfo(name, date_time=stamp)
            entry.create_system = 0       # MS-DOS attributes, as Windows writes them
            entry.external_attr = 0x20    # archive
            entry.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(entry, files[name], compresslevel=9)
    print(path)
EOF

for arch in i686 x86_64; do
  size=$(stat -c %s "$root/release-$arch/quorvane.exe")
  echo "quorvane.exe ($arch): $size bytes"
done
(cd "$dist" && sha256sum "quorvane-$version-i686.zip" "quorvane-$version-x86_64.zip")
