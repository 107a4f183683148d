"""A small client of the language server over its standard input and output,
for the protocol tests."""
import fcntl
import json
import os
import select
import subprocess

F_SETPIPE_SZ = 1031  # Linux: the size of a pipe's buffer


class Client:
    def __init__(self, server, encodings=None, handshake=True):
        self.proc = subprocess.Popen([server], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE)
        self.buffer = b""
        self.timeout = 10  # seconds to wait for each message
        self.next_id = 1
        self.pending = []  # messages read while waiting for another
        if not handshake:
            return
        caps = {}
        if encodings:
            caps["general"] = {"positionEncodings": encodings}
        self.init = self.request("initialize", {"processId": None, "rootUri": None,
                                                "capabilities": caps})
        self.notify("initialized", {})

    def send_raw(self, data):
        self.proc.stdin.write(data)
        self.proc.stdin.flush()

    @staticmethod
    def frame(message):
        body = json.dumps(message).encode()
        return b"Content-Length: %d\r\n\r\n" % len(body) + body

    def send(self, message):
        self.send_raw(self.frame(message))

    def send_burst(self, messages):
        """Sends the messages with one write, so that the server finds all of
        them waiting. Returns False when the pipe cannot be made large enough
        to take them at once."""
        data = b"".join(self.frame(m) for m in messages)
        fd = self.proc.stdin.fileno()
        try:
            if fcntl.fcntl(fd, F_SETPIPE_SZ, len(data)) < len(data):
                return False
        except OSError:
            return False
        self.proc.stdin.flush()
        return os.write(fd, data) == len(data)

    def notify(self, method, params):
        self.send({"jsonrpc": "2.0", "method": method, "params": params})

    def request(self, method, params):
        """Sends a request and returns its whole response."""
        rid = self.next_id
        self.next_id += 1
        self.send({"jsonrpc": "2.0", "id": rid, "method": method, "params": params})
        return self.wait(lambda m: m.get("id") == rid and "method" not in m)

    def read_message(self, timeout=None):
        timeout = timeout or self.timeout
        while True:
            head, sep, rest = self.buffer.partition(b"\r\n\r\n")
            if sep:
                length = int(head.split(b":")[1])
                if len(rest) >= length:
                    self.buffer = rest[length:]
                    return json.loads(rest[:length])
            ready, _, _ = select.select([self.proc.stdout], [], [], timeout)
            if not ready:
                raise TimeoutError("the server did not answer in time")
            chunk = os.read(self.proc.stdout.fileno(), 65536)
            if not chunk:
                raise EOFError("the server closed its output")
            self.buffer += chunk

    def wait(self, wanted):
        for i, m in enumerate(self.pending):
            if wanted(m):
                return self.pending.pop(i)
        while True:
            m = self.read_message()
            if wanted(m):
                return m
            self.pending.append(m)

    def notification(self, method):
        return self.wait(lambda m: m.get("method") == method and "id" not in m)

    def open(self, uri, text):
        self.notify("textDocument/didOpen", {"textDocument": {
            "uri": uri, "languageId": "zarnith", "version": 1, "text": text}})
        return self.notification("textDocument/publishDiagnostics")["params"]

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        for f in (self.proc.stdin, self.proc.stdout, self.proc.stderr):
            f.close()

    def close(self):
        """Shuts the server down and returns its exit status."""
        self.request("shutdown", None)
        self.notify("exit", None)
        self.proc.stdin.close()
        status = self.proc.wait(timeout=10)
        self.stderr = self.proc.stderr.read()
        return status
