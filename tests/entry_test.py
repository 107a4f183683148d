#!/usr/bin/env python3
"""Command lines that a golden script cannot express (it always passes its own
path first): a first argument beginning with "-", a missing script, a
directory, an empty path. Each case checks the exact output and the status:
a script that cannot be read is a failure (status 1), so `zarnith s.zn &&
next` stops.

Usage: entry_test.py PATH-TO-ZARNITH
"""
import os
import subprocess
import sys
import tempfile


def main():
    exe = os.path.abspath(sys.argv[1])
    failures = 0
    with tempfile.TemporaryDirectory(prefix="zn-entry-") as tmp:
        script = os.path.join(tmp, "s.zn")
        with open(script, "w") as f:
            f.write('print, "ran"\n')
        missing = os.path.join(tmp, "missing.zn")
        cases = [
            # argv after the program name, expected stdout, expected status
            (["-"], b"", 0),
            (["-x", script], b"", 0),
            (["--", script], b"", 0),
            ([missing, "a"], b"Error: open " + missing.encode() + b": no such file or directory\n", 1),
            ([tmp], b"Error: read " + tmp.encode() + b": is a directory\n", 1),
            ([""], b"Error: open : no such file or directory\n", 1),
            ([script, "-"], b"ran\n", 0),
        ]
        # A script on standard input, named by /dev/stdin.
        cases.append((["/dev/stdin", "x"], b"x\n\n", 0, b'print, arg\nreadline\nprint, returned\n'))
        for args, want_out, want_status, *stdin in cases:
            proc = subprocess.run([exe] + args, input=stdin[0] if stdin else b"", stdout=subprocess.PIPE,
                                  stderr=subprocess.PIPE, cwd=tmp, timeout=60)
            if (proc.stdout, proc.returncode, proc.stderr) != (want_out, want_status, b""):
                failures += 1
                print("zarnith %r:\n  expected %r, status %d\n  actual   %r, status %d, stderr %r"
                      % (args, want_out, want_status, proc.stdout, proc.returncode, proc.stderr))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
