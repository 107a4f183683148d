#!/usr/bin/env python3
"""Runs every example of the language guide and compares its output.

The guide is Markdown. An example is a fenced block whose info string is
`zarnith` (a script) or `session` (a transcript of the interactive shell):

  ```zarnith          the script, written to a file and run
  ```input            (optional) what the script reads on standard input
  ```output           exactly what the script writes (may be empty)

  ```session          banner, prompts with what was typed, and the replies

A transcript line that begins with "> " (or is a lone ">") is a prompt with
the typed line after it; the typed lines become standard input and vanish from
the expected output, as they do when the shell reads a pipe. A lone prompt as
the last line is Ctrl-D: the shell ends with a line feed.

HTML comments just before a `zarnith` block set up the run:
  <!-- args: a b c -->        command-line arguments after the script path
  <!-- exit: 3 -->            expected exit status (default 0)
  <!-- file: NAME -->         the script's file name (default example.zn)
  <!-- setup: shell command --> run first in the example's fresh directory,
                              with $ZN_EXAMPLES naming the examples folder
  <!-- line-ends: crlf -->    the script is saved with carriage return and line
                              feed at the end of each line, as Windows does
Other fenced blocks (sh, text, ...) are prose and are not run.

Usage: guide_examples.py ZARNITH GUIDE.md
"""
import os
import re
import subprocess
import sys
import tempfile

FENCE = re.compile(r"^```(\S*)\s*$")
DIRECTIVE = re.compile(r"^<!--\s*(args|exit|file|setup|line-ends):\s?(.*?)\s*-->\s*$")


class Example:
    def __init__(self, kind, line, body, directives):
        self.kind, self.line, self.body = kind, line, body
        self.args, self.exit, self.file, self.setup = [], 0, "example.zn", []
        self.line_end = "\n"
        for name, value in directives:
            if name == "args":
                self.args = value.split()
            elif name == "exit":
                self.exit = int(value)
            elif name == "file":
                self.file = value
            elif name == "line-ends":
                assert value == "crlf", "line-ends: crlf is the only other kind"
                self.line_end = "\r\n"
            else:
                self.setup.append(value)
        self.input = ""
        self.output = None


def blocks(text):
    """Yields (info, first line number, body, directives before it)."""
    lines = text.split("\n")
    directives = []
    i = 0
    while i < len(lines):
        m = FENCE.match(lines[i])
        d = DIRECTIVE.match(lines[i])
        if d:
            directives.append((d.group(1), d.group(2)))
        elif m:
            start = i + 1
            i += 1
            while i < len(lines) and lines[i] != "```":
                i += 1
            body = "".join(l + "\n" for l in lines[start:i])
            yield m.group(1), start, body, directives
            directives = []
        elif lines[i].strip():
            directives = []  # directives belong to the block right below them
        i += 1


def parse(text):
    examples, errors = [], []
    current = None
    for info, line, body, directives in blocks(text):
        if info in ("zarnith", "session"):
            if current is not None and current.output is None:
                errors.append("line %d: example has no output block" % current.line)
            current = Example(info, line, body, directives)
            examples.append(current)
            if info == "session":
                current.output = ""
        elif info in ("input", "output"):
            if current is None or current.kind != "zarnith" or current.output is not None:
                errors.append("line %d: %s block without a script before it" % (line, info))
                continue
            if info == "input":
                current.input = body
            else:
                current.output = body
    if current is not None and current.output is None:
        errors.append("line %d: example has no output block" % current.line)
    return examples, errors


def session_io(body):
    """Standard input and expected output of a shell transcript."""
    lines = body.split("\n")[:-1]
    stdin, out = [], []
    for n, line in enumerate(lines):
        if line == ">" or line.startswith("> "):
            typed = line[2:]
            if n == len(lines) - 1 and typed == "":
                out.append("> \n")  # Ctrl-D: end of input
            else:
                stdin.append(typed + "\n")
                out.append("> ")
        else:
            out.append(line + "\n")
    return "".join(stdin), "".join(out)


def run(exe, example, env):
    with tempfile.TemporaryDirectory(prefix="zn-guide-") as tmp:
        for cmd in example.setup:
            if subprocess.run(cmd, shell=True, cwd=tmp, env=env).returncode != 0:
                return ["setup command failed: " + cmd]
        if example.kind == "session":
            stdin, expected = session_io(example.body)
            cmd = [exe]
        else:
            with open(os.path.join(tmp, example.file), "w", newline="") as f:
                f.write(example.body.replace("\n", example.line_end))
            stdin, expected = example.input, example.output
            cmd = [exe, example.file] + example.args
        proc = subprocess.run(cmd, input=stdin.encode(), cwd=tmp, env=env, timeout=60,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    problems = []
    actual = proc.stdout.decode("utf-8", "replace")
    if actual != expected:
        problems.append("output differs\n--- expected\n%s--- actual\n%s---" % (expected, actual))
    if proc.returncode != example.exit:
        problems.append("exit status %d, expected %d" % (proc.returncode, example.exit))
    if proc.stderr:
        problems.append("standard error: %r" % proc.stderr[:500])
    return problems


def main():
    exe, guide = os.path.abspath(sys.argv[1]), sys.argv[2]
    with open(guide, encoding="utf-8") as f:
        examples, errors = parse(f.read())
    for message in errors:
        print("%s:%s" % (guide, message))
    # Setup lines may copy files from the examples folder beside the docs.
    env = dict(os.environ, ZN_EXAMPLES=os.path.join(
        os.path.dirname(os.path.abspath(guide)), os.pardir, "examples"))
    passed = failed = 0
    for example in examples:
        if example.output is None:
            continue  # already reported as missing its output block
        problems = run(exe, example, env)
        passed += not problems
        if problems:
            failed += 1
            print("%s:%d: example fails: %s" % (guide, example.line, "\n".join(problems)))
    print("%d passed, %d failed" % (passed, failed + len(errors)))
    return 1 if failed or errors or not examples else 0


if __name__ == "__main__":
    sys.exit(main())
