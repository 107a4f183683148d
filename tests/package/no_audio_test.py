#!/usr/bin/env python3
"""Builds the interpreter with -DZARNITH_AUDIO=OFF where pkg-config finds no
GStreamer, and checks that the bass class then fails its init as it does
wherever no audio engine can be loaded.

Usage: no_audio_test.py SOURCE_DIR CXX_COMPILER
"""
import os
import subprocess
import sys
import tempfile

SCRIPT = 'use, "bass"\nbass:init, 0\nprint, "still running"\n'
EXPECTED = "error: 2: BASS init error\nstill running\n"


def main():
    source, cxx = os.path.abspath(sys.argv[1]), sys.argv[2]
    with tempfile.TemporaryDirectory(prefix="zn-noaudio-") as tmp:
        build = os.path.join(tmp, "build")
        # No .pc files at all: a build that still asked for GStreamer fails.
        # Build type None: no optimisation and no debug information, the
        # quickest build.
        env = dict(os.environ, PKG_CONFIG_LIBDIR=tmp, PKG_CONFIG_PATH="")
        subprocess.run(["cmake", "-S", source, "-B", build, "-G", "Ninja",
                        "-DCMAKE_BUILD_TYPE=None", "-DCMAKE_CXX_COMPILER=" + cxx,
                        "-DZARNITH_AUDIO=OFF", "-DZARNITH_TESTS=OFF"],
                       env=env, check=True, stdout=subprocess.DEVNULL)
        subprocess.run(["nice", "cmake", "--build", build, "--target", "zarnith"],
                       env=env, check=True, stdout=subprocess.DEVNULL)
        modules = [f for f in os.listdir(build) if f.endswith(".so")]
        assert not modules, "built without audio, yet: %s" % modules
        script = os.path.join(tmp, "bass.zn")
        with open(script, "w") as f:
            f.write(SCRIPT)
        proc = subprocess.run([os.path.join(build, "zarnith"), script], cwd=tmp,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        assert (proc.stdout, proc.stderr, proc.returncode) == (EXPECTED, "", 0), \
            "status %d\n--- stdout\n%s--- stderr\n%s" % (proc.returncode, proc.stdout, proc.stderr)
    print("no audio: built and ran")
    return 0


if __name__ == "__main__":
    sys.exit(main())
