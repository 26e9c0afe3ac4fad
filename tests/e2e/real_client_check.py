#!/usr/bin/env python3
"""A real client reads the UTF-8 form as the program means it.

Lists a tree of names the code page spells and names it lacks with /E:UTF8,
through show_run under the tree's Wine, and checks every line with Python's
own URL handling: the path of the URL, unquoted as UTF-8, is the file's path
relative to the folder that holds the tree, and every file is listed once.

    real_client_check.py EMULATOR SHOW_RUN PROGRAM WORK_FOLDER
"""
import os
import shutil
import subprocess
import sys
import tempfile
import urllib.parse

# Decomposed and composed, outside the code page, and every ASCII character
# a URL gives a meaning to that a Windows name may hold.
NAMES = ["日本 語+.txt", "한국.txt", "café.txt", "cafe\u0301.txt", "😀 100%.txt",
         "a#b;c=d&e@f$g,h[i]j{k}l`m^n'o(p)~!.txt", "資料/写真/Photo 01.JPG", "ü¥/简体 表.csv"]
HEAD_PATH = "/files/"  # of the built-in URL head


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
    subprocess.run([emulator, show_run, windows_path(program), windows_path(work + "/line.txt"),
                    windows_path(work)], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=True)
    with open(os.path.join(work, "clipboard.txt"), "rb") as file:
        lines = file.read().decode("cp932").split("\r\n")

    listed = []
    for line in lines[1:-1]:
        url, size = line.split("\t")
        path = urllib.parse.urlsplit(url).path
        if not url.isascii() or not path.startswith(HEAD_PATH):
            sys.exit(f"not a URL of the list: {url}")
        listed.append((urllib.parse.unquote(path[len(HEAD_PATH):], errors="strict"), size))
    files = [(os.path.relpath(os.path.join(top, name), work).replace(os.sep, "/"),
              str(os.path.getsize(os.path.join(top, name))))
             for top, _, names in os.walk(tree) for name in names]
    if lines[0] != "URL\tサイズ" or sorted(listed) != sorted(files):
        sys.exit(f"listed:\n{sorted(listed)}\nfiles:\n{sorted(files)}\nclipboard:\n{lines}")
    shutil.rmtree(work)


if __name__ == "__main__":
    main(*sys.argv[1:])
