#!/usr/bin/env python3
"""zarnith-check's command line: exit statuses, -, --werror, --format=json,
--help, --version, unreadable files, too little memory, a full disk.

Usage: cli_test.py ZARNITH_CHECK
"""
import json
import os
import resource
import subprocess
import sys
import tempfile


def run(exe, args, stdin=b"", stdout=subprocess.PIPE, env=None, limit=None):
    r = subprocess.run([exe] + args, input=stdin, stdout=stdout, stderr=subprocess.PIPE,
                       timeout=60, env=env, preexec_fn=limit)
    return r.returncode, (r.stdout or b"").decode(), r.stderr.decode()


def with_little_memory(exe):
    """The environment and limit under which allocations past 1 GB fail.

    AddressSanitizer needs terabytes of address space, so a sanitized build
    is given a largest allocation instead."""
    with open(exe, "rb") as f:
        sanitized = b"__asan_init" in f.read()
    if sanitized:
        options = os.environ.get("ASAN_OPTIONS", "")
        env = dict(os.environ, ASAN_OPTIONS=options + ":allocator_may_return_null=1:"
                   "max_allocation_size_mb=256")
        return env, None
    gigabyte = 1 << 30
    return None, lambda: resource.setrlimit(resource.RLIMIT_AS, (gigabyte, gigabyte))


def main():
    exe = sys.argv[1]
    failures = []

    def expect(what, got, wanted):
        if got != wanted:
            failures.append("%s: got %r, wanted %r" % (what, got, wanted))

    warning_only = b'print "x"\n'
    with_error = b"jump, 0\n"
    with tempfile.TemporaryDirectory() as d:
        clean = os.path.join(d, "clean.zn")
        with open(clean, "wb") as f:
            f.write(b'print, "x"\n')
        expect("clean file", run(exe, [clean]), (0, "", ""))
        expect("warning from stdin", run(exe, ["-"], warning_only),
               (0, "<stdin>:1:1: warning: line matches no statement and does nothing: "
                   "a comma is missing after 'print' [no-statement]\n", ""))
        status, out, _ = run(exe, ["--werror", "-"], warning_only)
        expect("--werror", (status, out.split(": ")[1]), (1, "error"))
        expect("error status", run(exe, ["-"], with_error)[0], 1)
        status, out, _ = run(exe, ["--format=json", "-"], with_error)
        expect("json status", status, 1)
        expect("json", json.loads(out), [
            {"file": "<stdin>", "line": 1, "column": 7, "severity": "error",
             "message": "jump target 0 is at or below 0: lines count from 1", "code": "jump-target"}])
        # Bytes that are not UTF-8 still give valid JSON.
        status, out, _ = run(exe, ["--format=json", "-"], b"\xff\xfe x\n")
        expect("json of bytes", (status, json.loads(out)[0]["code"]), (0, "no-statement"))
        expect("empty json", run(exe, ["--format=json", clean])[:2], (0, "[]\n"))
        # A missing file and a directory: status 2, the other files still checked.
        missing = os.path.join(d, "missing.zn")
        status, out, err = run(exe, [missing, d, "-"], with_error)
        expect("unreadable", (status, out.count("jump-target"), err), (2, 1,
               "zarnith-check: cannot read %s: no such file or directory\n"
               "zarnith-check: cannot read %s: is a directory\n" % (missing, d)))
        # A full disk is a failure, not a clean script.
        with open("/dev/full", "wb") as full:
            expect("full disk", run(exe, ["-"], warning_only, stdout=full), (2, "",
                   "zarnith-check: cannot write standard output: no space left on device\n"))
    # Endless input runs out of memory: reported, and the other files checked.
    env, limit = with_little_memory(exe)
    status, out, err = run(exe, ["/dev/zero", "-"], with_error, env=env, limit=limit)
    # AddressSanitizer says so itself when an allocation fails.
    err = "".join(line for line in err.splitlines(True) if not line.startswith("=="))
    expect("out of memory", (status, out.count("jump-target"), err),
           (2, 1, "zarnith-check: cannot read /dev/zero: cannot allocate memory\n"))
    expect("no file", run(exe, [])[0], 2)
    expect("unknown option", run(exe, ["--frobnicate", "x"])[0], 2)
    status, out, _ = run(exe, ["--help"])
    expect("help", (status, out.startswith("Usage: zarnith-check")), (0, True))
    expect("version", run(exe, ["--version"]), (0, "zarnith-check 0.1.2.5\n", ""))
    for f in failures:
        print(f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
