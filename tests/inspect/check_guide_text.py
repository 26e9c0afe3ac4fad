#!/usr/bin/env python3
"""The guide as the zip carries it (README-ja.txt), made from the Markdown
source the way scripts/release.sh makes it, read as Notepad shows it: no
line wider than 80 columns (a character a Japanese font draws wide, East
Asian wide, full-width or ambiguous, counts two), no Markdown mark left,
every character a Shift_JIS one, and every example command still there.

  check_guide_text.py GUIDE.md CONVERTER
"""
import re
import subprocess
import sys
import unicodedata

MARKS = [("**", "bold mark"), ("`", "backtick"), ("](", "link"), ("\t", "tab")]


def columns(line):
    return sum(2 if unicodedata.east_asian_width(c) in "WFA" else 1 for c in line)


def main():
    guide, converter = sys.argv[1:]
    text = subprocess.run([sys.executable, converter, guide, "0.0.0"], check=True,
                          capture_output=True).stdout.decode("utf-8")
    faults = []
    for number, line in enumerate(text.split("\n"), 1):
        if columns(line) > 80:
            faults.append(f"{number}: {columns(line)} columns: {line}")
        faults += [f"{number}: {name}: {line}" for mark, name in MARKS if mark in line]
        if re.match(r"\s*(#|\|)", line):
            faults.append(f"{number}: heading or table mark: {line}")
    try:
        text.encode("cp932")
    except UnicodeEncodeError as error:
        faults.append(f"not Shift_JIS: {error}")
    source = open(guide, encoding="utf-8").read()
    for command in re.findall(r"```bat qv-example\n(.*)\n", source):
        if "C:\\作業> " + command not in text:
            faults.append(f"example lost: {command}")
    for fault in faults:
        print(fault)
    print(f"{len(text.splitlines())} lines, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
