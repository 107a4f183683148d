#!/usr/bin/env python3
"""Signals around os:execute, which a golden script cannot arrange: the
interpreter started with SIGCHLD ignored still sees how a program ended, and
SIGINT, SIGTERM or SIGHUP sent to the interpreter alone while a program runs
ends that program too, then the interpreter by the same signal. The test
adopts orphans (a child subreaper), so it can wait for the program itself.
Nothing here waits for a time: each step waits for the process it needs.

Usage: signals_test.py PATH-TO-ZARNITH
"""
import ctypes
import os
import signal
import subprocess
import sys
import tempfile

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


def main():
    exe = os.path.abspath(sys.argv[1])
    if ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0:
        print("cannot become a child subreaper")
        return 1
    with tempfile.TemporaryDirectory(prefix="zn-signals-") as tmp:
        sigchld_ignored(exe, tmp)
        for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            signal_reaches_program(exe, tmp, sig)
    return status()


if __name__ == "__main__":
    sys.exit(main())
