#!/usr/bin/env python3
"""Tests of the bass class on the built-in engine that a golden script cannot
express on its own.

  engine_test.py url EXE MAKE_AUDIO
      URL streams from a local HTTP server on 127.0.0.1: WAV, Ogg and MP3 that
      play; a 404; a web page; a refused connection; a server that never answers.
  engine_test.py no-engine EXE
      The executable copied where the engine module cannot be found: scripts
      still run and every library call fails with an ordinary error.
  engine_test.py pulse EXE MAKE_AUDIO
      Real output (opt-in: needs pulseaudio and parec): a private PulseAudio
      server with a null sink; plays on the default device and on the sink
      listed as device 2, records the sink's monitor and checks that the tone
      arrives, at half its level after setvolume 50.
"""
import array
import functools
import http.server
import math
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

BANNER = "Zarnith 0.1.2.5 (07.02.2021)\n"


def run_shell(exe, lines, cwd):
    """Feeds the lines to the interactive shell and returns its output."""
    text = "".join(line + "\n" for line in lines)
    proc = subprocess.run([os.path.abspath(exe)], input=text.encode(), stdout=subprocess.PIPE, cwd=cwd, timeout=120)
    return proc.stdout.decode("utf-8", "replace")


def transcript(pairs):
    """The shell's output for (line, output) pairs: a prompt before each."""
    return BANNER + "".join("> " + out for _, out in pairs) + "> \n"


def check(exe, pairs, cwd):
    actual = run_shell(exe, [line for line, _ in pairs], cwd)
    expected = transcript(pairs)
    if actual == expected:
        return True
    sys.stdout.write("--- expected\n%s--- actual\n%s" % (expected, actual))
    return False


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def test_url(exe, make_audio):
    with tempfile.TemporaryDirectory(prefix="zn-url-") as tmp:
        for name, kind in (("tone.wav", "wav"), ("tone.ogg", "ogg"), ("tone.mp3", "mp3")):
            subprocess.run([os.path.abspath(make_audio), os.path.join(tmp, name), kind, "300"], check=True)
        with open(os.path.join(tmp, "page.html"), "w") as f:
            f.write("<html><body>not audio</body></html>\n")
        handler = functools.partial(QuietHandler, directory=tmp)
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        # A server that accepts connections and never answers.
        silent = socket.socket()
        silent.bind(("127.0.0.1", 0))
        silent.listen(4)
        base = "http://127.0.0.1:%d/" % server.server_address[1]
        refused = "http://127.0.0.1:%d/tone.wav" % free_port()
        mute = "http://127.0.0.1:%d/tone.wav" % silent.getsockname()[1]
        failed = lambda code: "error: 1: BASS error: %d\n=> -1\n" % code
        pairs = [
            ('use, "bass"', "=> 1\n"),
            ('bass:url, "%stone.wav"' % base, failed(8)),
            ("bass:init, 0", "=> 1\n"),
            ('bass:url, "%stone.wav"' % base, "=> 1\n"),
            ('bass:url, "%stone.ogg"' % base, "=> 2\n"),
            ('bass:url, "%stone.mp3"' % base, "=> 3\n"),
            ("bass:play, 1, 0", "=> 1\n"),
            ("bass:play, 2, 0", "=> 1\n"),
            ("bass:play, 3, 0", "=> 1\n"),
            ("bass:pause, 2", "=> 1\n"),
            ("bass:setvolume, 3, 30", "=> 30\n"),
            ('bass:url, "%smissing.wav"' % base, failed(2)),
            ('bass:url, "%spage.html"' % base, failed(41)),
            ('bass:url, "%s"' % refused, failed(32)),
            ('bass:url, "%s"' % mute, failed(40)),
            ("bass:free, 1", "=> 1\n"),
            ("bass:free, 2", "=> 1\n"),
            ("bass:free, 3", "=> 1\n"),
        ]
        try:
            return check(exe, pairs, tmp)
        finally:
            server.shutdown()
            silent.close()


def test_no_engine(exe):
    with tempfile.TemporaryDirectory(prefix="zn-noengine-") as tmp:
        alone = os.path.join(tmp, "zarnith")
        shutil.copy(exe, alone)
        pairs = [
            ('use, "bass"', "=> 1\n"),
            ("bass:init, 0", "error: 1: BASS init error\n=> 0\n"),
            ('bass:file, "tone.wav"', "error: 1: BASS error: 8\n=> -1\n"),
            ('bass:url, "http://127.0.0.1/"', "error: 1: BASS error: 8\n=> -1\n"),
            ("bass:test, 0", 'error: 1: BASS error\n=> "nil"\n'),
            ('print, "still running"', "still running\n"),
        ]
        return check(alone, pairs, tmp)


def rms_levels(raw, chunk=4410):
    """Root mean square of each 0.1 s of mono 16-bit samples."""
    samples = array.array("h", raw)
    levels = []
    for i in range(0, len(samples) - chunk + 1, chunk):
        part = samples[i:i + chunk]
        levels.append(math.sqrt(sum(x * x for x in part) / chunk))
    return levels


def record_while(exe, lines, tmp, env, seconds=3.0):
    """Runs the shell on the lines while recording `seconds` of the null
    sink's monitor, read as it comes so that nothing waits in a buffer."""
    rec = subprocess.Popen(["parec", "--latency-msec=20", "-d", "nullout.monitor",
                            "--format=s16le", "--channels=1", "--rate=44100"],
                           stdout=subprocess.PIPE, env=env)
    wanted = int(seconds * 44100) * 2
    data = bytearray()
    recording = threading.Event()

    def read():
        while len(data) < wanted:
            part = rec.stdout.read1(wanted - len(data))
            if not part:
                break
            data.extend(part)
            recording.set()
        recording.set()

    reader = threading.Thread(target=read)
    reader.start()
    # The recorder can take a while to connect; play only once it records.
    recording.wait(timeout=10)
    text = "".join(line + "\n" for line in lines)
    out = subprocess.run([os.path.abspath(exe)], input=text.encode(), stdout=subprocess.PIPE,
                         cwd=tmp, env=env, timeout=60).stdout.decode()
    reader.join(timeout=10)
    rec.terminate()
    rec.wait()
    return out, rms_levels(bytes(data))


def test_pulse(exe, make_audio):
    with tempfile.TemporaryDirectory(prefix="zn-pulse-") as tmp:
        os.chmod(tmp, 0o700)
        socket_path = os.path.join(tmp, "native")
        # The server and its clients keep their files in the temporary folder,
        # so no other program finds this server; GStreamer keeps its usual
        # plugin cache, which a fresh one would take seconds to rebuild.
        cache = os.environ.get("XDG_CACHE_HOME", os.path.expanduser("~/.cache"))
        env = dict(os.environ, HOME=tmp, XDG_RUNTIME_DIR=tmp, XDG_CONFIG_HOME=tmp,
                   XDG_CACHE_HOME=cache, PULSE_SERVER="unix:" + socket_path)
        server = subprocess.Popen(
            ["pulseaudio", "--system=false", "-n", "--daemonize=no", "--exit-idle-time=-1",
             "--use-pid-file=no", "-L",
             "module-null-sink sink_name=nullout sink_properties=device.description=Test_Null_Output",
             "-L", "module-native-protocol-unix socket=%s auth-anonymous=1" % socket_path],
            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            for _ in range(50):
                if os.path.exists(socket_path):
                    break
                time.sleep(0.1)
            subprocess.run([os.path.abspath(make_audio), os.path.join(tmp, "tone.wav"), "wav",
                            "1000"], check=True)
            ok = True
            for device, volume, level in (("-1", "100", 5657), ("2", "50", 2828)):
                out, levels = record_while(exe, [
                    'use, "bass"', "bass:test, 2", "print, returned",
                    "bass:init, " + device, 'bass:file, "tone.wav"',
                    "bass:setvolume, 1, " + volume, "bass:play, 1, 0", "sleep, 1300"], tmp, env)
                loud = [x for x in levels if abs(x - level) < level * 0.05]
                if "Test_Null_Output" not in out or len(loud) < 5:
                    sys.stdout.write("device %s: %r\nlevels %r\n" % (device, out, levels))
                    ok = False
            return ok
        finally:
            server.terminate()
            server.wait()


def main():
    if sys.argv[1] == "url":
        ok = test_url(sys.argv[2], sys.argv[3])
    elif sys.argv[1] == "pulse":
        ok = test_pulse(sys.argv[2], sys.argv[3])
    else:
        ok = test_no_engine(sys.argv[2])
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
