#!/usr/bin/env python3
"""zarnith-check raises no error on working code.

Every script of the examples folder, and every script example of the language
guide that works (exit status 0 and no "error: " line in its output), must
check with exit status 0. Warnings are allowed: the guide also shows traps
that run without an error.

Usage: clean_check.py ZARNITH_CHECK EXAMPLES_DIR GUIDE.md
"""
import glob
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "guide"))
import guide_examples  # noqa: E402


def check(exe, name, text):
    r = subprocess.run([exe, "-"], input=text.encode(), capture_output=True, timeout=30)
    if r.returncode != 0:
        print("%s: zarnith-check exited %d\n%s" % (name, r.returncode, r.stdout.decode(errors="replace")))
        return False
    return True


def main():
    exe, examples_dir, guide = sys.argv[1:4]
    ok = True
    for path in sorted(glob.glob(os.path.join(examples_dir, "*.zn"))):
        with open(path, encoding="utf-8", errors="surrogateescape") as f:
            ok = check(exe, path, f.read()) and ok
    with open(guide, encoding="utf-8") as f:
        examples, _ = guide_examples.parse(f.read())
    count = 0
    for example in examples:
        if example.kind != "zarnith" or example.exit != 0 or example.output is None:
            continue
        if "error: " in example.output:
            continue
        count += 1
        text = example.line_end.join(example.body.split("\n"))
        ok = check(exe, "%s:%d" % (guide, example.line), text) and ok
    print("checked %d guide examples" % count)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
