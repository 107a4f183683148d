#!/usr/bin/env python3
"""Signals, which a golden script cannot arrange: the interpreter started
with SIGCHLD ignored still sees how a program ended; SIGINT, SIGTERM or SIGHUP
sent to the interpreter alone while a program runs ends that program too,
then the interpreter by the same signal; the same signals write out what a
script printed before they end it, and end it even while its output waits
for a reader. The test adopts orphans (a child subreaper), so it can wait for
the program itself. Nothing here waits for a time: each step waits for the
process or the file it needs.

Usage: signals_test.py PATH-TO-ZARNITH
"""
import ctypes
import os
import signal
import subprocess
import sys
import tempfile
import time

from checklist import check, status

PR_SET_CHILD_SUBREAPER = 36


def default_signals():
    for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGCHLD):
        signal.signal(sig, signal.SIG_DFL)


def sigchld_ignored(exe, tmp):
    with open(os.path.join(tmp, "false.zn"), "w") as f:
        f.write('use, "os"\nos:execute, "false"\nprint, returned\nos:execute, "echo ok"\n'
                'printc, returned\n')

    def ignore_sigchld():
        signal.signal(signal.SIGCHLD, signal.SIG_IGN)

    proc = subprocess.run([exe, "false.zn"], cwd=tmp, stdout=subprocess.PIPE,
                          preexec_fn=ignore_sigchld)
    check("SIGCHLD ignored by the parent", proc.stdout.decode(),
          "error: 2: Unable to start false: exit status 1\nnil\nok\n")


def signal_reaches_program(exe, tmp, sig):
    # The program announces its pid through a FIFO, then sleeps long enough
    # that only the passed-on signal can end it before the test does.
    ready = os.path.join(tmp, "ready.fifo")
    os.mkfifo(ready)
    with open(os.path.join(tmp, "child.sh"), "w") as f:
        f.write("#!/bin/sh\necho $$ > ready.fifo\nexec sleep 20\n")
    os.chmod(os.path.join(tmp, "child.sh"), 0o755)
    with open(os.path.join(tmp, "wait.zn"), "w") as f:
        f.write('use, "os"\nos:execute, "./child.sh"\nprint, "not reached"\n')
    proc = subprocess.Popen([exe, "wait.zn"], cwd=tmp, stdout=subprocess.PIPE,
                            preexec_fn=default_signals)
    with open(ready) as f:
        child = int(f.read())
    os.unlink(ready)
    proc.send_signal(sig)
    out = proc.stdout.read()
    proc.wait()
    # The interpreter has ended, so the program is ours now: wait for it.
    _, status = os.waitpid(child, 0)
    ended_by = os.WTERMSIG(status) if os.WIFSIGNALED(status) else None
    name = signal.Signals(sig).name
    check(name + " to the interpreter", (proc.returncode, out), (-sig, b""))
    check(name + " passed on to the program", ended_by, sig)


def wait_for_path(path):
    """Waits until the script has made `path` (a directory it makes when ready)."""
    while not os.path.exists(path):
        time.sleep(0.01)


def output_kept_on_signal(exe, tmp, sig):
    # More than the output buffer holds: part has gone out, the rest waits in
    # the buffer while the script runs a loop without end, and must not be
    # lost when the signal ends it.
    ready = os.path.join(tmp, "ready")
    with open(os.path.join(tmp, "busy.zn"), "w") as f:
        f.write('use, "fs"\nline = "%s"\n' % ("x" * 30000) + "print, line\n" * 3 +
                'fs:makedir, "ready"\ni = 0\ni = i+1\njump, 8\n')
    with tempfile.TemporaryFile() as out:
        proc = subprocess.Popen([exe, "busy.zn"], cwd=tmp, stdout=out, preexec_fn=default_signals)
        wait_for_path(ready)
        proc.send_signal(sig)
        proc.wait()
        out.seek(0)
        got = out.read()
    os.rmdir(ready)
    name = signal.Signals(sig).name
    printed = (b"x" * 30000 + b"\n") * 3
    check(name + " writes out what was printed", (proc.returncode, len(got), got == printed),
          (-sig, len(printed), True))


def signal_while_output_waits(exe, tmp):
    # Standard output is a pipe nobody reads: the script waits in a write, and
    # SIGTERM still ends it there.
    with open(os.path.join(tmp, "flood.zn"), "w") as f:
        f.write('print, "a line that fills the pipe"\njump, 1\n')
    proc = subprocess.Popen([exe, "flood.zn"], cwd=tmp, stdout=subprocess.PIPE,
                            preexec_fn=default_signals)
    wait_until_asleep(proc.pid)
    proc.send_signal(signal.SIGTERM)
    proc.wait()
    proc.stdout.close()
    check("SIGTERM while the output waits", proc.returncode, -signal.SIGTERM)


def wait_until_asleep(pid):
    """Waits until the process sleeps in a system call (here: a full pipe)."""
    while True:
        with open("/proc/%d/stat" % pid) as f:
            if f.read().rsplit(")", 1)[1].split()[0] == "S":
                return
        time.sleep(0.01)


def main():
    exe = os.path.abspath(sys.argv[1])
    if ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0:
        print("cannot become a child subreaper")
        return 1
    with tempfile.TemporaryDirectory(prefix="zn-signals-") as tmp:
        sigchld_ignored(exe, tmp)
        for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            signal_reaches_program(exe, tmp, sig)
            output_kept_on_signal(exe, tmp, sig)
        signal_while_output_waits(exe, tmp)
    return status()


if __name__ == "__main__":
    sys.exit(main())
