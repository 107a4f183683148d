#!/usr/bin/env python3
"""zarnith-trace on a loop with a skipped branch and jumps: the trace file
reads as loop.trace (conditions with their values), standard output and exit
status stay those of the script, --profile counts each line's runs and no
skipped visit. A trace file that cannot take the trace (a full device) gives
status 2; a FIFO without a reader is waited for, after saying so.

Usage: trace_test.py ZARNITH_TRACE
"""
import os
import select
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


def trace_file_lost(exe, script, env):
    """A trace that cannot be written is a failure (status 2); the script's
    own output is not touched."""
    r = subprocess.run([exe, script], env=dict(env, ZARNITH_TRACE_FILE="/dev/full"),
                       capture_output=True, timeout=60)
    if (r.returncode, r.stdout, r.stderr) != \
            (2, b"two\n", b"zarnith-trace: cannot write the trace to /dev/full\n"):
        return ["/dev/full: %r" % ((r.returncode, r.stdout, r.stderr),)]
    return []


def trace_fifo(exe, script, expected, env):
    """A FIFO without a reader: the trace says that it waits, then writes the
    trace once a reader comes."""
    with tempfile.TemporaryDirectory() as d:
        fifo = os.path.join(d, "trace.fifo")
        os.mkfifo(fifo)
        proc = subprocess.Popen([exe, script], env=dict(env, ZARNITH_TRACE_FILE=fifo),
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        # Only a trace that waits without a word gets near this limit.
        if not select.select([proc.stderr], [], [], 60)[0]:
            proc.kill()
            proc.wait()
            return ["FIFO without a reader: waits without a word"]
        said = proc.stderr.readline()
        with open(fifo) as f:
            got = f.read()
        out = proc.stdout.read()
        proc.wait(timeout=60)
    want = ("zarnith-trace: waiting for a reader of %s\n" % fifo).encode()
    if (said, got, out, proc.returncode) != (want, expected, b"two\n", 4):
        return ["FIFO without a reader: %r" % ((said, got[:200], out, proc.returncode),)]
    return []


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
    # Lines 5 and 8 are visited three times and run once each.
    if (r.returncode, r.stdout) != (4, b"two\n") or rows.get(3) != 3 or rows.get(14) != 1 \
            or rows.get(5) != 1 or rows.get(8) != 1 or 11 in rows or 1 in rows:
        failures.append("profile: %r %r" % (r.returncode, r.stderr))
    r = subprocess.run([exe], capture_output=True, timeout=60)
    if r.returncode != 2:
        failures.append("no script: status %d" % r.returncode)
    failures += script_writes_to_trace_file(exe, env)
    failures += trace_file_lost(exe, script, env)
    failures += trace_fifo(exe, script, expected, env)
    for f in failures:
        print(f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
