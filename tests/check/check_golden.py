#!/usr/bin/env python3
"""Runs zarnith-check on one script and compares its diagnostics.

The script's own comment lines hold what is expected, one diagnostic each,
without the file name:  # EXPECT: LINE:COLUMN: severity: message [code]
The exit status must be 1 when an error is expected and 0 otherwise.

Usage: check_golden.py ZARNITH_CHECK SCRIPT [OPTION...]
"""
import subprocess
import sys


def main():
    exe, script, options = sys.argv[1], sys.argv[2], sys.argv[3:]
    with open(script, "rb") as f:
        text = f.read().decode("utf-8", errors="replace")
    expected = [line.split("# EXPECT: ", 1)[1].rstrip("\r") for line in text.split("\n")
                if line.startswith("# EXPECT: ")]
    r = subprocess.run([exe] + options + [script], capture_output=True, timeout=30)
    prefix = script + ":"
    got = [line[len(prefix):] if line.startswith(prefix) else line
           for line in r.stdout.decode(errors="replace").splitlines()]
    status = 1 if any(": error: " in e for e in expected) else 0
    if got != expected or r.returncode != status:
        print("expected (exit %d):\n  %s" % (status, "\n  ".join(expected)))
        print("got (exit %d):\n  %s" % (r.returncode, "\n  ".join(got)))
        print(r.stderr.decode(errors="replace"))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
