#!/usr/bin/env python3
"""Tests of the bass class on the built-in engine that a golden script cannot
express on its own.

  engine_test.py url EXE MAKE_AUDIO
      URL streams from a local HTTP server on 127.0.0.1: WAV, Ogg and MP3 that
      play; a 404; a web page; a refused connection; a server that never answers.
  engine_test.py traces EXE MAKE_AUDIO
      What streaming leaves behind: an endless WAV over HTTP is read only a
      bounded way ahead of playback, and no file stays in the temporary or
      cache folder after the end of the script, a second use, exit or SIGTERM;
      a missing cache folder is not created; nothing reaches standard error
      when the home folder cannot be written.
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
import struct
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


DECLARED_BYTES = 1 << 30   # the endless WAV's declared length
READ_AHEAD_CAP = 32 << 20  # a bounded buffer stays far below this


class EndlessHandler(http.server.SimpleHTTPRequestHandler):
    """Serves /endless.wav as fast as the client reads it (a 1 GiB silent
    WAV with its length declared) and counts the bytes sent; other names are
    files of the directory."""
    sent = 0

    def log_message(self, *args):
        pass

    def do_GET(self):
        if self.path != "/endless.wav":
            return super().do_GET()
        header = b"RIFF" + struct.pack("<I", 36 + DECLARED_BYTES) + b"WAVEfmt " + \
            struct.pack("<IHHIIHH", 16, 1, 1, 44100, 88200, 2, 16) + b"data" + \
            struct.pack("<I", DECLARED_BYTES)
        self.send_response(200)
        self.send_header("Content-Type", "audio/x-wav")
        self.send_header("Content-Length", str(len(header) + DECLARED_BYTES))
        self.end_headers()
        chunk = bytes(64 * 1024)
        try:
            self.wfile.write(header)
            for _ in range(DECLARED_BYTES // len(chunk)):
                self.wfile.write(chunk)
                EndlessHandler.sent += len(chunk)
        except OSError:
            pass


def read_ahead_settles():
    """Waits until the server sends less than 1 MiB a second (playback takes
    88 KiB a second) or has sent more than the cap; true when it settled."""
    last = EndlessHandler.sent
    for _ in range(30):
        time.sleep(1)
        now = EndlessHandler.sent
        if now > READ_AHEAD_CAP:
            sys.stdout.write("read %d bytes ahead\n" % now)
            return False
        if now - last < (1 << 20):
            return True
        last = now
    return False


def left_files(*folders):
    """Files and folders in the given folders, GStreamer's plugin cache aside."""
    found = []
    for folder in folders:
        for root, dirs, files in os.walk(folder):
            dirs[:] = [d for d in dirs if d != "gstreamer-1.0"]
            found += [os.path.join(root, n) for n in dirs + files]
    return found


def start(exe, lines, tmp, env):
    proc = subprocess.Popen([os.path.abspath(exe)], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, cwd=tmp, env=env)
    proc.stdin.write("".join(line + "\n" for line in lines).encode())
    proc.stdin.flush()
    return proc


def wait_for_line(proc, text):
    """Reads the shell's output up to a line that ends with text."""
    seen = b""
    while text.encode() + b"\n" not in seen:
        part = proc.stdout.read1(4096)
        if not part:
            return False
        seen += part
    return True


def test_traces(exe, make_audio):
    ok = True
    with tempfile.TemporaryDirectory(prefix="zn-traces-") as tmp:
        subprocess.run([os.path.abspath(make_audio), os.path.join(tmp, "tone.wav"), "wav", "300"],
                       check=True)
        server = http.server.ThreadingHTTPServer(
            ("127.0.0.1", 0), functools.partial(EndlessHandler, directory=tmp))
        threading.Thread(target=server.serve_forever, daemon=True).start()
        endless = 'bass:url, "http://127.0.0.1:%d/endless.wav"' % server.server_address[1]
        tone = 'bass:url, "http://127.0.0.1:%d/tone.wav"' % server.server_address[1]
        temp = os.path.join(tmp, "temp")
        cache = os.path.join(tmp, "cache")
        os.mkdir(temp)
        os.mkdir(cache)
        base = dict(os.environ)
        # Scanning plugins without a plugin cache, GLib abandons a block it
        # allocated while loading; under the sanitizers the suppression that
        # names it needs the whole call stack.
        if "ASAN_OPTIONS" in base:
            base["ASAN_OPTIONS"] += ":fast_unwind_on_malloc=0"
        env = dict(base, TMPDIR=temp, XDG_CACHE_HOME=cache)
        opening = ['use, "bass"', "bass:init, 0", endless, "bass:play, 1, 0"]
        try:
            # The read-ahead is capped; a second use and the end of the script
            # leave nothing behind.
            proc = start(exe, opening + ['print, "playing"', "readline"], tmp, env)
            if not wait_for_line(proc, "playing") or not read_ahead_settles():
                ok = False
            proc.stdin.write(b"\n")
            proc.communicate('\n'.join(['use, "bass"', "bass:init, 0", endless,
                                         "bass:play, 1, 0", ""]).encode(), timeout=60)
            # exit, and SIGTERM while the stream plays.
            proc = start(exe, opening + ["exit, 3"], tmp, env)
            proc.communicate(timeout=60)
            if proc.returncode != 3:
                sys.stdout.write("exit ended with status %d\n" % proc.returncode)
                ok = False
            proc = start(exe, opening + ['print, "playing"', "sleep, 60000"], tmp, env)
            ok &= wait_for_line(proc, "playing")
            proc.terminate()
            proc.communicate(timeout=60)
            left = left_files(temp, cache)
            if left:
                sys.stdout.write("left behind: %r\n" % left)
                ok = False
            # A missing cache folder stays missing; a home that cannot be
            # written draws no warning on standard error.
            home = os.path.join(tmp, "home-is-a-file")
            open(home, "w").close()
            missing = os.path.join(tmp, "missing", "cache")
            bare = {k: v for k, v in base.items()
                    if k not in ("XDG_CACHE_HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME")}
            for extra in ({"XDG_CACHE_HOME": missing}, {"HOME": home}):
                proc = start(exe, ['use, "bass"', "bass:init, 0", tone, "bass:play, 1, 0",
                                   'bass:file, "tone.wav"'], tmp, dict(bare, TMPDIR=temp, **extra))
                out, err = proc.communicate(timeout=60)
                if err or b"error" in out or os.path.exists(os.path.dirname(missing)) \
                        or left_files(temp):
                    sys.stdout.write("%r: %r %r %r\n" % (extra, out, err, left_files(temp)))
                    ok = False
        finally:
            server.shutdown()
    return ok


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
    elif sys.argv[1] == "traces":
        ok = test_traces(sys.argv[2], sys.argv[3])
    elif sys.argv[1] == "pulse":
        ok = test_pulse(sys.argv[2], sys.argv[3])
    else:
        ok = test_no_engine(sys.argv[2])
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
