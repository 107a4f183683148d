#!/usr/bin/env python3
"""The version is written once, in CMakeLists.txt; the man pages, the guide's
banner and the README's package names must say the same.

Usage: versions_test.py SOURCE_DIR VERSION RELEASE_DATE
"""
import glob
import os
import re
import sys


def main():
    source, version, date = sys.argv[1:4]
    banner = "Zarnith %s (%s)" % (version, date)
    wrong = []
    for page in sorted(glob.glob(os.path.join(source, "docs", "*.1"))):
        with open(page) as f:
            text = f.read()
        header = text.splitlines()[0]
        if '"Zarnith %s"' % version not in header:
            wrong.append("%s: %s" % (os.path.basename(page), header))
        wrong += ["%s: %s" % (os.path.basename(page), b)
                  for b in re.findall(r"Zarnith \d[\d.]* \([\d.]+\)", text) if b != banner]
    for doc in ["README.md", "docs/language.md"]:
        with open(os.path.join(source, doc)) as f:
            text = f.read()
        wrong += ["%s: %s" % (doc, b) for b in re.findall(r"Zarnith \d[\d.]* \([\d.]+\)", text)
                  if b != banner]
        wrong += ["%s: %s" % (doc, d) for d in re.findall(r"zarnith(?:-audio)?_([\d.]+)_", text)
                  if d != version]
    assert not wrong, "not version %s:\n%s" % (version, "\n".join(wrong))
    print("versions: all say", version)
    return 0


if __name__ == "__main__":
    sys.exit(main())
