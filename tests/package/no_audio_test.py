#!/usr/bin/env python3
"""Runs the interpreter built with -DZARNITH_AUDIO=OFF where pkg-config found
no GStreamer (the build's no_audio_build step makes it), and checks that the
bass class then fails its init as it does wherever no audio engine can be
loaded.

Usage: no_audio_test.py NO_AUDIO_BUILD_DIR
"""
import os
import subprocess
import sys
import tempfile

SCRIPT = 'use, "bass"\nbass:init, 0\nprint, "still running"\n'
EXPECTED = "error: 2: BASS init error\nstill running\n"


def main():
    build = os.path.abspath(sys.argv[1])
    zarnith = os.path.join(build, "zarnith")
    assert os.access(zarnith, os.X_OK), "not built: %s" % zarnith
    modules = [f for f in os.listdir(build) if f.endswith(".so")]
    assert not modules, "built without audio, yet: %s" % modules
    with tempfile.TemporaryDirectory(prefix="zn-noaudio-") as tmp:
        script = os.path.join(tmp, "bass.zn")
        with open(script, "w") as f:
            f.write(SCRIPT)
        proc = subprocess.run([zarnith, script], cwd=tmp,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        assert (proc.stdout, proc.stderr, proc.returncode) == (EXPECTED, "", 0), \
            "status %d\n--- stdout\n%s--- stderr\n%s" % (proc.returncode, proc.stdout, proc.stderr)
    print("no audio: ran")
    return 0


if __name__ == "__main__":
    sys.exit(main())
