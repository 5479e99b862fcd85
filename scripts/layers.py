#!/usr/bin/env python3
"""Checks that project includes run one way: a source file may include headers of its own
folder and of folders below it in LAYERS, never of a folder above it.  Prints each include that
runs upwards and exits with status 1 when there is one.  Run from anywhere:

    python3 scripts/layers.py

The list is the README's layout table from the bottom up; folders not built yet are listed so
that their place is fixed before they are written.  tests/, bench/ and fuzz/ follow the folder
they mirror.
"""
import os
import re
import subprocess
import sys

LAYERS = [
    "platform/os", "util", "tovu", "platform/gdi", "platform/gui", "platform/registry", "platform/dde",
    "platform/grid", "platform/ole",
    "platform/kernel", "platform/matlab", "kernel_link", "kernsrv", "update", "image", "typeset", "plot",
    "platform/gl3d", "platform/psdriver", "help", "options", "document/records", "document/styles",
    "document/export", "document/tree", "document/edit", "document/elements", "document/exec",
    "document/views", "app", "tools", "bridges",
]
# Folders beside the stack: each may include what is below its own place.
BESIDE = {"tools/arcman": "tools", "tools/srcmend": "tools", "tools/vetlin": "tools",
          "tools/console": "tools"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def layer_of(path):
    for prefix in ("tests/", "bench/", "fuzz/"):
        if path.startswith(prefix):
            path = path[len(prefix):]
    best = None
    for name in list(BESIDE) + LAYERS:
        if path == name or path.startswith(name + "/"):
            if best is None or len(name) > len(best):
                best = name
    if best in BESIDE:
        best = BESIDE[best]
    return LAYERS.index(best) if best in LAYERS else None


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    files = subprocess.check_output(["git", "ls-files", "*.h", "*.cpp", "*.y"], cwd=root, text=True)
    bad = 0
    for path in files.split():
        own = layer_of(path)
        if own is None:
            continue
        with open(os.path.join(root, path), encoding="latin-1") as f:
            text = f.read()
        for header in INCLUDE.findall(text):
            if "/" not in header or header.startswith("tests/"):
                continue   # the file's own folder, or a shared test helper
            other = layer_of(header)
            if other is not None and other > own:
                print(f"{path}: includes {header} ({LAYERS[other]} is above {LAYERS[own]})")
                bad += 1
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
