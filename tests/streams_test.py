#!/usr/bin/env python3
"""Standard streams that a golden script cannot set up: non-blocking pipes, a
FIFO as standard input whose writers come and go, standard output appending
to a file that the script writes too, and a FIFO that an fs:open waits on.
Every step waits for what the interpreter printed, never for a time.

Usage: streams_test.py PATH-TO-ZARNITH
"""
import fcntl
import os
import pty
import subprocess
import sys
import tempfile

from checklist import check, status

F_SETPIPE_SZ = 1031


def script(tmp, name, text):
    path = os.path.join(tmp, name)
    with open(path, "w") as f:
        f.write(text)
    return path


def nonblocking_pipe():
    r, w = os.pipe()
    for fd in (r, w):
        fcntl.fcntl(fd, fcntl.F_SETFL, fcntl.fcntl(fd, fcntl.F_GETFL) | os.O_NONBLOCK)
    return r, w


def read_all(fd):
    """Reads a non-blocking pipe to its end, waiting for data as it comes."""
    import select
    got = b""
    while True:
        select.select([fd], [], [])
        try:
            chunk = os.read(fd, 65536)
        except BlockingIOError:
            continue
        if not chunk:
            return got
        got += chunk


def wait_until_asleep(pid):
    """Waits until the process sleeps (in a system call) or has ended."""
    while True:
        try:
            with open("/proc/%d/stat" % pid) as f:
                state = f.read().rsplit(")", 1)[1].split()[0]
        except FileNotFoundError:
            return
        if state in ("S", "Z"):
            return
        os.sched_yield()


def read_line(stream):
    return stream.readline().decode()


def nonblocking_stdout(exe, tmp):
    # A 1.4 MB print into a small non-blocking pipe: each write that the pipe
    # cannot take at once waits instead of dropping the rest.
    path = script(tmp, "big.zn", 'x = "%s"\nprint, x\nprint, x\nexit, 4\n' % ("0123456789" * 70000))
    r, w = nonblocking_pipe()
    fcntl.fcntl(w, F_SETPIPE_SZ, 4096)
    proc = subprocess.Popen([exe, path], stdout=w, stderr=subprocess.PIPE)
    os.close(w)
    got = read_all(r)
    os.close(r)
    proc.wait()
    line = b"0123456789" * 70000 + b"\n"
    check("non-blocking standard output", (len(got), got == line * 2, proc.returncode),
          (len(line) * 2, True, 4))


def nonblocking_stdin(exe, tmp):
    # readline on an empty non-blocking pipe waits for the line.
    path = script(tmp, "ask.zn", 'print, "ready"\nreadline\nprint, returned\n')
    r, w = nonblocking_pipe()
    proc = subprocess.Popen([exe, path], stdin=r, stdout=subprocess.PIPE)
    os.close(r)
    first = read_line(proc.stdout)
    wait_until_asleep(proc.pid)  # so the line comes after the script asked for it
    try:
        os.write(w, b"answer\n")
    except BrokenPipeError:  # the script had taken the empty input for its end
        pass
    os.close(w)
    rest = proc.stdout.read().decode()
    proc.wait()
    check("non-blocking standard input", (first, rest, proc.returncode), ("ready\n", "answer\n", 0))


def fifo_input_after_end(exe, tmp):
    # The end of a FIFO's input lasts until the next writer comes: readline
    # then reads its line instead of staying at the end.
    fifo = os.path.join(tmp, "input.fifo")
    os.mkfifo(fifo)
    go = os.path.join(tmp, "go.fifo")
    os.mkfifo(go)
    # The third readline waits until the second writer is there (go.fifo).
    path = script(tmp, "lines.zn", "readline\nprint, returned\n" * 2 +
                  'sleep, 1\nuse, "fs"\nfs:open, "go.fifo"\nreadline\nprint, returned\n')
    stdin = os.open(fifo, os.O_RDONLY | os.O_NONBLOCK)
    fcntl.fcntl(stdin, fcntl.F_SETFL, os.O_RDONLY)
    writer = os.open(fifo, os.O_WRONLY)  # the first writer is there from the start
    proc = subprocess.Popen([exe, path], stdin=stdin, stdout=subprocess.PIPE, cwd=tmp)
    os.close(stdin)
    os.write(writer, b"first\n")
    os.close(writer)  # the end of input
    got = [read_line(proc.stdout), read_line(proc.stdout)]
    writer = os.open(fifo, os.O_WRONLY)
    os.close(os.open(go, os.O_WRONLY))  # returns once the script opened it
    os.write(writer, b"second\n")
    os.close(writer)
    got.append(read_line(proc.stdout))
    proc.wait()
    check("FIFO input after its end", got, ["first\n", "\n", "second\n"])


def stdout_file_written_by_fs(exe, tmp):
    # Standard output appends to the very file that fs writes to: printed
    # text that came first is in the file first.
    out = os.path.join(tmp, "log.txt")
    path = script(tmp, "log.zn", 'use, "fs"\nprint, "printed"\nfs:open, "log.txt", 2\n'
                  'fs:write, returned, "written\\n"\nprint, "printed again"\n')
    with open(out, "ab") as f:
        subprocess.run([exe, path], stdout=f, cwd=tmp, check=True)
    with open(out) as f:
        check("standard output and fs on one file", f.read(), "printed\nwritten\nprinted again\n")


def fs_writes_where_output_goes(exe, tmp):
    # fs handles on /dev/stdout and on the very file standard output is sent
    # to, opened to empty (1) or to append (2): their writes and the printed
    # lines keep the order of the statements, wherever standard output goes,
    # and nothing that was there before is emptied.
    path = script(tmp, "both.zn", 'use, "fs"\nprint, "one"\nfs:open, "/dev/stdout", 1\n'
                  'fs:write, returned, "two\\n"\nprint, "three"\nfs:open, "out.txt", 2\n'
                  'fs:write, returned, "four\\n"\nfs:open, "/dev/stdout", 2\n'
                  'fs:write, returned, "five\\n"\nprint, "six"\n')
    order = "one\ntwo\nthree\nfour\nfive\nsix\n"
    out = os.path.join(tmp, "out.txt")
    for mode, before in (("wb", ""), ("ab", "kept\n")):
        with open(out, "w") as f:
            f.write(before)
        with open(out, mode) as f:
            subprocess.run([exe, path], stdout=f, cwd=tmp, check=True)
        with open(out) as f:
            check("fs on standard output's file (%s)" % mode, f.read(), before + order)
    # Standard output left open for reading only on that file prints nothing
    # there (status 1): the handles write as any others would, and mode 1
    # empties the file.
    with open(out, "w") as f:
        f.write("kept\n")
    with open(out, "rb") as f:
        proc = subprocess.run([exe, path], stdout=f, stderr=subprocess.PIPE, cwd=tmp)
    with open(out) as f:
        check("fs on a read-only standard output's file", (f.read(), proc.returncode),
              ("two\nfour\nfive\n", 1))
    os.unlink(out)
    proc = subprocess.run([exe, path], stdout=subprocess.PIPE, cwd=tmp, check=True)
    check("fs on a standard output pipe", proc.stdout.decode(), order.replace("four\n", ""))
    pid, fd = pty.fork()
    if pid == 0:
        os.chdir(tmp)
        os.execv(exe, [exe, path])
    got = b""
    while True:
        try:
            chunk = os.read(fd, 4096)
        except OSError:  # EIO: the terminal's last writer has gone
            break
        if not chunk:
            break
        got += chunk
    os.close(fd)
    os.waitpid(pid, 0)
    check("fs on a standard output terminal", got.decode().replace("\r\n", "\n"),
          order.replace("four\n", ""))


def output_before_fifo_open(exe, tmp):
    # fs:open of a FIFO waits for a writer; what was printed has gone out
    # before, so it is not lost if the process is killed while it waits.
    fifo = os.path.join(tmp, "wait.fifo")
    os.mkfifo(fifo)
    hold = os.path.join(tmp, "hold.fifo")
    os.mkfifo(hold)
    path = script(tmp, "wait.zn", 'use, "fs"\nprint, "before open"\nfs:open, "wait.fifo"\n'
                  'print, "after open"\nfs:open, "hold.fifo"\n')
    proc = subprocess.Popen([exe, path], stdout=subprocess.PIPE, cwd=tmp)
    fcntl.fcntl(proc.stdout, fcntl.F_SETFL, os.O_NONBLOCK)
    os.close(os.open(fifo, os.O_WRONLY))  # returns once the script has opened it
    try:
        early = os.read(proc.stdout.fileno(), 4096)
    except BlockingIOError:
        early = b""
    # The script now waits for hold.fifo, or has printed "after open" already.
    os.close(os.open(hold, os.O_WRONLY))
    rest = read_all(proc.stdout.fileno())
    proc.wait()
    check("output before a waiting fs:open", early.startswith(b"before open\n"), True)
    check("output after a waiting fs:open", early + rest, b"before open\nafter open\n")


def main():
    exe = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory(prefix="zn-streams-") as tmp:
        nonblocking_stdout(exe, tmp)
        nonblocking_stdin(exe, tmp)
        fifo_input_after_end(exe, tmp)
        stdout_file_written_by_fs(exe, tmp)
        fs_writes_where_output_goes(exe, tmp)
        output_before_fifo_open(exe, tmp)
    return status()


if __name__ == "__main__":
    sys.exit(main())
