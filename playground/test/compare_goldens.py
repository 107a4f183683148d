#!/usr/bin/env python3
"""Runs every golden script through the native interpreter and through the
WebAssembly one (in Node, wasm_cli.mjs) and compares their standard output
and exit status byte for byte.

Usage: compare_goldens.py NATIVE_EXE MODULE_DIR [SCRIPT...]

Each script runs twice, each time in a fresh folder prepared by its SETUP
lines, with its STDIN, ARGS and ENV; AFTER lines run in each folder afterwards
and their output counts too. The scripts named in expected_differences.txt
differ for a reason the browser has (no programs, no device files): those
marked "differs" run all the same and must still differ, so the list stays
true; those marked "skip" are not run (a name ending in "/" is a group).
"""
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests"))
from golden import directives  # noqa: E402

SCRIPTS = os.path.join(ROOT, "tests", "scripts")


def expected_differences():
    """{script name: (kind, reason)} from expected_differences.txt."""
    listed = {}
    with open(os.path.join(HERE, "expected_differences.txt")) as f:
        for line in f:
            if line.strip() and not line.startswith("#"):
                name, kind, reason = line.split(None, 2)
                if kind not in ("skip", "differs"):
                    raise SystemExit("expected_differences.txt: unknown kind %r" % kind)
                listed[name] = (kind, reason.strip())
    return listed


def run(cmd, script, lines, data, env):
    """Standard output (with the AFTER lines' output) and exit status of one run."""
    shell = bool(lines) and lines[0].strip() == "# MODE: shell"
    stdin = b"".join(l.encode("utf-8", "surrogateescape") + b"\n"
                     for l in directives(lines, "STDIN"))
    with tempfile.TemporaryDirectory(prefix="zn-web-") as tmp:
        for setup in directives(lines, "SETUP"):
            subprocess.run(setup, shell=True, cwd=tmp, env=env, check=True)
        if shell:
            argv, stdin = cmd, data
        else:
            argv = cmd + [script] + directives(lines, "ARGS")
        try:
            proc = subprocess.run(argv, input=stdin, stdout=subprocess.PIPE,
                                  stderr=subprocess.PIPE, cwd=tmp, env=env, timeout=600)
        except subprocess.TimeoutExpired:
            return b"(timed out)", None, b""
        out = proc.stdout
        for after in directives(lines, "AFTER"):
            out += subprocess.run(after, shell=True, cwd=tmp, env=env,
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
        return out, proc.returncode, proc.stderr


def compare(native, module_dir, script, env):
    with open(script, "rb") as f:
        data = f.read()
    lines = [l.rstrip("\r") for l in data.decode("utf-8", "surrogateescape").split("\n")]
    run_env = dict(env)
    for kv in directives(lines, "ENV"):
        k, _, v = kv.partition("=")
        run_env[k] = v
    native_out, native_status, _ = run([native], script, lines, data, run_env)
    wasm_cmd = ["node", os.path.join(HERE, "wasm_cli.mjs"), module_dir]
    wasm_out, wasm_status, wasm_err = run(wasm_cmd, script, lines, data, run_env)
    problems = []
    if wasm_err:
        problems.append("standard error of the WebAssembly run: %r" % wasm_err[:500])
    if native_out != wasm_out:
        a, b = native_out.split(b"\n"), wasm_out.split(b"\n")
        for i, (x, y) in enumerate(zip(a + [None] * len(b), b + [None] * len(a))):
            if x != y:
                problems.append("output line %d: native %r, WebAssembly %r" % (i + 1, x, y))
                break
    if native_status != wasm_status:
        problems.append("exit status: native %s, WebAssembly %s" % (native_status, wasm_status))
    return problems


def main():
    native, module_dir = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    scripts = [os.path.abspath(s) for s in sys.argv[3:]]
    if not scripts:
        for folder, _, files in sorted(os.walk(SCRIPTS)):
            scripts += [os.path.join(folder, f) for f in sorted(files) if f.endswith(".zn")]
    listed = expected_differences()
    env = dict(os.environ)
    env.update(ZARNITH=native, ZN_EXAMPLES=os.path.join(ROOT, "examples"))
    passed = failed = 0
    skipped = 0
    for script in scripts:
        name = os.path.relpath(script, SCRIPTS)[:-len(".zn")]
        skip = [g for g, (kind, _) in listed.items()
                if kind == "skip" and (g == name or g.endswith("/") and name.startswith(g))]
        if skip:
            skipped += 1
            print("skip %s (%s)" % (name, listed[skip[0]][1]), flush=True)
            continue
        try:
            problems = compare(native, module_dir, script, env)
        except subprocess.CalledProcessError as e:
            problems = ["a SETUP line failed: %s" % e]
        if name in listed:
            if not problems:
                problems = ["listed in expected_differences.txt but the two agree"]
            elif not any(p.startswith("standard error") for p in problems):
                problems = []
        if problems:
            failed += 1
            print("FAIL %s\n  %s" % (name, "\n  ".join(problems)), flush=True)
        else:
            passed += 1
            print("ok   %s%s" % (name, " (differs: %s)" % listed[name][1] if name in listed else ""),
                  flush=True)
    print("%d passed, %d failed, %d skipped" % (passed, failed, skipped))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
