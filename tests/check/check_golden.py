#!/usr/bin/env python3
"""Runs zarnith-check on one script and compares its diagnostics.

Each diagnostic that is expected stands as a comment under the line it is
about (the nearest line above that is not itself an EXPECT comment), written
as zarnith-check prints it after FILE:LINE:, with the column spelt out:

    jump, 0
    # EXPECT: col 7: error: jump target 0 is at or below 0: lines count from 1 [jump-target]

A diagnostic about some other line, such as the note that shows the line a
jump lands on, names that line and follows the diagnostic it belongs to:

    # EXPECT: line 6 col 1: note: line 6 is: if i < 3

The diagnostics must come in the order of the comments, and no others. The
exit status must be 1 when an error is expected and 0 otherwise.

Usage: check_golden.py ZARNITH_CHECK SCRIPT [OPTION...]
"""
import re
import subprocess
import sys

PREFIX = "# EXPECT:"
FORM = re.compile(r"(?:line (\d+) )?col (\d+): (\S+: .*)$")


def expectations(text):
    """The expected diagnostics as zarnith-check prints them, less the file."""
    expected = []
    about = None  # the 1-based number of the line the next comment is about
    for number, line in enumerate(text.split("\n"), start=1):
        line = line.rstrip("\r")
        if not line.startswith(PREFIX):
            about = number
            continue
        match = FORM.match(line[len(PREFIX):].strip())
        if not match:
            raise SystemExit("line %d: not 'col N: severity: message': %s" % (number, line))
        target, column, rest = match.groups()
        if target is None and about is None:
            raise SystemExit("line %d: an EXPECT comment with no line above it" % number)
        expected.append("%s:%s: %s" % (target or about, column, rest))
    return expected


def main():
    exe, script, options = sys.argv[1], sys.argv[2], sys.argv[3:]
    with open(script, "rb") as f:
        expected = expectations(f.read().decode("utf-8", errors="replace"))
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
