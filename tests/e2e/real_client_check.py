#!/usr/bin/env python3
"""A real client reads the UTF-8 form as meant: lists a tree with /E:UTF8
through show_run under the tree's Wine, and for every line Python's own URL
handling must give back the path of one file of the tree, each file once.

    real_client_check.py EMULATOR SHOW_RUN PROGRAM WORK_FOLDER
"""
import os
import shutil
import subprocess
import sys
import tempfile
import urllib.parse

# Composed and decomposed, outside the code page, and the ASCII characters a
# URL gives a meaning to that a Windows name may hold.
NAMES = ["日本 語+.txt", "한국.txt", "café.txt", "cafe\u0301.txt", "😀 100%.txt", "ü¥/简体 表.csv",
         "a#b;c=d&e@f$g,h[i]j{k}l`m^n'o(p)~!.txt", "資料/写真/Photo 01.JPG"]


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def main(emulator, show_run, program, work_folder):
    os.makedirs(work_folder, exist_ok=True)
    work = tempfile.mkdtemp(dir=work_folder)
    tree = os.path.join(work, "ツリー tree")
    for name in NAMES:
        os.makedirs(os.path.dirname(os.path.join(tree, name)), exist_ok=True)
        with open(os.path.join(tree, name), "wb") as file:
            file.write(name.encode())
    line = f'"{windows_path(program)}" /E:UTF8 /O "{windows_path(tree)}"'
    with open(os.path.join(work, "line.txt"), "wb") as file:
        file.write(line.encode("utf-16-le"))
    paths = [windows_path(path) for path in (program, work + "/line.txt", work)]
    subprocess.run([emulator, show_run] + paths, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    with open(os.path.join(work, "clipboard.txt"), "rb") as file:
        lines = file.read().decode("cp932").split("\r\n")[1:-1]
    listed = sorted(urllib.parse.unquote(urllib.parse.urlsplit(line.split("\t")[0]).path,
                                         errors="strict") for line in lines if line.isascii())
    files = sorted("/files/" + os.path.relpath(os.path.join(top, name), work).replace(os.sep, "/")
                   for top, _, names in os.walk(tree) for name in names)
    if len(listed) != len(lines) or listed != files:
        sys.exit(f"listed:\n{listed}\nfiles:\n{files}\nclipboard:\n{lines}")
    shutil.rmtree(work)


if __name__ == "__main__":
    main(*sys.argv[1:])
