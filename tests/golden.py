#!/usr/bin/env python3
"""Runs one golden script through the zarnith executable and compares output.

Directives are comments in the script (a "#" in column 0 is a comment line):
  # CHECK: text    one expected standard-output line (text plus line feed)
  # CHECKC: text   expected output without a line feed (as printc writes it)
  # STDIN: text    one line fed to standard input
  # ARGS: word     one command-line argument after the script path
  # EXIT: N        expected exit status (default 0)
  # SETUP: cmd     shell command run in the temporary directory first
  # AFTER: cmd     shell command run afterwards; its output is appended to the
                   actual output, so CHECK lines can follow file contents
  # ENV: K=V       environment variable for the run
  # MODE: shell    (first line) the script is typed at the shell: see below
  # LIMIT: as=N    the interpreter runs with at most N bytes of address space
                   (under AddressSanitizer, which needs terabytes of it: no
                   single allocation above N/4 bytes instead)
  # LIMIT: nofile=N  the interpreter runs with at most N open descriptors
A sidecar NAME.out holds the exact expected bytes instead of CHECK lines.
Each script runs in a fresh temporary directory.

A shell session (# MODE: shell) is fed to the shell as standard input, with no
arguments: every line but the directives is typed, plain comments included.
The CHECK lines under a typed line are what the shell prints after that
line's prompt; those above the first typed line, what it prints before its
first prompt (the banner). A "# READ: text" line types text that a statement
reads (readline): no prompt comes before it. At the end of input the shell
prints one more prompt and a line feed, which the runner expects, unless the
session ends by exit (# EXIT:): lines typed after the exit carry no CHECK
lines, since nothing reads them. The CHECK lines under an "# AFTER:" line
at the end are that command's output.
"""
import os
import resource
import subprocess
import sys
import tempfile


def directives(lines, name):
    prefix = "# " + name + ":"
    out = []
    for line in lines:
        if line.startswith(prefix):
            value = line[len(prefix):]
            out.append(value[1:] if value.startswith(" ") else value)
    return out


DIRECTIVES = ("CHECK", "CHECKC", "READ", "MODE", "SETUP", "AFTER", "ENV", "EXIT", "LIMIT",
              "ARGS", "STDIN")


def directive(line):
    """The directive's name and value, or (None, line) for any other line."""
    for name in DIRECTIVES:
        prefix = "# " + name + ":"
        if line.startswith(prefix):
            value = line[len(prefix):]
            return name, value[1:] if value.startswith(" ") else value
    return None, line


def expected_output(lines):
    """What CHECK and CHECKC lines say a script prints, in their order."""
    out = []
    for line in lines:
        name, value = directive(line)
        if name == "CHECK":
            out.append(value + "\n")
        elif name == "CHECKC":
            out.append(value)
    return "".join(out)


def shell_session(lines, ends_by_exit):
    """A shell session's typed input, and the outputs it may print: one for
    each point at which the session may have ended by exit, or the one output
    of a session that reads to the end of its input."""
    typed = []
    before, blocks, after = [], [], []  # blocks: (prompted, lines under it)
    current = before
    for line in lines:
        name, value = directive(line)
        if name in ("CHECK", "CHECKC"):
            current.append(line)
        elif name is None or name == "READ":
            typed.append(value)
            blocks.append((name is None, []))
            current = blocks[-1][1]
        elif name == "AFTER":
            current = after
    prefix = expected_output(before)
    outputs = []
    for prompted, under in blocks:
        prefix += ("> " if prompted else "") + expected_output(under)
        outputs.append(prefix)
    if not ends_by_exit:
        return typed, [prefix + "> \n" + expected_output(after)]
    # The session ended at some line; every line after it must expect nothing.
    ends = [outputs[-1] if outputs else prefix]
    for i in range(len(blocks) - 1, 0, -1):
        if blocks[i][1]:
            break
        ends.append(outputs[i - 1])
    return typed, [e + expected_output(after) for e in ends]


def main():
    exe, script = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    with open(script, "rb") as f:
        data = f.read()
    lines = data.decode("utf-8", "surrogateescape").split("\n")
    lines = [l[:-1] if l.endswith("\r") else l for l in lines]
    enc = lambda s: s.encode("utf-8", "surrogateescape")

    shell = bool(lines) and lines[0].strip() == "# MODE: shell"
    stdin = b"".join(enc(l) + b"\n" for l in directives(lines, "STDIN"))
    args = directives(lines, "ARGS")
    exit_codes = directives(lines, "EXIT")
    expected_status = int(exit_codes[0]) if exit_codes else 0
    env = dict(os.environ)
    for kv in directives(lines, "ENV"):
        k, _, v = kv.partition("=")
        env[k] = v

    limits = [(k, int(v)) for k, _, v in (l.partition("=") for l in directives(lines, "LIMIT"))]
    with open(exe, "rb") as f:
        asan = b"__asan_init" in f.read()
    capped = asan and any(k == "as" for k, _ in limits)
    if capped:
        cap = max(v for k, v in limits if k == "as") // 4 >> 20
        env["ASAN_OPTIONS"] = "%s:allocator_may_return_null=1:max_allocation_size_mb=%d" % (
            env.get("ASAN_OPTIONS", ""), cap)
        limits = [(k, v) for k, v in limits if k != "as"]
    rlimits = {"as": resource.RLIMIT_AS, "nofile": resource.RLIMIT_NOFILE}

    def apply_limits():
        for k, v in limits:
            resource.setrlimit(rlimits[k], (v, v))

    sidecar = os.path.splitext(script)[0] + ".out"
    typed = []
    if os.path.exists(sidecar):
        with open(sidecar, "rb") as f:
            accepted = [f.read()]
    elif shell:
        typed, outputs = shell_session(lines, bool(exit_codes))
        accepted = [enc(o) for o in outputs]
    else:
        accepted = [enc(expected_output(lines))]
    expected = accepted[0]

    with tempfile.TemporaryDirectory(prefix="zn-golden-") as tmp:
        for cmd in directives(lines, "SETUP"):
            subprocess.run(cmd, shell=True, cwd=tmp, env=env, check=True)
        if shell and typed:
            cmd, stdin = [exe], b"".join(enc(l) + b"\n" for l in typed)
        elif shell:
            cmd, stdin = [exe], data
        else:
            cmd = [exe, script] + args
        proc = subprocess.run(cmd, input=stdin, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, cwd=tmp, env=env, timeout=300,
                              preexec_fn=apply_limits if limits else None)
        actual = proc.stdout
        for cmd in directives(lines, "AFTER"):
            actual += subprocess.run(cmd, shell=True, cwd=tmp, env=env,
                                     stdout=subprocess.PIPE).stdout

    ok = True
    if actual in accepted:
        expected = actual
    if actual != expected:
        ok = False
        sys.stdout.write("--- expected\n%r\n--- actual\n%r\n" % (expected, actual))
        exp_lines, act_lines = expected.split(b"\n"), actual.split(b"\n")
        for i, (e, a) in enumerate(zip(exp_lines, act_lines)):
            if e != a:
                sys.stdout.write("first difference at output line %d:\n  expected %r\n  actual   %r\n"
                                 % (i + 1, e, a))
                break
    if proc.returncode != expected_status:
        ok = False
        sys.stdout.write("exit status %d, expected %d\n" % (proc.returncode, expected_status))
    stderr = proc.stderr
    if capped:  # the sanitizer's note on each allocation it refused
        stderr = b"".join(l for l in stderr.splitlines(True)
                          if b"AddressSanitizer failed to allocate" not in l)
    if stderr:
        ok = False
        sys.stdout.write("unexpected standard error output:\n%r\n" % stderr[:2000])
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
