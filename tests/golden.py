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
  # LIMIT: as=N    the interpreter runs with at most N bytes of address space
                   (under AddressSanitizer, which needs terabytes of it: no
                   single allocation above N/4 bytes instead)
  # LIMIT: nofile=N  the interpreter runs with at most N open descriptors
A sidecar NAME.out holds the exact expected bytes instead of CHECK lines.
Each script runs in a fresh temporary directory.
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
                              stderr=subprocess.PIPE, cwd=tmp, env=env, timeout=300,
                              preexec_fn=apply_limits if limits else None)
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
