#!/usr/bin/env python3
"""check_stack_alignment.py OBJDUMP EXE: the 32-bit program (with symbols)
against the rule below. 32-bit Windows enters a thread, a window procedure
or a callback with a stack aligned to 4 bytes only. A function whose address
lies anywhere in the loaded image, or the entry point, may be entered so."""
import re
import struct
import subprocess
import sys

RULE = ("a function that uses an aligned SSE operand on the stack realigns the stack "
        "(and $0xfffffff0,%esp) or is never called from a system entry")
# SSE forms whose memory operand needs no 16-byte alignment: the unaligned
# moves and those of 64 bits or less (scalars end in ss or sd; pminsd is
# packed, and so are the cvt forms between dq, ps and pd).
UNALIGNED = re.compile(r"^(movup[sd]|movdqu|lddqu|movq|movd|mov[lh]p[sd]|movddup|u?comis[sd]|"
                       r"insertps|extractps)$|^(cvt(?!t?ps2dq|dq2ps|t?pd2dq|pd2ps)|pinsr|pextr|pmov[sz]x)|^[^pv].*s[sd]l?$")


def run(*arguments):
    return subprocess.run(arguments, check=True, capture_output=True, text=True,
                          env={"LC_ALL": "C"}).stdout


def main(objdump, exe):
    functions, current, here = {}, None, None  # start -> [name, aligned uses, realigns, callers]
    calls = []
    for line in run(objdump, "-d", "--no-show-raw-insn", exe).splitlines():
        if m := re.match(r"^([0-9a-f]+) <(.+)>:$", line):
            here = int(m[1], 16)
            current = functions.setdefault(here, [m[2], [], False, []])
        elif (m := re.match(r"^\s+([0-9a-f]+):\s+(\S+)\s*(.*)$", line)) and current:
            mnemonic, operands = m[2], m[3]
            if ("%xmm" in operands and re.search(r"\((%esp|%ebp)", operands)
                    and not mnemonic.startswith("v") and not UNALIGNED.search(mnemonic)):
                current[1].append(f"{m[1]}: {mnemonic} {operands}")
            current[2] |= mnemonic == "and" and bool(re.search(r"\$0xffffff[0-9a-f]0,%esp$", operands))
            if (t := re.match(r"^([0-9a-f]+) <", operands)) and mnemonic.startswith(("call", "j")):
                calls.append((here, int(t[1], 16), mnemonic.startswith("call")))
    for caller, target, is_call in calls:
        if target in functions and target != caller:
            functions[target][3].append((caller, is_call))

    data = open(exe, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count, optional = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    image = b""  # what the loader maps: every section but the discardable debug ones
    for at in range(pe + 24 + optional, pe + 24 + optional + 40 * count, 40):
        size, raw, flags = *struct.unpack_from("<II", data, at + 16), struct.unpack_from("<I", data, at + 36)[0]
        image += b"" if flags & 0x02000000 else data[raw:raw + size]
    entry = int(re.search(r"start address 0x([0-9a-f]+)", run(objdump, "-f", exe))[1], 16)

    entered_aligned = {}  # only ever entered from code that keeps the stack aligned

    def aligned_entry(address):
        if address not in entered_aligned:
            entered_aligned[address] = False  # a cycle proves nothing
            entered_aligned[address] = (address != entry and struct.pack("<I", address) not in image
                                        and all((is_call and functions[caller][2]) or aligned_entry(caller)
                                                for caller, is_call in functions[address][3]))
        return entered_aligned[address]

    failures = [f for a, f in functions.items() if f[1] and not f[2] and not aligned_entry(a)]
    for name, uses, _, _ in failures:
        print(f"FAIL: {name} breaks the rule: {RULE}\n  " + "\n  ".join(uses[:4]))
    print(f"{sum(1 for f in functions.values() if f[1])} functions use aligned SSE operands on the "
          f"stack; {len(failures)} break the rule")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
