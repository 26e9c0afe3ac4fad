#!/usr/bin/env python3
"""Reads a built quorvane.exe the way Windows does and checks what the user
and the system see of it: a PE32 (i686) or PE32+ (x86_64) GUI program whose
resources hold the icon group 102 (32 and 16 pixels, 16 colours), the
manifest that binds Common Controls 6 for the program's architecture, and
the version block with the version written in VERSION.

  check_resources.py EXE i686|x86_64 VERSION-FILE [--release]

--release also checks what makes two builds of one commit byte-identical:
no link time stamp and no build folder inside the file.
"""
import re
import struct
import sys

MACHINES = {"i686": (0x014C, 0x10B, "x86"), "x86_64": (0x8664, 0x20B, "amd64")}
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24


class Pe:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[:2] != b"MZ" or data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        self.machine, sections, self.timestamp = struct.unpack_from("<HHI", data, pe + 4)
        optional_size = struct.unpack_from("<H", data, pe + 20)[0]
        optional = pe + 24
        self.magic = struct.unpack_from("<H", data, optional)[0]
        self.subsystem = struct.unpack_from("<H", data, optional + 68)[0]
        directories = optional + (96 if self.magic == 0x10B else 112)
        self.resource_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
        self.sections = []
        for i in range(sections):
            at = optional + optional_size + 40 * i
            size, rva, raw_size, raw = struct.unpack_from("<IIII", data, at + 8)
            self.sections.append((rva, max(size, raw_size), raw))

    def offset(self, rva):
        for start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError(f"RVA {rva:#x} in no section")

    def resources(self):
        """{(type, id): bytes} of the first language of every resource."""
        base = self.offset(self.resource_rva)
        found = {}

        def entries(at):
            named, numbered = struct.unpack_from("<HH", self.data, base + at + 12)
            for i in range(named + numbered):
                ident, target = struct.unpack_from("<II", self.data, base + at + 16 + 8 * i)
                yield ident, target

        for rtype, to_names in entries(0):
            for rid, to_languages in entries(to_names & 0x7FFFFFFF):
                _, leaf = next(entries(to_languages & 0x7FFFFFFF))
                rva, size = struct.unpack_from("<II", self.data, base + leaf)
                start = self.offset(rva)
                found[(rtype, rid)] = self.data[start:start + size]
        return found


def version_strings(block):
    """The fixed part and the string table of a VS_VERSIONINFO block."""
    def node(at):
        length, value_length, kind = struct.unpack_from("<HHH", block, at)
        end = block.index(b"\0\0", at + 6)
        while (end - at) % 2:
            end = block.index(b"\0\0", end + 1)
        key = block[at + 6:end].decode("utf-16-le")
        value_at = (end + 2 + 3) & ~3
        return at + length, key, value_length, kind, value_at

    end, key, value_length, _, value_at = node(0)
    if key != "VS_VERSION_INFO":
        raise ValueError("no VS_VERSION_INFO")
    fixed = struct.unpack_from("<13I", block, value_at)
    strings = {}

    def walk(at, stop):
        while at < stop:
            child_end, child_key, length, kind, child_value = node(at)
            if kind == 1 and length and child_key not in ("StringFileInfo",):
                text = block[child_value:child_value + 2 * length].decode("utf-16-le")
                strings[child_key] = text.rstrip("\0")
            else:
                walk((child_value + (2 * length if kind == 1 else length) + 3) & ~3, child_end)
            at = (child_end + 3) & ~3

    walk((value_at + value_length + 3) & ~3, end)
    return fixed, strings


def main(exe, arch, version_file, release):
    data = open(exe, "rb").read()
    version = open(version_file, encoding="ascii").readline().strip()
    numbers = [int(n) for n in version.split(".")] + [0]
    failures = []

    def check(what, ok):
        print(("ok: " if ok else "FAIL: ") + what)
        if not ok:
            failures.append(what)

    pe = Pe(data)
    machine, magic, manifest_arch = MACHINES[arch]
    check(f"machine {machine:#06x}, optional header {magic:#05x}",
          pe.machine == machine and pe.magic == magic)
    check("GUI subsystem", pe.subsystem == 2)

    res = pe.resources()
    group = res.get((RT_GROUP_ICON, 102), b"")
    check("icon group 102", len(group) >= 6)
    if len(group) >= 6:
        count = struct.unpack_from("<H", group, 4)[0]
        icons = [struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i) for i in range(count)]
        sizes = sorted((w or 256) for w, _, _, _, _, _, _, _ in icons)
        check(f"icon images 16 and 32 pixels: {sizes}", sizes == [16, 32])
        check("icon images of 16 colours",
              all(colours == 16 or bits == 4 for _, _, colours, _, _, bits, _, _ in icons))
        check("icon images present",
              all((RT_ICON, ident) in res for *_, ident in icons))

    manifest = res.get((RT_MANIFEST, 1), b"").decode("utf-8", "replace")
    check("manifest binds Common Controls 6.0.0.0 for " + manifest_arch, re.search(
        r'name="Microsoft\.Windows\.Common-Controls"\s+version="6\.0\.0\.0"\s+'
        r'processorArchitecture="' + manifest_arch + '"', manifest) is not None)
    check("manifest names version " + version + ".0",
          f'name="Quorvane" version="{version}.0"' in manifest)
    check("manifest declares per-monitor DPI awareness (v2, then v1)",
          ">true/pm</dpiAware>" in manifest and ">PerMonitorV2,PerMonitor</dpiAwareness>" in manifest)

    block = res.get((RT_VERSION, 1), b"")
    check("version resource", bool(block))
    if block:
        fixed, strings = version_strings(block)
        packed = ((numbers[0] << 16 | numbers[1]), (numbers[2] << 16 | numbers[3]))
        check("fixed file and product version " + version,
              fixed[0] == 0xFEEF04BD and fixed[2:4] == packed and fixed[4:6] == packed)
        print("  strings:", strings)
        check("FileVersion and ProductVersion " + version,
              strings.get("FileVersion") == version and strings.get("ProductVersion") == version)
        check("ProductName Quorvane", strings.get("ProductName") == "Quorvane")
        check("FileDescription", len(strings.get("FileDescription", "")) > 8)
        check("LegalCopyright line", "Copyright" in strings.get("LegalCopyright", ""))

    if release:
        check("no link time stamp", pe.timestamp == 0)
        check("no build folder inside", b"/work/" not in data and b"/tmp/" not in data
              and b"/home/" not in data and b"/root/" not in data)

    return 1 if failures else 0


if __name__ == "__main__":
    args = [a for a in sys.argv[1:] if a != "--release"]
    if len(args) != 3:
        sys.exit(__doc__)
    sys.exit(main(*args, release="--release" in sys.argv))
