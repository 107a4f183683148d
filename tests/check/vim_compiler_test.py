#!/usr/bin/env python3
"""editors/vim/compiler/zarnith.vim: :make runs zarnith-check and fills the
quickfix list with the right lines, columns, types and messages. Headless Vim;
exits 77 (skipped) when Vim is not installed.

Usage: vim_compiler_test.py ZARNITH_CHECK SOURCE_DIR
"""
import os
import shutil
import subprocess
import sys
import tempfile


def main():
    check, source = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    vim = shutil.which("vim")
    if not vim:
        print("vim not installed: skipped")
        return 77
    with tempfile.TemporaryDirectory() as d:
        script = os.path.join(d, "mistakes.zn")
        with open(script, "w") as f:
            f.write('print "x"\njump, 0\n')
        out = os.path.join(d, "qf.txt")
        # The checker from the build tree stands first on PATH.
        bindir = os.path.join(d, "bin")
        os.mkdir(bindir)
        os.symlink(check, os.path.join(bindir, "zarnith-check"))
        env = dict(os.environ, PATH=bindir + os.pathsep + os.environ.get("PATH", ""))
        commands = [
            "set nocompatible",
            "let &runtimepath = '%s,' . &runtimepath" % os.path.join(source, "editors", "vim"),
            "compiler zarnith",
            "silent make",
            "call writefile(map(getqflist(), "
            "{_, e -> e.lnum . ':' . e.col . ':' . e.type . ':' . e.text}), '%s')" % out,
            "qa!",
        ]
        args = [vim, "-N", "-u", "NONE", "-i", "NONE", "-es", script]
        for c in commands:
            args += ["-c", c]
        subprocess.run(args, env=env, cwd=d, timeout=60, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with open(out) as f:
            got = f.read().splitlines()
    wanted = [
        "1:1:w:line matches no statement and does nothing: a comma is missing after 'print' "
        "[no-statement]",
        "2:7:e:jump target 0 is at or below 0: lines count from 1 [jump-target]",
    ]
    if got != wanted:
        print("quickfix list:\n  " + "\n  ".join(got))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
