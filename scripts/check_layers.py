#!/usr/bin/env python3
"""Fails when a source file includes a header of a layer above its own.

The folders of src/ form a stack, from the bottom: state/, values/,
classes/, core/. A file may include headers of its own layer and of the
layers below it, never of one above; tools/ and playground/ sit on top and
may include anything of src/.

Usage: check_layers.py [ROOT]   (ROOT defaults to the project folder)
"""
import os
import re
import sys

LAYERS = ["state", "values", "classes", "core"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]*"', re.MULTILINE)


def layer_of(path):
    top = path.split("/", 1)[0]
    return LAYERS.index(top) if top in LAYERS else None


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.dirname(
        os.path.abspath(__file__)))
    src = os.path.join(root, "src")
    if not os.path.isdir(src):
        print("no src/ folder in %s" % root)
        return 1
    wrong = []
    for folder, _, files in os.walk(src):
        for name in sorted(files):
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.join(folder, name)
            own = layer_of(os.path.relpath(path, src))
            if own is None:
                continue
            with open(path, encoding="utf-8", errors="replace") as f:
                text = f.read()
            for target in INCLUDE.findall(text):
                theirs = LAYERS.index(target) if target in LAYERS else None
                if theirs is not None and theirs > own:
                    wrong.append("%s includes %s/, a layer above %s/" % (
                        os.path.relpath(path, root), target, LAYERS[own]))
    for line in wrong:
        print(line)
    print("%d includes run back up" % len(wrong) if wrong else "the includes form a stack")
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
