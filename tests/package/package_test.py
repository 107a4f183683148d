#!/usr/bin/env python3
"""Builds the two Debian packages (zarnith and zarnith-audio), checks their
control fields and Debian's conventions (lintian finds no error, the man page
is compressed, the copyright file is machine-readable and follows LICENSE, no
ldconfig calls for the private module, and every path the man page names is
in a package), unpacks both into a temporary root with dpkg -x and runs a
script with the unpacked executable (the audio module must be found too).
Exits 77 (skipped) when dpkg-deb is not installed.

Usage: package_test.py CPACK BUILD_DIR VERSION
"""
import glob
import gzip
import os
import re
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

MAINTAINER = "Zarnith developers <zarnith@example.org>"

FILES = [
    "usr/bin/zarnith",
    "usr/bin/zarnith-check",
    "usr/bin/zarnith-trace",
    "usr/bin/zarnith-lsp",
    "usr/bin/zarnith-dap",
    "usr/share/man/man1/zarnith-check.1.gz",
    "usr/share/man/man1/zarnith-trace.1.gz",
    "usr/share/man/man1/zarnith-lsp.1.gz",
    "usr/share/man/man1/zarnith-dap.1.gz",
    "usr/share/vim/vimfiles/compiler/zarnith.vim",
    "usr/lib/zarnith/zarnith-audio.so",
    "usr/share/man/man1/zarnith.1.gz",
    "usr/share/doc/zarnith/copyright",
    "usr/share/doc/zarnith-audio/copyright",
    "usr/share/doc/zarnith/language.md",
    "usr/share/doc/zarnith/examples/tour.zn",
    "usr/share/doc/zarnith/examples/chime.wav",
    "usr/share/zarnith/editors/vscode/package.json",
    "usr/share/zarnith/editors/vscode/syntaxes/zarnith.tmLanguage.json",
    "usr/share/zarnith/editors/vim/syntax/zarnith.vim",
    "usr/share/vim/vimfiles/ftdetect/zarnith.vim",
]


def control(deb):
    """The control fields of a package, continuation lines kept."""
    text = subprocess.run(["dpkg-deb", "-f", deb], stdout=subprocess.PIPE, text=True,
                          check=True).stdout
    fields = {}
    for line in text.splitlines():
        if line.startswith(" "):
            fields[name] += "\n" + line
        else:
            name, _, value = line.partition(": ")
            fields[name] = value
    return fields


def check_fields(debs, version):
    main, audio = control(debs["zarnith"]), control(debs["zarnith-audio"])
    for fields in main, audio:
        assert fields["Version"] == version, fields
        assert fields["Maintainer"] == MAINTAINER, fields["Maintainer"]
        # Continuation lines: one space, then text (or "." for a blank line).
        for line in fields["Description"].split("\n")[1:]:
            assert re.match(r"^ (\S|\.$)", line), "description line %r" % line
    assert not re.search(r"gstreamer|glib", main["Depends"], re.I), main["Depends"]
    assert "zarnith-audio" in main["Recommends"], main.get("Recommends")
    assert "libgstreamer1.0-0" in audio["Depends"], audio["Depends"]
    assert "zarnith (= %s)" % version in audio["Depends"], audio["Depends"]
    for deb in debs.values():
        members = subprocess.run(["dpkg-deb", "--ctrl-tarfile", deb], stdout=subprocess.PIPE,
                                 check=True).stdout
        names = subprocess.run(["tar", "-t"], input=members, stdout=subprocess.PIPE,
                               check=True).stdout.decode()
        assert "postinst" not in names and "postrm" not in names, (deb, names)


def check_lintian(debs):
    if shutil.which("lintian") is None:
        raise AssertionError("lintian is not installed (make test installs it)")
    proc = subprocess.run(["lintian", "--no-tag-display-limit"] + sorted(debs.values()),
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    errors = [l for l in proc.stdout.splitlines() if l.startswith(("E:", "W:"))]
    assert not errors, "lintian:\n" + "\n".join(errors)


def check_documents(source, root):
    with open(os.path.join(source, "LICENSE")) as f:
        license_text = f.read()
    for package in "zarnith", "zarnith-audio":
        with open(os.path.join(root, "usr/share/doc", package, "copyright")) as f:
            copyright_text = f.read()
        assert copyright_text.startswith(
            "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n")
        holder = re.search(r"Copyright \(c\) (.*)", license_text).group(1)
        assert "\nCopyright: %s\n" % holder in copyright_text, copyright_text
        terms = license_text[license_text.index("Permission is hereby granted"):].split()
        assert " ".join(terms) in " ".join(copyright_text.replace("\n .\n", "\n").split()), \
            "the copyright file does not hold the terms of LICENSE"
    with gzip.open(os.path.join(root, "usr/share/man/man1/zarnith.1.gz"), "rt") as f:
        man = f.read()
    # The paths of Zarnith's own files (not /usr/bin/env, not the prefix).
    named = {p for p in re.findall(r"(/usr/[\w./\\-]+\w/?)", man)
             if "zarnith" in p or "vimfiles" in p}
    assert len(named) >= 4, "the man page names only %s" % named
    for path in named:
        path = path.replace("\\-", "-")
        assert os.path.exists(os.path.join(root, path.lstrip("/"))), \
            "the man page names %s, which no package installs" % path


def main():
    cpack, build, version = sys.argv[1], os.path.abspath(sys.argv[2]), sys.argv[3]
    source = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    if shutil.which("dpkg-deb") is None:
        print("dpkg-deb is not installed; skipping")
        return SKIP
    with tempfile.TemporaryDirectory(prefix="zn-package-") as tmp:
        out = os.path.join(tmp, "out")
        subprocess.run([cpack, "-G", "DEB", "-B", out], cwd=build, check=True,
                       stdout=subprocess.DEVNULL)
        debs = {os.path.basename(d).split("_")[0]: d for d in glob.glob(os.path.join(out, "*.deb"))}
        assert sorted(debs) == ["zarnith", "zarnith-audio"], debs
        check_fields(debs, version)
        check_lintian(debs)

        root = os.path.join(tmp, "root")
        for deb in debs.values():
            subprocess.run(["dpkg-deb", "-x", deb, root], check=True)
        missing = [f for f in FILES if not os.path.isfile(os.path.join(root, f))]
        assert not missing, "missing from the packages: %s" % missing
        check_documents(source, root)

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
