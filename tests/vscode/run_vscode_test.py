#!/usr/bin/env python3
"""make test-vscode: the Zarnith extension, zarnith-lsp and zarnith-dap in
real VS Code. Installs code-server and puppeteer-core from the committed lock
file (npm ci into WORKDIR, once per lock file), starts code-server on a free
loopback port with a throw-away user data folder and the extension from
editors/vscode, and runs vscode_test.js against it in Debian's chromium.

code-server's install needs three things this machine's network cannot give
it otherwise: npm_config_unsafe_perm and npm_config_yes for its post-install
step, and @vscode/ripgrep's download cache (a folder under the temporary
directory, named after the package's version, holding the tarball it would
download) seeded with Debian's rg.

Usage: run_vscode_test.py SOURCE_DIR BUILD_DIR WORKDIR
"""
import json
import os
import shutil
import socket
import subprocess
import sys
import tarfile
import tempfile
import time
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "editors"))
from editors_test import install_packages  # noqa: E402

# What @vscode/ripgrep in code-server 4.100.3 expects to download.
RIPGREP_PACKAGE = "1.15.11"
RIPGREP_ASSET = "ripgrep-v13.0.0-10-x86_64-unknown-linux-musl.tar.gz"

# Line 6 jumps back to line 3; line 8 lacks its comma (the checker says so).
SCRIPT = """# A loop for the debugger.
i = 0
end
i = i+1
if i < 3
jump, 3
end
prnt "done"
"""


def seed_ripgrep_cache():
    cache = os.path.join(tempfile.gettempdir(), "vscode-ripgrep-cache-" + RIPGREP_PACKAGE)
    os.makedirs(cache, exist_ok=True)
    tarball = os.path.join(cache, RIPGREP_ASSET)
    if not os.path.exists(tarball):
        with tarfile.open(tarball, "w:gz") as tar:
            tar.add(shutil.which("rg") or "/usr/bin/rg", arcname="rg")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def install_extension(source, extensions):
    """editors/vscode as an installed extension, with its language client."""
    with open(os.path.join(source, "editors/vscode/package.json")) as f:
        manifest = json.load(f)
    target = os.path.join(extensions, "%s.%s-%s" % (manifest["publisher"], manifest["name"],
                                                     manifest["version"]))
    shutil.copytree(os.path.join(source, "editors/vscode"), target,
                    ignore=shutil.ignore_patterns("node_modules"))
    subprocess.run(["npm", "ci", "--no-audit", "--no-fund", "--loglevel=error"], cwd=target, check=True)


def write_settings(data, build):
    """The throw-away user's settings. code-server's window is a remote one:
    the programs' paths (machine-scoped settings) are read from the machine's
    settings, and a value in the user's settings is ignored there. Naming the
    programs is needed: the extension host does not keep code-server's PATH."""
    user, machine = os.path.join(data, "User"), os.path.join(data, "Machine")
    os.makedirs(user)
    os.makedirs(machine)
    with open(os.path.join(machine, "settings.json"), "w") as f:
        json.dump({"zarnith.server.path": os.path.join(build, "zarnith-lsp"),
                   "zarnith.dap.path": os.path.join(build, "zarnith-dap")}, f)
    with open(os.path.join(user, "settings.json"), "w") as f:
        json.dump({"workbench.startupEditor": "none",
                   "security.workspace.trust.enabled": False,
                   "telemetry.telemetryLevel": "off",
                   "extensions.autoCheckUpdates": False,
                   "update.mode": "none",
                   "debug.showVariableTypes": True}, f)


def wait_until_serving(url, proc, seconds=180):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if proc.poll() is not None:
            raise RuntimeError("code-server ended with status %d" % proc.returncode)
        try:
            urllib.request.urlopen(url, timeout=5)
            return
        except OSError:
            time.sleep(0.5)
    raise RuntimeError("code-server did not answer within %d seconds" % seconds)


def main():
    source, build, workdir = (os.path.abspath(a) for a in sys.argv[1:4])
    subprocess.run(["sh", os.path.join(source, "scripts/install-deps.sh"), "vscode"], check=True)
    seed_ripgrep_cache()
    os.environ.update(npm_config_unsafe_perm="true", npm_config_yes="true")
    install_packages(workdir, HERE)
    started = time.monotonic()
    with tempfile.TemporaryDirectory(prefix="zn-vscode-") as tmp:
        workspace = os.path.join(tmp, "workspace")
        os.makedirs(workspace)
        with open(os.path.join(workspace, "loop.zn"), "w") as f:
            f.write(SCRIPT)
        data, extensions = os.path.join(tmp, "data"), os.path.join(tmp, "extensions")
        os.makedirs(extensions)
        install_extension(source, extensions)
        write_settings(data, build)
        port = free_port()
        server = subprocess.Popen(
            [os.path.join(workdir, "node_modules/.bin/code-server"), "--bind-addr", "127.0.0.1:%d" % port,
             "--auth", "none", "--user-data-dir", data, "--extensions-dir", extensions,
             "--disable-telemetry", "--disable-update-check", "--disable-workspace-trust", workspace],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            env=dict(os.environ, HOME=tmp))
        try:
            url = "http://127.0.0.1:%d/?folder=%s" % (port, workspace)
            wait_until_serving("http://127.0.0.1:%d/healthz" % port, server)
            env = dict(os.environ, NODE_PATH=os.path.join(workdir, "node_modules"), VSCODE_URL=url,
                       CHROMIUM=shutil.which("chromium") or "/usr/bin/chromium")
            status = subprocess.run(["node", "--test", "--test-concurrency=1",
                                     os.path.join(HERE, "vscode_test.js")], env=env).returncode
        finally:
            server.terminate()
            server.wait(timeout=30)
            # VS Code's own logs (its extension host's among them), for a failure.
            logs = os.path.join(workdir, "logs")
            shutil.rmtree(logs, ignore_errors=True)
            if os.path.isdir(os.path.join(data, "logs")):
                shutil.copytree(os.path.join(data, "logs"), logs)
    print("test-vscode: %s in %.0f s (after the install)" % ("passed" if status == 0 else "FAILED",
                                                            time.monotonic() - started))
    return status


if __name__ == "__main__":
    sys.exit(main())
