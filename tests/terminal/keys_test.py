#!/usr/bin/env python3
"""Types random keys at the interactive shell through a pseudo-terminal.

Printable text, control keys, escape sequences of arrows and function keys,
Meta combinations, bytes with the high bit set and a few statements, in a
seeded random order, written the way a person types: mostly one key at a
time, now and then in a burst. The shell must never die of a signal, never
write to standard error, and must still run a line at the end. A shell that
ends normally (Ctrl-D on an empty line) is started again.

Usage: keys_test.py ZARNITH_EXECUTABLE [--keys N] [--seed S]
(make test types 3000 keys; a fuzz campaign passes a larger --keys.)
"""
import argparse
import errno
import fcntl
import os
import pty
import random
import select
import signal
import struct
import sys
import tempfile
import termios
import time

CONTROL_KEYS = [bytes([c]) for c in range(0, 32)
                # not ^S (stops the output), ^Z (stops the shell), ^\ (quits it);
                # ESC comes in the sequences below
                if c not in (0x13, 0x1a, 0x1c, 0x1b)]
SEQUENCES = [b"\x1b[A", b"\x1b[B", b"\x1b[C", b"\x1b[D", b"\x1bOA", b"\x1bOB", b"\x1bOC",
             b"\x1bOD", b"\x1b[H", b"\x1b[F", b"\x1b[1~", b"\x1b[3~", b"\x1b[4~", b"\x1b[5~",
             b"\x1b[6~", b"\x1bOP", b"\x1b[15~", b"\x1b[1;5C", b"\x1b[200~", b"\x1b"]
TEXT = [b"\xc3\xa9", b"\xd0\xb6", b"\xe2\x82\xac", b"\xf0\x9f\x98\x80", b"\xff", b"\xc3"]
STATEMENTS = [b"print, ", b"return, ", b"x = 1", b"typeof, x", b"readline", b'"', b","]


def random_key(rng):
    roll = rng.random()
    if roll < 0.30:
        return bytes([rng.randrange(32, 127)])
    if roll < 0.40:  # the characters that shape a statement
        return rng.choice(b'",:= ').to_bytes(1, "big")
    if roll < 0.50:
        return rng.choice([b"\r", b"\x7f"])
    if roll < 0.62:
        return rng.choice(CONTROL_KEYS)
    if roll < 0.72:
        return rng.choice(SEQUENCES)
    if roll < 0.87:  # Meta: ESC and a key
        if rng.random() < 0.3:
            return b"\x1b" + rng.choice(CONTROL_KEYS)
        return b"\x1b" + bytes([rng.randrange(32, 128)])
    if roll < 0.92:
        return rng.choice(TEXT + [bytes([rng.randrange(128, 256)])])
    return rng.choice(STATEMENTS)


class Shell:
    """One shell on a fresh pseudo-terminal, its standard error in a file."""

    def __init__(self, exe, workdir, errors):
        self.output = bytearray()
        pid, fd = pty.fork()
        if pid == 0:  # the child: the pseudo-terminal is its controlling terminal
            try:
                os.chdir(workdir)
                err = os.open(errors, os.O_WRONLY | os.O_APPEND | os.O_CREAT, 0o600)
                os.dup2(err, 2)
                env = dict(os.environ, TERM="xterm", LC_ALL="C.UTF-8")
                os.execve(exe, [exe], env)
            finally:
                os._exit(127)
        self.pid, self.fd = pid, fd
        fcntl.ioctl(fd, termios.TIOCSWINSZ, struct.pack("HHHH", 24, 80, 0, 0))
        os.set_blocking(fd, False)
        self.status = None

    def drain(self, wait=0.0):
        """Reads what the shell wrote; False once the terminal is closed."""
        readable, _, _ = select.select([self.fd], [], [], wait)
        if not readable:
            return True
        try:
            data = os.read(self.fd, 65536)
        except OSError as e:
            if e.errno == errno.EAGAIN:
                return True
            if e.errno != errno.EIO:
                raise
            data = b""
        self.output += data
        del self.output[:-8192]
        return bool(data)

    def ended(self):
        if self.status is None:
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid == self.pid:
                self.status = status
        return self.status is not None

    def send(self, data, timeout=60.0):
        """Writes data as the shell takes it; False when the shell ended."""
        deadline = time.monotonic() + timeout
        while data:
            if self.ended():
                return False
            try:
                data = data[os.write(self.fd, data):]
            except OSError as e:
                if e.errno not in (errno.EAGAIN, errno.EIO):
                    raise
                if e.errno == errno.EIO:
                    return False
                if time.monotonic() > deadline:
                    raise AssertionError("the shell stopped taking keys")
                self.drain(0.05)
        self.drain()
        return True

    def wait_output(self, marker, timeout):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if marker in self.output:
                return True
            if not self.drain(0.1) and self.ended():
                return False
        return False

    def wait_end(self, timeout=60.0):
        deadline = time.monotonic() + timeout
        while not self.ended():
            if time.monotonic() > deadline:
                os.kill(self.pid, signal.SIGKILL)
                raise AssertionError("the shell did not end")
            self.drain(0.1)
        os.close(self.fd)
        return self.status

    def kill(self):
        if not self.ended():
            os.kill(self.pid, signal.SIGKILL)
            os.waitpid(self.pid, 0)
        os.close(self.fd)


def check_status(status, recent):
    if os.WIFSIGNALED(status):
        raise AssertionError("the shell died of signal %d; the last keys: %r"
                             % (os.WTERMSIG(status), b"".join(recent[-40:])))


def end_shell(shell):
    """Ctrl-D on an emptied line ends the shell. Keys that arrive before the
    line editor has taken the terminal back can be lost, so Ctrl-D is sent
    again while the shell runs on."""
    for _ in range(12):
        if not shell.send(b"\x15\x04"):
            return
        deadline = time.monotonic() + 5.0
        while time.monotonic() < deadline:
            if shell.ended():
                return
            shell.drain(0.1)


def finish(shell):
    """Ctrl-C, an emptied line and a statement: the shell must still run it,
    then end at Ctrl-D. Tried a few times, as the keys before may have left
    a readline waiting. Returns early when the shell ended on its own."""
    for attempt in range(5):
        marker = b"keys-done-%d" % attempt
        if not shell.send(b"\x03"):
            return
        shell.drain(0.5)
        if not shell.send(b'\x05\x15print, "' + marker + b'"\r'):
            return
        if shell.wait_output(marker + b"\r\n", 30.0):
            end_shell(shell)
            return
    raise AssertionError("the shell no longer runs lines; it shows:\n%s"
                         % shell.output[-2000:].decode(errors="replace"))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("exe")
    parser.add_argument("--keys", type=int, default=3000)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    exe = os.path.abspath(args.exe)
    rng = random.Random(args.seed)
    starts = 0
    with tempfile.TemporaryDirectory(prefix="zn-keys-") as workdir:
        errors = os.path.join(workdir, "stderr")
        shell, recent = None, []
        try:
            for _ in range(args.keys):
                if shell is None:
                    shell = Shell(exe, workdir, errors)
                    starts += 1
                    if not shell.wait_output(b"> ", 30.0):
                        raise AssertionError("no prompt")
                key = random_key(rng)
                recent = recent[-39:] + [key]
                # Mostly one key and a short pause, as typed; sometimes a burst.
                if shell.send(key):
                    shell.drain(0.002 if rng.random() < 0.9 else 0.0)
                    continue
                check_status(shell.wait_end(), recent)
                shell = None
            if shell is not None:
                finish(shell)
                check_status(shell.wait_end(), recent)
                shell = None
        finally:
            if shell is not None:
                shell.kill()
        with open(errors, "rb") as f:
            written = f.read()
        assert written == b"", "the shell wrote to standard error:\n%r" % written[:2000]
    print("random keys: %d keys, seed %d, %d shell starts, no crash"
          % (args.keys, args.seed, starts))
    return 0


if __name__ == "__main__":
    sys.exit(main())
