#!/usr/bin/env python3
"""Runs debug_client_test.js with node's test runner against zarnith-dap,
after installing its npm packages from the committed lock file (npm ci into
WORKDIR, once per lock file). Exits 77 (skipped) when node is not installed.

Usage: debug_client.py ZARNITH_DAP WORKDIR
"""
import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "editors"))
from editors_test import SKIP, install_packages  # noqa: E402


def main():
    adapter, workdir = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    if shutil.which("node") is None or shutil.which("npm") is None:
        print("node is not installed; skipping")
        return SKIP
    install_packages(workdir, HERE)
    env = dict(os.environ, ZARNITH_DAP=adapter, NODE_PATH=os.path.join(workdir, "node_modules"))
    return subprocess.run(["node", "--test", os.path.join(HERE, "debug_client_test.js")],
                          env=env).returncode


if __name__ == "__main__":
    sys.exit(main())
