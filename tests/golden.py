#!/usr/bin/env python3
"""Runs one golden script through the zarnith executable and compares output.

Directives are comments in the script (a "#" in column 0 is a comment line):
  # CHECK: text    one expected standard-output line (text plus line feed)
  # STDIN: text    one line fed to standard input
  # ARGS: word     one command-line argument after the script path
  # EXIT: N        expected exit status (default 0)
  # SETUP: cmd     shell command run in the temporary directory first
  # AFTER: cmd     shell command run afterwards; its output is appended to the
                   actual output, so CHECK lines can follow file contents
  # ENV: K=V       environment variable for the run
  # MODE: shell    (first line) the script is fed as standard input, no args
A sidecar NAME.out holds the exact expected bytes instead of CHECK lines.
Each script runs in a fresh temporary directory.
"""
import os
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

    sidecar = os.path.splitext(script)[0] + ".out"
    if os.path.exists(sidecar):
        with open(sidecar, "rb") as f:
            expected = f.read()
    else:
        expected = b"".join(enc(l) + b"\n" for l in directives(lines, "CHECK"))

    with tempfile.TemporaryDirectory(prefix="zn-golden-") as tmp:
        for cmd in directives(lines, "SETUP"):
            subprocess.run(cmd, shell=True, cwd=tmp, env=env, check=True)
        if shell:
            cmd, stdin = [exe], data
        else:
            cmd = [exe, script] + args
        proc = subprocess.run(cmd, input=stdin, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, cwd=tmp, env=env, timeout=300)
        actual = proc.stdout
        for cmd in directives(lines, "AFTER"):
            actual += subprocess.run(cmd, shell=True, cwd=tmp, env=env,
                                     stdout=subprocess.PIPE).stdout

    ok = True
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
    if proc.stderr:
        ok = False
        sys.stdout.write("unexpected standard error output:\n%r\n" % proc.stderr[:2000])
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
