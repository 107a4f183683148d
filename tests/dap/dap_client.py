"""A small client of zarnith-dap over its standard input and output, for the
protocol transcripts. The framing is the language server's (lsp_client)."""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lsp"))
from lsp_client import Client as FramedClient  # noqa: E402


class Client(FramedClient):
    def __init__(self, adapter):
        super().__init__(adapter, handshake=False)
        self.seq = 0

    def request(self, command, arguments=None, wait=True):
        """Sends a request and returns its response (or its seq)."""
        self.seq += 1
        seq = self.seq
        message = {"seq": seq, "type": "request", "command": command}
        if arguments is not None:
            message["arguments"] = arguments
        self.send(message)
        if not wait:
            return seq
        return self.response(seq)

    def response(self, seq):
        return self.wait(lambda m: m.get("type") == "response" and m.get("request_seq") == seq)

    def event(self, name):
        return self.wait(lambda m: m.get("type") == "event" and m.get("event") == name)

    def output(self, category="stdout"):
        """The output events of that category received so far, joined."""
        text = ""
        keep = []
        for m in self.pending:
            if m.get("event") == "output" and m["body"]["category"] == category:
                text += m["body"]["output"]
            else:
                keep.append(m)
        self.pending = keep
        return text

    def launch(self, program, breakpoints=None, exceptions=None, **settings):
        """initialize, launch, breakpoints on lines of the program and the
        exception filters, then configurationDone: the script runs. The
        launch's response."""
        init = self.request("initialize", {"adapterID": "zarnith", "linesStartAt1": True})
        assert init["success"], init
        launch = self.request("launch", dict(program=program, **settings))
        if not launch["success"]:
            return launch
        self.event("initialized")
        if breakpoints:
            self.set_breakpoints(program, breakpoints)
        if exceptions is not None:
            self.request("setExceptionBreakpoints", {"filters": exceptions})
        self.request("configurationDone")
        return launch

    def set_breakpoints(self, program, breakpoints):
        specs = [b if isinstance(b, dict) else {"line": b} for b in breakpoints]
        return self.request("setBreakpoints", {"source": {"path": program}, "breakpoints": specs})

    def stopped(self):
        """Waits for a stop: (reason, line, the event's body)."""
        body = self.event("stopped")["body"]
        frame = self.request("stackTrace", {"threadId": 1})["body"]["stackFrames"][0]
        return body["reason"], frame["line"], body

    def variables(self, reference=1, **args):
        args["variablesReference"] = reference
        shown = {}
        for v in self.request("variables", args)["body"]["variables"]:
            # A name held by two stores is shown twice: the second as NAME#2.
            shown[v["name"] + ("#2" if v["name"] in shown else "")] = v
        return shown

    def value(self, name):
        return self.variables()[name]["value"]

    def exit_status(self):
        status = self.event("exited")["body"]["exitCode"]
        self.event("terminated")
        return status

    def close(self):
        """Disconnects; the adapter's exit status."""
        if self.proc.poll() is None:
            self.request("disconnect", {}, wait=False)
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        for f in (self.proc.stdin, self.proc.stdout, self.proc.stderr):
            f.close()
        return self.proc.returncode
