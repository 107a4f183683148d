#!/usr/bin/env python3
"""zarnith-trace on a loop with a skipped branch and jumps: the trace file
reads as loop.trace, standard output and exit status stay those of the
script, --profile counts each line's runs.

Usage: trace_test.py ZARNITH_TRACE
"""
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def script_writes_to_trace_file(exe, env):
    """A script writing /dev/stderr while the trace goes to standard error, a
    file: the script's text stands between the trace lines, none overwritten."""
    with tempfile.TemporaryDirectory() as d:
        script = os.path.join(d, "err.zn")
        with open(script, "w") as f:
            f.write('use, "fs"\nfs:open, "/dev/stderr", 1\nfs:write, returned, "written\\n"\n')
        with open(os.path.join(d, "err.txt"), "w+") as err:
            subprocess.run([exe, script], env=env, stderr=err, timeout=60)
            err.seek(0)
            got = err.read()
    want = ('1: use, "fs"  [statement use]  returned int 1\n'
            '2: fs:open, "/dev/stderr", 1  [class call fs:open]\n'
            'written\n'
            '3: fs:write, returned, "written\\n"  [class call fs:write]  returned int 8\n')
    return [] if got == want else ["script writing the trace's file:\n" + got]


def main():
    exe = sys.argv[1]
    script = os.path.join(HERE, "loop.zn")
    failures = []
    with open(os.path.join(HERE, "loop.trace")) as f:
        expected = f.read()
    with tempfile.TemporaryDirectory() as d:
        path = os.path.join(d, "trace.txt")
        env = dict(os.environ, ZARNITH_TRACE_FILE=path)
        r = subprocess.run([exe, script], env=env, capture_output=True, timeout=60)
        with open(path) as f:
            got = f.read()
        if (r.returncode, r.stdout, r.stderr) != (4, b"two\n", b""):
            failures.append("run: %r" % ((r.returncode, r.stdout, r.stderr),))
        if got != expected:
            failures.append("trace:\n" + got)
    # Without the variable the trace goes to standard error.
    env = {k: v for k, v in os.environ.items() if k != "ZARNITH_TRACE_FILE"}
    r = subprocess.run([exe, script], env=env, capture_output=True, timeout=60)
    if r.stderr.decode() != expected:
        failures.append("stderr:\n" + r.stderr.decode())
    r = subprocess.run([exe, "--profile", script], env=env, capture_output=True, timeout=60)
    rows = {}
    for line in r.stderr.decode().splitlines()[1:]:
        number, count = line.split()[:2]
        rows[int(number)] = int(count)
    if (r.returncode, r.stdout) != (4, b"two\n") or rows.get(3) != 3 or rows.get(14) != 1 \
            or 11 in rows or 1 in rows:
        failures.append("profile: %r %r" % (r.returncode, r.stderr))
    r = subprocess.run([exe], capture_output=True, timeout=60)
    if r.returncode != 2:
        failures.append("no script: status %d" % r.returncode)
    failures += script_writes_to_trace_file(exe, env)
    for f in failures:
        print(f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
