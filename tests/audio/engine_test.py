#!/usr/bin/env python3
"""Tests of the bass class on the built-in engine that a golden script cannot
express on its own.

  engine_test.py url EXE MAKE_AUDIO
      URL streams from a local HTTP server on 127.0.0.1: WAV, Ogg and MP3 that
      play; a 404; a web page; a refused connection; a server that never answers.
  engine_test.py no-engine EXE
      The executable copied where the engine module cannot be found: scripts
      still run and every library call fails with an ordinary error.
"""
import functools
import http.server
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading

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


def main():
    if sys.argv[1] == "url":
        ok = test_url(sys.argv[2], sys.argv[3])
    else:
        ok = test_no_engine(sys.argv[2])
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
