#!/usr/bin/env python3
"""scripts/install-deps.sh against stand-ins for dpkg-query, apt-get,
apt-cache, sudo, id and clang on the PATH, which log what they are asked and
keep a list of "installed" packages; and the Makefile's targets, which must
ask for the groups they need and no more.

Usage: install_deps_test.py SOURCE_DIR
"""
import os
import subprocess
import sys
import tempfile

STUBS = {
    "dpkg-query": """\
name=$(eval echo "\\${$#}")
grep -qx "$name" "$FAKE/installed" && printf 'install ok installed'
exit 0""",
    "apt-get": """\
echo "apt-get $*" >> "$FAKE/log"
if [ "$1" = install ]; then
  for p in "$@"; do case "$p" in -*|install) ;; *) echo "$p" >> "$FAKE/installed" ;; esac; done
fi""",
    "apt-cache": 'grep -qx "$2" "$FAKE/available"',
    "sudo": 'echo "sudo $1" >> "$FAKE/log"; "$@"',
    "id": 'echo "$FAKE_UID"',
    "clang": """\
grep -qx clang "$FAKE/installed" || exit 127
echo "Debian clang version 19.1.7 (3)"
echo "Target: x86_64-pc-linux-gnu\"""",
}

BUILD_GROUP = ["g++", "cmake", "ninja-build", "make", "pkg-config", "python3", "libssl-dev",
               "libedit-dev", "nlohmann-json3-dev", "libgstreamer1.0-dev", "gstreamer1.0-plugins-base",
               "gstreamer1.0-plugins-good", "gstreamer1.0-alsa"]
TEST_TOOLS = ["googletest", "libgtest-dev", "tmux", "vim", "neovim", "lintian", "clang"]


class Machine:
    """A temporary PATH with the stand-ins and an initial set of packages."""

    def __init__(self, tmp, installed, uid="1000", available=()):
        self.dir = tmp
        bin_dir = os.path.join(tmp, "bin")
        os.mkdir(bin_dir)
        for name, body in STUBS.items():
            path = os.path.join(bin_dir, name)
            with open(path, "w") as f:
                f.write("#!/bin/sh\n" + body + "\n")
            os.chmod(path, 0o755)
        self.write("installed", installed)
        self.write("available", available)
        self.write("log", [])
        self.env = dict(os.environ, FAKE=tmp, FAKE_UID=uid,
                        PATH=bin_dir + ":/usr/bin:/bin")

    def write(self, name, lines):
        with open(os.path.join(self.dir, name), "w") as f:
            f.write("".join(l + "\n" for l in lines))

    def read(self, name):
        with open(os.path.join(self.dir, name)) as f:
            return f.read().split()

    def log(self):
        with open(os.path.join(self.dir, "log")) as f:
            return f.read().splitlines()

    def run(self, script, *groups):
        return subprocess.run(["sh", script] + list(groups), env=self.env,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)


def check(failures, condition, what):
    if not condition:
        failures.append(what)


def test_script(script, failures):
    with tempfile.TemporaryDirectory(prefix="zn-deps-") as tmp:
        m = Machine(tmp, [])
        proc = m.run(script, "build")
        installed = m.read("installed")
        check(failures, proc.returncode == 0, "build group failed: " + proc.stdout)
        check(failures, sorted(installed) == sorted(BUILD_GROUP),
              "build group installed %s" % installed)
        check(failures, m.log()[0] == "sudo apt-get", "a user installs through sudo: %s" % m.log())

    with tempfile.TemporaryDirectory(prefix="zn-deps-") as tmp:
        m = Machine(tmp, BUILD_GROUP)
        proc = m.run(script, "build")
        check(failures, proc.returncode == 0 and proc.stdout == "" and m.log() == [],
              "nothing missing, yet: %r %s" % (proc.stdout, m.log()))

    with tempfile.TemporaryDirectory(prefix="zn-deps-") as tmp:
        m = Machine(tmp, BUILD_GROUP, available=["libclang-rt-19-dev"])
        proc = m.run(script, "build", "test", "fuzz")
        installed = m.read("installed")
        for p in TEST_TOOLS + ["dpkg-dev", "libclang-rt-19-dev"]:
            check(failures, p in installed, "test and fuzz groups did not install " + p)

    with tempfile.TemporaryDirectory(prefix="zn-deps-") as tmp:
        m = Machine(tmp, BUILD_GROUP + ["clang"], uid="0")
        proc = m.run(script, "fuzz")
        check(failures, "libclang-common-19-dev" in m.read("installed") and
              not any(l.startswith("sudo") for l in m.log()),
              "fuzz runtime where no libclang-rt exists, as root: %s" % m.log())
        proc = m.run(script, "nonsense")
        check(failures, proc.returncode != 0 and "unknown group" in proc.stdout,
              "an unknown group: %r" % proc.stdout)


def test_makefile(source, failures):
    """The groups each make target asks for (make -n prints the commands)."""
    expected = {"run": "build", "build": "build", "test": "build test",
                "sanitize": "build test", "fuzz": "build fuzz"}
    for target, groups in expected.items():
        out = subprocess.run(["make", "-n", "-C", source, target, "BUILD=/nonexistent"],
                             stdout=subprocess.PIPE, text=True).stdout
        asked = [l.split("install-deps.sh", 1)[1].strip() for l in out.splitlines()
                 if "install-deps.sh" in l]
        check(failures, asked == [groups],
              "make %s asks install-deps.sh for %s, expected [%r]" % (target, asked, groups))


def main():
    source = os.path.abspath(sys.argv[1])
    failures = []
    test_script(os.path.join(source, "scripts/install-deps.sh"), failures)
    test_makefile(source, failures)
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
