#!/usr/bin/env python3
"""Builds the Debian package, unpacks it into a temporary root with dpkg -x,
checks that it holds the documentation and the editor files, and runs a
script with the unpacked executable (the audio module must be found beside it
too). Exits 77 (skipped) when dpkg-deb is not installed.

Usage: package_test.py CPACK BUILD_DIR
"""
import glob
import os
import shutil
import subprocess
import sys
import tempfile

SKIP = 77

SCRIPT = """\
use, "crypto"
crypto:sha1sum, "abc"
print, returned
use, "fs"
fs:open, "note.txt", 1
fs:write, returned, "written by the packaged interpreter\\n"
use, "os"
os:execute, "cat note.txt"
printc, returned
use, "bass"
bass:test, 0
print, returned
print, arg
"""

EXPECTED = """\
a9993e364706816aba3e25717850c26c9cd0d89d
written by the packaged interpreter
No sound
from the package
"""

FILES = [
    "usr/bin/zarnith",
    "usr/lib/zarnith/zarnith-audio.so",
    "usr/share/man/man1/zarnith.1",
    "usr/share/doc/zarnith/language.md",
    "usr/share/doc/zarnith/examples/tour.zn",
    "usr/share/doc/zarnith/examples/chime.wav",
    "usr/share/zarnith/editors/vscode/package.json",
    "usr/share/zarnith/editors/vscode/syntaxes/zarnith.tmLanguage.json",
    "usr/share/zarnith/editors/vim/syntax/zarnith.vim",
    "usr/share/vim/vimfiles/ftdetect/zarnith.vim",
]


def main():
    cpack, build = sys.argv[1], os.path.abspath(sys.argv[2])
    if shutil.which("dpkg-deb") is None:
        print("dpkg-deb is not installed; skipping")
        return SKIP
    with tempfile.TemporaryDirectory(prefix="zn-package-") as tmp:
        out = os.path.join(tmp, "out")
        subprocess.run([cpack, "-G", "DEB", "-B", out], cwd=build, check=True,
                       stdout=subprocess.DEVNULL)
        debs = glob.glob(os.path.join(out, "*.deb"))
        assert len(debs) == 1, debs
        fields = subprocess.run(["dpkg-deb", "-f", debs[0], "Package", "Version"],
                                stdout=subprocess.PIPE, text=True, check=True).stdout
        assert fields == "Package: zarnith\nVersion: 0.1.2.5\n", fields

        root = os.path.join(tmp, "root")
        subprocess.run(["dpkg-deb", "-x", debs[0], root], check=True)
        missing = [f for f in FILES if not os.path.isfile(os.path.join(root, f))]
        assert not missing, "missing from the package: %s" % missing

        work = os.path.join(tmp, "work")
        os.mkdir(work)
        with open(os.path.join(work, "check.zn"), "w") as f:
            f.write(SCRIPT)
        proc = subprocess.run([os.path.join(root, "usr/bin/zarnith"), "check.zn", "from",
                               "the", "package"], cwd=work, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, text=True, timeout=60)
        assert proc.stdout == EXPECTED and proc.returncode == 0 and not proc.stderr, \
            "status %d\n--- stdout\n%s--- stderr\n%s" % (proc.returncode, proc.stdout, proc.stderr)
    print("package: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
