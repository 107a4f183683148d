#!/usr/bin/env python3
"""Checks the editor files in editors/.

textmate: installs vscode-textmate and vscode-oniguruma from the committed
  package-lock.json (npm ci, into WORKDIR, once per lock file) and runs
  grammar_test.js on sample.zn and on every script in examples/.
extension: with the same packages, loads the VS Code extension through
  extension_test.js and checks which server it starts, and that it starts
  none when zarnith-lsp is not on the PATH.
vim: opens sample.zn in Vim with editors/vim on the runtime path and checks
  the filetype and the syntax groups at a few places.
neovim: runs nvim_lsp_test.lua in headless Neovim set up with the Neovim
  form of editors/README.md (the same in the guide), whose built-in LSP
  client talks to ZARNITH_LSP about a script in a temporary directory.
Exits 77 (skipped) when node (or, for vim, Vim; for neovim, Neovim) is not
installed.

Usage: editors_test.py textmate|extension|vim SOURCE_DIR WORKDIR
       editors_test.py neovim SOURCE_DIR WORKDIR ZARNITH_LSP
"""
import glob
import os
import shutil
import subprocess
import sys
import tempfile

SKIP = 77
HERE = os.path.dirname(os.path.abspath(__file__))


def install_packages(workdir, source=HERE):
    """npm ci of the package.json and package-lock.json in source into
    workdir, skipped when that lock file is already installed."""
    lock = os.path.join(source, "package-lock.json")
    stamp = os.path.join(workdir, "node_modules", ".zarnith-lock")
    with open(lock, "rb") as f:
        wanted = f.read()
    if os.path.exists(stamp):
        with open(stamp, "rb") as f:
            if f.read() == wanted:
                return
    os.makedirs(workdir, exist_ok=True)
    for name in ("package.json", "package-lock.json"):
        shutil.copy(os.path.join(source, name), workdir)
    subprocess.run(["npm", "ci", "--no-audit", "--no-fund", "--loglevel=error"],
                   cwd=workdir, check=True)
    with open(stamp, "wb") as f:
        f.write(wanted)


def run_node(workdir, script, args):
    """Runs script with the installed packages; SKIP when node is missing."""
    if shutil.which("node") is None or shutil.which("npm") is None:
        print("node is not installed; skipping")
        return SKIP
    install_packages(workdir)
    env = dict(os.environ, NODE_PATH=os.path.join(workdir, "node_modules"))
    return subprocess.run(["node", os.path.join(HERE, script)] + args, env=env).returncode


def textmate(source, workdir):
    grammar = os.path.join(source, "editors/vscode/syntaxes/zarnith.tmLanguage.json")
    scripts = sorted(glob.glob(os.path.join(source, "examples/*.zn")))
    return run_node(workdir, "grammar_test.js",
                    [grammar, os.path.join(HERE, "sample.zn")] + scripts)


def extension(source, workdir):
    return run_node(workdir, "extension_test.js", [os.path.join(source, "editors/vscode")])


# (line, column, syntax group) in sample.zn, 1-based as Vim counts.
VIM_CHECKS = [
    (1, 1, "znComment"),
    (5, 1, "znStatement"),
    (5, 6, "znString"),
    (10, 1, "znClassName"),
    (10, 8, "znCommand"),
    (15, 8, "znReserved"),
    (18, 7, "znType"),
    (18, 18, "znNumber"),
    (22, 9, "znNumber"),
    (26, 14, "znOperator"),
    (30, 1, "znConditional"),
    (34, 2, "znStatement"),
    (37, 1, "znConditional"),
    (39, 1, "znBadIndent"),
    (44, 7, ""),
    (47, 1, "znFlow"),
]


def vim(source, _workdir):
    if shutil.which("vim") is None:
        print("vim is not installed; skipping")
        return SKIP
    runtime = os.path.join(source, "editors/vim")
    with tempfile.TemporaryDirectory(prefix="zn-vim-") as tmp:
        out = os.path.join(tmp, "out.txt")
        probes = "".join('call add(g:out, synIDattr(synID(%d, %d, 1), "name"))|' % (l, c)
                         for l, c, _ in VIM_CHECKS)
        cmd = ["vim", "-u", "NONE", "-i", "NONE", "-N", "-n", "-es",
               "--cmd", "set rtp^=" + runtime,
               "-c", "filetype on", "-c", "syntax on",
               "-c", "edit " + os.path.join(HERE, "sample.zn"),
               "-c", "let g:out = [&filetype]|" + probes + "call writefile(g:out, '%s')" % out,
               "-c", "qa!"]
        subprocess.run(cmd, stdin=subprocess.DEVNULL, timeout=60)
        with open(out) as f:
            got = f.read().split("\n")
    failures = []
    if got[0] != "zarnith":
        failures.append("filetype %r, expected zarnith" % got[0])
    for (line, col, want), have in zip(VIM_CHECKS, got[1:]):
        if have != want:
            failures.append("line %d column %d: %r, expected %r" % (line, col, have, want))
    for f in failures:
        print(f)
    print("%d vim checks: %s" % (len(VIM_CHECKS) + 1,
                                 "%d failed" % len(failures) if failures else "all passed"))
    return 1 if failures else 0


# The script nvim_lsp_test.lua edits; its comment shows the lines by number.
NEOVIM_SCRIPT = """# Counts to three, then says so.
i = 0
prnt, "counting"
end
i = i+1
if i == 3
jump, 10
end
jump, 4
end
print, "done"
"""


def neovim_setup(path, after):
    """The first lua block after the heading `after` in the Markdown file."""
    with open(path) as f:
        text = f.read()
    start = text.index("```lua\n", text.index(after)) + len("```lua\n")
    return text[start:text.index("```\n", start)]


# Keeps the server's exit status for the test, around the setup's own start.
RECORD_EXIT = ("lua local start = vim.lsp.start_client; vim.lsp.start_client = function(config) "
               "config.on_exit = function(code) _G.zarnith_lsp_exit = code end; "
               "return start(config) end")


def neovim(source, _workdir, server):
    if shutil.which("nvim") is None:
        print("nvim is not installed; skipping")
        return SKIP
    setup = neovim_setup(os.path.join(source, "editors/README.md"), "## Neovim")
    guide = neovim_setup(os.path.join(source, "docs/language.md"), "## 17. Editors")
    if guide != setup:
        print("the guide's Neovim setup differs from editors/README.md's")
        return 1
    installed = "/usr/share/zarnith/editors/vim"
    assert installed in setup, setup
    with tempfile.TemporaryDirectory(prefix="zn-nvim-") as tmp:
        script = os.path.join(tmp, "count.zn")
        with open(script, "w") as f:
            f.write(NEOVIM_SCRIPT)
        init = os.path.join(tmp, "init.lua")
        with open(init, "w") as f:
            f.write(setup.replace(installed, os.path.join(source, "editors/vim")))
        # The setup finds zarnith-lsp on the PATH; Neovim's own files (its LSP
        # log among them) stay in the temporary directory.
        env = dict(os.environ,
                   PATH=os.path.dirname(os.path.abspath(server)) + os.pathsep + os.environ["PATH"],
                   **{"XDG_%s_HOME" % d: os.path.join(tmp, d.lower())
                      for d in ("CONFIG", "DATA", "STATE", "CACHE")})
        cmd = ["nvim", "--headless", "--cmd", RECORD_EXIT, "-u", init, "-i", "NONE", "-n", script,
               "-c", "luafile " + os.path.join(HERE, "nvim_lsp_test.lua")]
        try:
            status = subprocess.run(cmd, env=env, cwd=tmp, stdin=subprocess.DEVNULL,
                                    timeout=120).returncode
        except subprocess.TimeoutExpired:
            print("nvim did not finish within 120 seconds")
            status = 1
        if status != 0:
            for log in glob.glob(os.path.join(tmp, "*", "nvim", "lsp.log")):
                with open(log, errors="replace") as f:
                    print("--- the end of %s:\n%s" % (log, "".join(f.readlines()[-30:])))
    return status


def main():
    mode, source, workdir = sys.argv[1], os.path.abspath(sys.argv[2]), os.path.abspath(sys.argv[3])
    if mode == "neovim":
        return neovim(source, workdir, sys.argv[4])
    return {"textmate": textmate, "extension": extension, "vim": vim}[mode](source, workdir)


if __name__ == "__main__":
    sys.exit(main())
