#!/usr/bin/env python3
"""Checks the 32-bit program's code against the rule of 32-bit Windows
stacks:

  RULE: the system enters a thread, a window procedure or a callback with a
  stack aligned to 4 bytes only. A function that keeps SSE values in stack
  slots it reaches with an aligned SSE operand (movaps, movdqa, paddd,
  pshufd, ... on (%esp) or (%ebp)) must realign the stack itself
  (and $0xfffffff0,%esp), unless it is never called from a system entry:
  only ever called directly, and only by functions that realign or are
  themselves never called from a system entry.

A function whose address is anywhere in the loaded image (a thread start,
a window procedure, a function pointer) may be entered by the system, and
so may the image's entry point.

  check_stack_alignment.py OBJDUMP EXE

The EXE must carry its symbols (the test trees do not strip it).
"""
import re
import struct
import subprocess
import sys

RULE = ("a function that uses an aligned SSE operand on the stack realigns the "
        "stack (and $0xfffffff0,%esp) or is never called from a system entry")

# SSE instructions whose memory operand needs no 16-byte alignment: the
# unaligned moves, and those that read or write 64 bits or less.
UNALIGNED = {
    "movups", "movupd", "movdqu", "lddqu", "maskmovdqu",
    "movq", "movd", "movlps", "movhps", "movlpd", "movhpd", "movddup",
    "comiss", "comisd", "ucomiss", "ucomisd", "cvtps2pd", "cvtdq2pd", "cvtpi2ps", "cvtpi2pd",
    "insertps", "extractps",
}
UNALIGNED_PREFIXES = ("pinsr", "pextr", "pmovzx", "pmovsx", "cvtsi2", "cvtss2", "cvtsd2",
                      "cvttss2", "cvttsd2")

FUNCTION = re.compile(r"^([0-9a-f]+) <(.+)>:$")
INSTRUCTION = re.compile(r"^\s+([0-9a-f]+):\s+(\S+)\s*(.*)$")
DIRECT = re.compile(r"^([0-9a-f]+) <")
REALIGN = re.compile(r"\$0xffffff[0-9a-f]0,%esp$")


def needs_alignment(mnemonic, operands):
    """An SSE instruction with a 16-byte memory operand relative to the stack."""
    if "%xmm" not in operands or not re.search(r"\((%esp|%ebp)", operands):
        return False
    if mnemonic.startswith("v"):  # VEX forms take unaligned operands, but for these
        return mnemonic.startswith(("vmovaps", "vmovapd", "vmovdqa", "vmovnt"))
    if mnemonic in UNALIGNED or mnemonic.startswith(UNALIGNED_PREFIXES):
        return False
    # Scalar forms (addss, movsd, ...) touch 32 or 64 bits; pminsd and the
    # like are packed.
    return mnemonic.startswith("p") or not re.search(r"s[sd]l?$", mnemonic)


def disassemble(objdump, exe):
    text = subprocess.run([objdump, "-d", "--no-show-raw-insn", exe], check=True,
                          capture_output=True, text=True, env={"LC_ALL": "C"}).stdout
    functions = {}  # start address -> {name, aligned, realigns, calls, jumps}
    current = None
    for line in text.splitlines():
        header = FUNCTION.match(line)
        if header:
            current = {"name": header.group(2), "aligned": [], "realigns": False,
                       "calls": set(), "jumps": set()}
            functions[int(header.group(1), 16)] = current
            continue
        instruction = INSTRUCTION.match(line)
        if not instruction or current is None:
            continue
        mnemonic, operands = instruction.group(2), instruction.group(3)
        if needs_alignment(mnemonic, operands):
            current["aligned"].append(f"{instruction.group(1)}: {mnemonic} {operands}")
        if mnemonic == "and" and REALIGN.search(operands):
            current["realigns"] = True
        target = DIRECT.match(operands)
        if target and mnemonic.startswith(("call", "j")):
            (current["calls"] if mnemonic.startswith("call") else current["jumps"]).add(
                int(target.group(1), 16))
    return functions


def loaded_bytes(exe):
    """The image base and every section the loader maps (not the debug ones)."""
    data = open(exe, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    base = struct.unpack_from("<I", data, pe + 24 + 28)[0]
    loaded = []
    for i in range(count):
        at = pe + 24 + optional_size + 40 * i
        raw_size, raw, characteristics = (struct.unpack_from("<I", data, at + 16)[0],
                                          struct.unpack_from("<I", data, at + 20)[0],
                                          struct.unpack_from("<I", data, at + 36)[0])
        if not characteristics & 0x02000000:  # IMAGE_SCN_MEM_DISCARDABLE: debug data
            loaded.append(data[raw:raw + raw_size])
    return base, b"".join(loaded)


def entry_point(objdump, exe):
    header = subprocess.run([objdump, "-f", exe], check=True, capture_output=True, text=True,
                            env={"LC_ALL": "C"}).stdout
    return int(re.search(r"start address 0x([0-9a-f]+)", header).group(1), 16)


def main():
    objdump, exe = sys.argv[1], sys.argv[2]
    functions = disassemble(objdump, exe)
    _, image = loaded_bytes(exe)
    entry = entry_point(objdump, exe)
    callers = {address: [] for address in functions}
    for address, function in functions.items():
        for kind in ("calls", "jumps"):
            for target in function[kind]:
                if target in callers and target != address:
                    callers[target].append((address, kind))

    def system_may_enter(address):
        return address == entry or struct.pack("<I", address) in image

    entered_aligned_memo = {}

    def entered_aligned(address):
        """Only ever entered with the 16-byte alignment its callers keep."""
        if address in entered_aligned_memo:
            return entered_aligned_memo[address]
        entered_aligned_memo[address] = False  # a cycle proves nothing
        result = not system_may_enter(address) and all(
            (kind == "calls" and functions[caller]["realigns"]) or entered_aligned(caller)
            for caller, kind in callers[address])
        entered_aligned_memo[address] = result
        return result

    failures = 0
    checked = 0
    for address, function in sorted(functions.items()):
        if not function["aligned"]:
            continue
        checked += 1
        if function["realigns"]:
            print(f"ok: {function['name']} realigns its stack")
        elif entered_aligned(address):
            print(f"ok: {function['name']} is never called from a system entry")
        else:
            failures += 1
            print(f"FAIL: {function['name']} breaks the rule: {RULE}")
            for use in function["aligned"][:4]:
                print(f"        {use}")
    print(f"{checked} functions use aligned SSE operands on the stack; {failures} break the rule")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
