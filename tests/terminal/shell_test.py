#!/usr/bin/env python3
"""Drives the interactive shell at a real terminal (a tmux pane).

Types lines, recalls one with the up arrow and edits it, moves the cursor,
abandons a half-typed line with Ctrl-C, ends with Ctrl-D, and reads the
screen with capture-pane. Further panes check that Ctrl-C abandons a running
statement and keeps the variables, that lines typed ahead of a statement are
shown once and kept at Ctrl-C, Tab completion, the Ctrl-R search, and that
nothing reaches standard error with an unknown TERM. Exits 77 (skipped) when
tmux is not installed.

Usage: shell_test.py ZARNITH_EXECUTABLE
"""
import array
import fcntl
import os
import pty
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import termios
import time

SKIP = 77
BANNER = "Zarnith 0.1.2.5 (07.02.2021)"


class Pane:
    """One tmux server with one pane running the executable."""

    def __init__(self, exe, tmp, term=None, stderr=None):
        self.socket = "zn-term-%d-%d" % (os.getpid(), time.monotonic_ns())
        conf = os.path.join(tmp, "tmux.conf")
        with open(conf, "w") as f:
            f.write("set -g remain-on-exit on\nset -g default-terminal screen\n")
        env = dict(os.environ, LC_ALL="C.UTF-8")
        env.pop("TMUX", None)
        self.env = env
        command = shlex.quote(exe)
        if term:
            command = "TERM=%s exec %s" % (shlex.quote(term), command)
        if stderr:
            command += " 2>" + shlex.quote(stderr)
        self.tmux("-f", conf, "new-session", "-d", "-x", "80", "-y", "24", command)

    def tmux(self, *args):
        return subprocess.run(["tmux", "-L", self.socket] + list(args), env=self.env,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              check=True, text=True).stdout

    def keys(self, *keys):
        self.tmux("send-keys", *keys)

    def type(self, text):
        self.tmux("send-keys", "-l", text)

    def screen(self):
        lines = self.tmux("capture-pane", "-p").split("\n")
        while lines and lines[-1] == "":
            lines.pop()
        return lines

    def info(self, fmt):
        return self.tmux("display-message", "-p", fmt).strip()

    def wait_for(self, predicate, what, timeout=30.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            lines = self.screen()
            if predicate(lines):
                return lines
            time.sleep(0.05)
        raise AssertionError("timed out waiting for %s; screen:\n%s"
                             % (what, "\n".join(self.screen())))

    def wait_screen(self, expected):
        return self.wait_for(lambda lines: lines == expected, "screen %r" % expected)

    def expect(self, screen, tail):
        """Waits for `screen` with its last line replaced by the lines `tail`."""
        screen[-1:] = tail
        return self.wait_screen(screen)

    def enter(self, text):
        self.type(text)
        self.keys("Enter")

    def terminal(self, query):
        fd = os.open(self.info("#{pane_tty}"), os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK)
        try:
            return query(fd)
        finally:
            os.close(fd)

    def wait_running(self, echo=False):
        """Waits until a typed line runs: the editor has handed the terminal
        back in line mode, without echo while a statement runs and with it
        while a readline waits (echo=True)."""
        def running(_lines):
            lflag = self.terminal(termios.tcgetattr)[3]
            return lflag & termios.ICANON and bool(lflag & termios.ECHO) == echo
        self.wait_for(running, "the line to run")

    def wait_typed(self, count):
        """Waits until the terminal holds `count` bytes of whole lines that
        nobody has read yet."""
        def queued(fd):
            size = array.array("i", [0])
            fcntl.ioctl(fd, termios.FIONREAD, size)
            return size[0]
        self.wait_for(lambda _lines: self.terminal(queued) >= count, "the keys to arrive")

    def close(self):
        subprocess.run(["tmux", "-L", self.socket, "kill-server"], env=self.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def check_not_linked(exe):
    """The line editor is opened only when a terminal shell starts."""
    needed = subprocess.run(["readelf", "-d", exe], stdout=subprocess.PIPE,
                            text=True, check=True).stdout
    assert "libedit" not in needed, "the executable links libedit:\n" + needed


def editing_session(exe, tmp):
    pane = Pane(exe, tmp)
    try:
        banner = "Zarnith 0.1.2.5 (07.02.2021)"
        screen = [banner, ">"]
        pane.wait_screen(screen)
        maps = open("/proc/%s/maps" % pane.info("#{pane_pid}")).read()
        assert "libedit" in maps, "the terminal shell did not load the line editor"

        pane.type("x = 5")
        pane.keys("Enter")
        pane.type("return, x")
        pane.keys("Enter")
        screen[-1:] = ["> x = 5", "> return, x", "=> 5", ">"]
        pane.wait_screen(screen)

        # Up recalls the last line; edit its end and run it.
        pane.keys("Up")
        pane.keys("BSpace")
        pane.type('"edited"')
        pane.keys("Enter")
        screen[-1:] = ['> return, "edited"', '=> "edited"', ">"]
        pane.wait_screen(screen)

        # Further up reaches older lines; run the first one unchanged.
        pane.keys("Up", "Up", "Up", "Enter")
        screen[-1:] = ["> x = 5", ">"]
        pane.wait_screen(screen)

        # Cursor movement: insert a missing letter in the middle.
        pane.type('print, "wrld"')
        pane.keys("Left", "Left", "Left", "Left")
        pane.type("o")
        pane.keys("Enter")
        screen[-1:] = ['> print, "world"', "world", ">"]
        pane.wait_screen(screen)

        # Ctrl-C abandons the typed line; nothing of it runs.
        pane.type('print, "half')
        pane.wait_screen(screen[:-1] + ['> print, "half'])
        pane.keys("C-c")
        screen[-1:] = ['> print, "half', ">"]
        pane.wait_screen(screen)
        pane.type('print, "after"')
        pane.keys("Enter")
        screen[-1:] = ['> print, "after"', "after", ">"]
        pane.wait_screen(screen)

        # Ctrl-D inside a line deletes the character under the cursor.
        pane.type('print, "abXc"')
        pane.keys("Left", "Left", "Left", "C-d", "Enter")
        screen[-1:] = ['> print, "abc"', "abc", ">"]
        pane.wait_screen(screen)

        # Ctrl-D on an empty line ends the shell with status 0.
        pane.keys("C-d")
        pane.wait_for(lambda lines: pane.info("#{pane_dead}") == "1", "the shell to end")
        # tmux may mark the pane dead a moment before it records the status
        # (seen under the sanitizers); a recorded status must be 0.
        status = pane.info("#{pane_dead_status}")
        assert status in ("0", ""), "status " + status
        # tmux's own "Pane is dead" notice may scroll the banner away.
        lines = [l for l in pane.screen() if l and not l.startswith("Pane is dead")]
        assert lines[1 - len(screen):] == screen[1:], "\n".join(lines)
        assert "^D" not in "\n".join(lines)
    finally:
        pane.close()


def children(pid):
    """The processes that pid started and that still run."""
    path = "/proc/%s/task/%s/children" % (pid, pid)
    with open(path) as f:
        return f.read().split()


def interrupt_running_statement(exe, tmp):
    """Ctrl-C abandons the statement that runs, keeps every variable and ends
    a started program, even one that ignores SIGINT; a second Ctrl-C ends a
    statement that a first cannot reach."""
    pane = Pane(exe, tmp)
    try:
        screen = ["Zarnith 0.1.2.5 (07.02.2021)", ">"]
        pane.wait_screen(screen)
        pid = pane.info("#{pane_pid}")
        stubborn = os.path.join(tmp, "stubborn.sh")
        with open(stubborn, "w") as f:
            f.write('#!/bin/sh\ntrap "" INT\nexec sleep 300\n')
        os.chmod(stubborn, 0o755)

        pane.type("x = 5")
        pane.keys("Enter")
        pane.type('use, "os"')
        pane.keys("Enter")
        screen[-1:] = ["> x = 5", '> use, "os"', "=> 1", ">"]
        pane.wait_screen(screen)
        pane.enter('use, "fs"')
        pane.enter('fs:open, "/dev/stdin"')
        pane.expect(screen, ['> use, "fs"', "=> 1", '> fs:open, "/dev/stdin"', "=> 1", ">"])

        # readline and fs:read of the terminal show what is typed for them.
        reads = ("readline", "fs:read, 1, typed")
        programs = ('os:execute, "sleep 300"', 'os:execute, "%s"' % stubborn)
        for statement in ("sleep, 30000",) + reads + programs:
            pane.type(statement)
            pane.keys("Enter")
            screen[-1:] = ["> " + statement]
            pane.wait_screen(screen)
            pane.wait_running(echo=statement in reads)
            if statement.startswith("os:"):
                pane.wait_for(lambda lines: children(pid), "the program to start")
            pane.keys("C-c")
            screen[-1:] = ["> " + statement, "^C", ">"]
            pane.wait_screen(screen)
            assert children(pid) == [], "a started program outlived Ctrl-C"

        pane.type("return, x")
        pane.keys("Enter")
        screen[-1:] = ["> return, x", "=> 5", ">"]
        pane.wait_screen(screen)

        # Opening a FIFO without a writer waits where Ctrl-C cannot reach.
        fifo = os.path.join(tmp, "fifo")
        os.mkfifo(fifo)
        pane.type('use, "fs"')
        pane.keys("Enter")
        pane.type('fs:open, "%s"' % fifo)
        pane.keys("Enter")
        pane.wait_for(lambda lines: lines[-1] == '> fs:open, "%s"' % fifo, "the open to start")
        pane.wait_running()
        pane.keys("C-c")
        pane.wait_for(lambda lines: lines[-1] == "^C", "the first Ctrl-C")
        # Pressed again at once, Ctrl-C is the same request; a moment later it ends.
        pane.keys("C-c")
        time.sleep(1.5)
        assert pane.info("#{pane_dead}") == "0", "Ctrl-C pressed twice in a row ended the shell"
        pane.keys("C-c")
        pane.wait_for(lambda lines: pane.info("#{pane_dead}") == "1",
                      "a second Ctrl-C to end the program")
    finally:
        pane.close()


def interrupt_without_editor(exe, tmp):
    """A script, and a shell fed by a pipe, end on SIGINT as before."""
    script = os.path.join(tmp, "wait.zn")
    with open(script, "w") as f:
        f.write('print, "waiting"\nsleep, 30000\n')
    for args, given in (([exe, script], None), ([exe], b"sleep, 30000\n")):
        proc = subprocess.Popen(args, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        if given:
            proc.stdin.write(given)
            proc.stdin.flush()
        proc.stdout.read1(100)  # the script's first line, or the banner: it runs
        proc.send_signal(signal.SIGINT)
        assert proc.wait(timeout=30) == -signal.SIGINT, (args, proc.returncode)
        proc.stdin.close()
        proc.stdout.close()


def typed_ahead_lines(exe, tmp):
    """Lines typed before a readline takes its line are shown as they run and
    kept in the history; the start of a line goes on in the editor."""
    pane = Pane(exe, tmp)
    try:
        pane.wait_screen(["Zarnith 0.1.2.5 (07.02.2021)", ">"])
        pane.type("x = 7")
        pane.keys("Enter")
        pane.wait_for(lambda lines: lines[-1] == ">", "the first line to run")
        # One burst: it all waits in the terminal while readline starts.
        pane.keys("r", "e", "a", "d", "l", "i", "n", "e", "Enter", "a", "b", "c", "Enter",
                  "r", "e", "t", "u", "r", "n", ",", " ", "x", "Enter", "t", "y")
        lines = pane.wait_for(lambda lines: "=> 7" in lines, "the typed-ahead line to run")
        assert lines[lines.index("=> 7") - 1] == "> return, x", "\n".join(lines)
        pane.wait_for(lambda lines: lines[-1] == "> ty", "the typed start of a line")
        pane.type("peof, x")
        pane.keys("Enter")
        pane.wait_for(lambda lines: lines[-2:] == ['=> "int"', ">"], "the finished line to run")
        pane.keys("Up", "Up")
        pane.wait_for(lambda lines: lines[-1] == "> return, x", "history to recall the line")
    finally:
        pane.close()


def typed_during_statement(exe, tmp):
    """Lines typed while a statement runs are not echoed as they are typed but
    shown once, after their prompt, as they run; Ctrl-C abandons the
    statement and keeps them."""
    release = os.path.join(tmp, "release")
    os.mkfifo(release)
    pane = Pane(exe, tmp)
    try:
        screen = [BANNER, ">"]
        pane.wait_screen(screen)
        pane.enter('use, "os"')
        pane.expect(screen, ['> use, "os"', "=> 1", ">"])
        # The program waits until the FIFO is opened for writing; Ctrl-C
        # abandons the sleep.
        waiting = 'os:execute, "cat %s"' % release
        for statement, ahead in ((waiting, "ahead"), ("sleep, 30000", "kept")):
            pane.enter(statement)
            pane.expect(screen, ["> " + statement])
            pane.wait_running()
            pane.enter('print, "%s"' % ahead)
            pane.type("ty")
            pane.wait_typed(len('print, ""\n') + len(ahead))
            assert pane.screen() == screen, "lines typed ahead were echoed:\n" + \
                "\n".join(pane.screen())
            if statement == waiting:
                with open(release, "w"):
                    pass
                reply = "=>"
            else:
                pane.keys("C-c")
                reply = "^C"
            pane.expect(screen, ["> " + statement, reply, '> print, "%s"' % ahead, ahead, "> ty"])
            pane.keys("C-u")
    finally:
        pane.close()


def completion(exe, tmp):
    """Tab completes statement keywords, class names after `use, "`, a class's
    commands after `class:` and variable names, `returned` among them; names
    that agree no further are listed below the line."""
    pane = Pane(exe, tmp)
    try:
        screen = [BANNER, ">"]
        pane.wait_screen(screen)
        pane.enter("count = 3")
        pane.expect(screen, ["> count = 3", ">"])
        # What is typed, what Tab makes of it, what more is typed before Enter
        # and what the line then prints.
        steps = [("ret", "return", None, None), (", co", "return, count", "", "=> 3"),
                 ('use, "str', 'use, "strings"', "", "=> 1"),
                 ("strings:it", "strings:itoa", ", count", '=> "3"'),
                 ("print, ret", "print, returned", "", "3")]
        for typed, completed, more, reply in steps:
            pane.type(typed)
            pane.keys("Tab")
            pane.expect(screen, ["> " + completed])
            if reply is not None:
                pane.enter(more)
                pane.expect(screen, ["> " + completed + more, reply, ">"])
        pane.type("pri")
        pane.keys("Tab", "Tab")
        pane.expect(screen, ["> print", "print   printc", "> print"])
    finally:
        pane.close()


def history_search(exe, tmp):
    """Ctrl-R searches the lines of this session on the prompt's own line:
    each Ctrl-R finds an older line, Enter runs the line found, Ctrl-G gives
    back the line as it was."""
    pane = Pane(exe, tmp)
    try:
        screen = [BANNER, ">"]
        pane.wait_screen(screen)
        for line in ('colour = "red"', 'colour = "blue"'):
            pane.enter(line)
            pane.expect(screen, ["> " + line, ">"])
        pane.keys("C-r")
        pane.type("lour =")
        pane.expect(screen, ["(search)'lour =': colour = \"blue\""])
        for found in ("(search)'lour =': colour = \"red\"", "(no match)'lour =': colour = \"red\""):
            pane.keys("C-r")
            pane.expect(screen, [found])
        pane.keys("Enter")
        pane.expect(screen, ['> colour = "red"', ">"])
        pane.enter("return, colour")
        pane.expect(screen, ["> return, colour", '=> "red"', ">"])
        pane.type("abc")
        pane.keys("C-r")
        pane.type("blue")
        pane.expect(screen, ["(search)'blue': colour = \"blue\""])
        pane.keys("C-g")
        pane.expect(screen, ["> abc"])
    finally:
        pane.close()


def quiet_unknown_terminal(exe, tmp):
    """An unknown TERM: the editor still edits and standard error stays empty;
    Meta-x, which opens the editor's own command line, does nothing."""
    errors = os.path.join(tmp, "stderr")
    pane = Pane(exe, tmp, term="no-such-terminal", stderr=errors)
    try:
        pane.wait_screen(["Zarnith 0.1.2.5 (07.02.2021)", ">"])
        pane.keys("Escape", "x", '"', "Enter")
        pane.type('print, "wrld"')
        pane.keys("Left", "Left", "Left", "Left")
        pane.type("o")
        pane.keys("Enter")
        pane.wait_screen(["Zarnith 0.1.2.5 (07.02.2021)", '> "', '> print, "world"', "world", ">"])
        pane.keys("C-d")
        pane.wait_for(lambda lines: pane.info("#{pane_dead}") == "1", "the shell to end")
        with open(errors, "rb") as f:
            assert f.read() == b"", "the shell wrote to standard error"
    finally:
        pane.close()


def terminal_input_piped_output(exe):
    """Only a terminal on both sides gets the editor: with output to a pipe the
    shell prints exactly what it prints for piped input."""
    master, slave = pty.openpty()
    proc = subprocess.Popen([exe], stdin=slave, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)
    os.close(slave)
    os.write(master, b"return, 6*7\n\x04")  # a line, then Ctrl-D on an empty line
    out, err = proc.communicate(timeout=10)
    os.close(master)
    expected = b"Zarnith 0.1.2.5 (07.02.2021)\n> => 42\n> \n"
    assert (out, err, proc.returncode) == (expected, b"", 0), (out, err, proc.returncode)


def main():
    if shutil.which("tmux") is None:
        print("tmux is not installed; skipping")
        return SKIP
    exe = os.path.abspath(sys.argv[1])
    check_not_linked(exe)
    terminal_input_piped_output(exe)
    with tempfile.TemporaryDirectory(prefix="zn-terminal-") as tmp:
        editing_session(exe, tmp)
        interrupt_running_statement(exe, tmp)
        interrupt_without_editor(exe, tmp)
        typed_ahead_lines(exe, tmp)
        typed_during_statement(exe, tmp)
        completion(exe, tmp)
        history_search(exe, tmp)
        quiet_unknown_terminal(exe, tmp)
    print("terminal shell: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
