#!/usr/bin/env python3
"""Talks to zarnith-lsp over its standard input and output as an editor does.

Usage: protocol_test.py ZARNITH_LSP
"""
import os
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from lsp_client import Client  # noqa: E402

SERVER = None
URI = "file:///work/loop.zn"

LOOP = """i = 0
end
i = i+1
if i < 3
jump, 2
end
print, "done"
"""


def pos(line, character):
    return {"line": line, "character": character}


def doc_params(line, character, uri=URI):
    return {"textDocument": {"uri": uri}, "position": pos(line, character)}


def insert(client, line, character, text, uri=URI, version=2):
    client.notify("textDocument/didChange", {
        "textDocument": {"uri": uri, "version": version},
        "contentChanges": [{"range": {"start": pos(line, character), "end": pos(line, character)},
                            "text": text}]})
    return client.notification("textDocument/publishDiagnostics")["params"]


def delete_lines(client, first, end, uri=URI, version=2):
    client.notify("textDocument/didChange", {
        "textDocument": {"uri": uri, "version": version},
        "contentChanges": [{"range": {"start": pos(first, 0), "end": pos(end, 0)}, "text": ""}]})
    client.notification("textDocument/publishDiagnostics")


def actions(client, uri=URI):
    return client.request("textDocument/codeAction", {
        "textDocument": {"uri": uri}, "range": {"start": pos(0, 0), "end": pos(0, 0)},
        "context": {"diagnostics": []}})["result"]


def update_jumps(client, uri=URI):
    """Runs the update action and returns the edits the server asked for."""
    found = actions(client, uri)
    command = found[0]["command"]
    client.request("workspace/executeCommand", command)
    apply = client.wait(lambda m: m.get("method") == "workspace/applyEdit")
    client.send({"jsonrpc": "2.0", "id": apply["id"], "result": {"applied": True}})
    return found[0]["title"], apply["params"]["edit"]["changes"][uri]


def make_edits(client, edits, uri=URI, version=3):
    """Makes the server's edits as the editor would."""
    client.notify("textDocument/didChange", {
        "textDocument": {"uri": uri, "version": version},
        "contentChanges": [{"range": e["range"], "text": e["newText"]}
                           for e in sorted(edits, key=lambda e: e["range"]["start"]["line"],
                                           reverse=True)]})
    client.notification("textDocument/publishDiagnostics")


class ServerTest(unittest.TestCase):
    def client(self, encodings=None, handshake=True):
        client = Client(SERVER, encodings, handshake)
        self.addCleanup(client.kill)
        return client

    def start(self, text=LOOP, encodings=None):
        client = self.client(encodings)
        self.diagnostics = client.open(URI, text)["diagnostics"]
        return client


class Lifecycle(ServerTest):
    def test_initialize_shutdown_exit(self):
        client = self.client()
        caps = client.init["result"]["capabilities"]
        self.assertEqual(caps["positionEncoding"], "utf-16")
        self.assertEqual(caps["textDocumentSync"], {"openClose": True, "change": 2})
        self.assertEqual(caps["executeCommandProvider"]["commands"], ["zarnith.updateJumpTargets"])
        self.assertEqual(client.close(), 0)
        self.assertEqual(client.stderr, b"")

    def test_order_of_the_lifecycle(self):
        client = self.client(handshake=False)
        early = client.request("textDocument/hover", doc_params(0, 0))
        self.assertEqual(early["error"]["code"], -32002)
        client.request("initialize", {"capabilities": {}})
        self.assertEqual(client.request("initialize", {"capabilities": {}})["error"]["code"], -32600)
        client.request("shutdown", None)
        late = client.request("textDocument/hover", doc_params(0, 0))
        self.assertEqual(late["error"]["code"], -32600)
        client.notify("exit", None)
        self.assertEqual(client.proc.wait(timeout=10), 0)

    def test_exit_without_shutdown_and_end_of_input(self):
        client = self.client()
        client.notify("exit", None)
        self.assertEqual(client.proc.wait(timeout=10), 1)
        client = self.client()
        client.proc.stdin.close()
        self.assertEqual(client.proc.wait(timeout=10), 1)


class Malformed(ServerTest):
    def test_every_bad_message_is_answered_and_the_server_goes_on(self):
        client = self.start()
        client.send_raw(b"Content-Length: 9\r\n\r\n{not json")
        self.assertEqual(client.read_message()["error"]["code"], -32700)
        client.send_raw(b"Content-Type: x\r\n\r\n")
        self.assertEqual(client.read_message()["error"]["code"], -32700)
        client.send_raw(b"Content-Length: 12x\r\n\r\n")
        self.assertEqual(client.read_message()["error"]["code"], -32700)
        for message, code in [([1, 2], -32600),
                              ({"jsonrpc": "2.0", "id": {"a": 1}, "method": "x"}, -32600),
                              ({"jsonrpc": "2.0", "id": 7, "method": 5}, -32600),
                              ({"jsonrpc": "2.0", "id": 7}, -32600),
                              ({"jsonrpc": "2.0", "id": 7, "method": "no/such"}, -32601),
                              ({"jsonrpc": "2.0", "id": 7, "method": "textDocument/hover",
                                "params": {"textDocument": {"uri": URI}, "position": "x"}}, -32602),
                              ({"jsonrpc": "2.0", "id": 7, "method": "textDocument/hover",
                                "params": doc_params(0, 0, "file:///closed.zn")}, -32602),
                              ({"jsonrpc": "2.0", "id": 7, "method": "workspace/executeCommand",
                                "params": {"command": "rm -rf"}}, -32602),
                              ({"jsonrpc": "2.0", "id": 7, "method": "shutdown",
                                "params": 3}, -32602)]:
            client.send(message)
            self.assertEqual(client.read_message()["error"]["code"], code, message)
        # A notification cannot be answered: the client's log hears of it.
        client.notify("textDocument/didChange", {"textDocument": {"uri": URI}})
        self.assertEqual(client.notification("window/logMessage")["params"]["type"], 1)
        client.notify("$/cancelRequest", {"id": 1})
        self.assertIsNotNone(client.request("textDocument/hover", doc_params(4, 0))["result"])
        self.assertEqual(client.close(), 0)
        self.assertEqual(client.stderr, b"")

    def test_positions_outside_the_document(self):
        client = self.start()
        for line, character in [(99, 0), (0, 999), (2**31 - 1, 2**31 - 1)]:
            for method in ["textDocument/hover", "textDocument/definition",
                           "textDocument/completion", "textDocument/references"]:
                params = doc_params(line, character)
                params["context"] = {"includeDeclaration": True}
                self.assertNotIn("error", client.request(method, params), (method, line))
        insert(client, 500, 500, "\nprnt\n")
        self.assertEqual(client.close(), 0)

    def test_numbers_that_are_no_position_or_version_are_refused(self):
        client = self.start()
        for line, character in [(1e300, -1.5), (-1, 0), (0, -1), (2**31, 0), (2**64, 0),
                                (1.0, 0), ("1", 0)]:
            for method in ["textDocument/hover", "textDocument/completion"]:
                answer = client.request(method, doc_params(line, character))
                self.assertEqual(answer["error"]["code"], -32602, (method, line, character))
        # Refused notifications change nothing, not even the changes before the bad one.
        good = {"range": {"start": pos(0, 0), "end": pos(0, 0)}, "text": "prnt\n"}
        for version, changes in [(1e300, [good]), (2.5, [good]), (3, [good, {
                "range": {"start": pos(0, -1), "end": pos(0, 0)}, "text": "x"}])]:
            client.notify("textDocument/didChange", {
                "textDocument": {"uri": URI, "version": version}, "contentChanges": changes})
            self.assertIn("invalid params", client.notification("window/logMessage")
                          ["params"]["message"])
        client.notify("textDocument/didOpen", {"textDocument": {
            "uri": "file:///new.zn", "languageId": "zarnith", "version": 0.5, "text": "x = 1"}})
        client.notification("window/logMessage")
        closed = client.request("textDocument/hover", doc_params(0, 0, "file:///new.zn"))
        self.assertEqual(closed["error"]["code"], -32602)
        hover = client.request("textDocument/hover", doc_params(4, 1))["result"]
        self.assertIn("Jumps to line 2:", hover["contents"]["value"])
        self.assertEqual(client.close(), 0)

    def test_broken_framing_costs_only_its_own_message(self):
        client = self.start()
        for broken in [b"Content-Length: +2\r\n\r\n{}", b"Content-Type: x\r\n\r\n{}",
                       b"Content-Length: 2\0\r\n\r\n{}", b"Content-Length: 2\n\n{}",
                       b"Content-Length: 1\r\n\r\n{}"]:
            client.send_raw(broken)
            answer = client.request("textDocument/hover", doc_params(4, 1))
            self.assertIn("Jumps to line 2:", answer["result"]["contents"]["value"], broken)
            errors = [m for m in client.pending if m.get("error", {}).get("code") == -32700]
            self.assertTrue(errors, broken)
            client.pending.clear()
        self.assertEqual(client.close(), 0)


class Diagnostics(ServerTest):
    def test_reported_on_open_and_cleared_when_fixed(self):
        client = self.start('prnt, "1"\njump, 9\n')
        codes = [(d["code"], d["severity"], d["range"]) for d in self.diagnostics]
        self.assertEqual(codes, [
            ("no-statement", 2, {"start": pos(0, 0), "end": pos(0, 9)}),
            ("jump-target", 2, {"start": pos(1, 6), "end": pos(1, 7)})])
        self.assertTrue(all(d["source"] == "zarnith-check" for d in self.diagnostics))
        client.notify("textDocument/didChange", {
            "textDocument": {"uri": URI, "version": 5},
            "contentChanges": [{"range": {"start": pos(0, 0), "end": pos(0, 4)}, "text": "print"}]})
        after = client.notification("textDocument/publishDiagnostics")["params"]
        self.assertEqual(after["version"], 5)
        self.assertEqual([d["code"] for d in after["diagnostics"]], ["jump-target"])
        client.notify("textDocument/didChange", {"textDocument": {"uri": URI, "version": 6},
                                                 "contentChanges": [{"text": 'print, "1"\n'}]})
        self.assertEqual(client.notification("textDocument/publishDiagnostics")["params"]
                         ["diagnostics"], [])
        client.notify("textDocument/didClose", {"textDocument": {"uri": URI}})
        closed = client.notification("textDocument/publishDiagnostics")["params"]
        self.assertEqual(closed, {"uri": URI, "diagnostics": []})

    def test_note_becomes_related_information(self):
        client = self.start("i = 0\nif i == 0\njump, 1\nend\n")
        chain = [d for d in self.diagnostics if d["code"] == "jump-in-chain"][0]
        self.assertEqual(chain["relatedInformation"][0]["message"], "line 1 is: i = 0")
        client.close()

    def test_lines_end_where_the_client_ends_them(self):
        # The script's own lines end at line feeds only; the client's also at
        # "\r\n" and a lone "\r". Line 4 (prnt) is the client's line 3.
        text = 'print, "1"\rprint, "2"\r\n\r\nprnt, "3"\njump, 2\n'
        client = self.start(text)
        found = [d["range"] for d in self.diagnostics if d["code"] == "no-statement"
                 and d["range"]["start"]["line"] == 3]
        self.assertEqual(found, [{"start": pos(3, 0), "end": pos(3, 9)}])
        target = client.request("textDocument/definition", doc_params(4, 0))["result"]
        self.assertEqual(target["range"]["start"], pos(2, 0))
        after = insert(client, 3, 2, "i")  # prnt becomes print
        self.assertEqual([d for d in after["diagnostics"]
                          if d["range"]["start"]["line"] == 3], [])
        client.close()

    def test_columns_in_utf16_and_utf8(self):
        # The comma stands after a two-byte and a four-byte character.
        text = 'use, "\u00e9\U0001F600, x"\n'
        for encodings, name, column in [(None, "utf-16", 9), (["utf-8", "utf-16"], "utf-8", 12)]:
            client = self.start(text, encodings)
            caps = client.init["result"]["capabilities"]
            self.assertEqual(caps["positionEncoding"], name)
            comma = [d for d in self.diagnostics if d["code"] == "quoted-comma"][0]
            self.assertEqual(comma["range"]["start"], pos(0, column))
            client.close()


class Navigation(ServerTest):
    def test_definition_references_and_hover_on_a_jump(self):
        client = self.start()
        for character in (0, 6):
            found = client.request("textDocument/definition", doc_params(4, character))["result"]
            self.assertEqual(found, {"uri": URI, "range": {"start": pos(1, 0), "end": pos(1, 0)}})
        self.assertIsNone(client.request("textDocument/definition", doc_params(0, 0))["result"])
        refs = client.request("textDocument/references", dict(
            doc_params(1, 0), context={"includeDeclaration": False}))["result"]
        self.assertEqual(refs, [{"uri": URI, "range": {"start": pos(4, 6), "end": pos(4, 7)}}])
        hover = client.request("textDocument/hover", doc_params(4, 1))["result"]
        self.assertIn("jump, line", hover["contents"]["value"])
        self.assertIn("Jumps to line 2:\n\n```zarnith\nend\n```", hover["contents"]["value"])
        self.assertEqual(hover["range"], {"start": pos(4, 0), "end": pos(4, 4)})
        client.close()

    def test_hover_on_commands_and_rewritten_lines(self):
        client = self.start('use, "fs"\nfs:open:x, "a", 1\nx = 2*3\ntotal = n+1\nprint, "5-1"\n')
        value = client.request("textDocument/hover", doc_params(1, 2))["result"]["contents"]["value"]
        self.assertIn("fs:open, path", value)
        self.assertIn("Hands back in `returned`: the handle, or -1.", value)
        value = client.request("textDocument/hover", doc_params(2, 5))["result"]["contents"]["value"]
        self.assertEqual(value, "Runs as:\n\n```zarnith\nx = 6\n```")
        self.assertIsNone(client.request("textDocument/hover", doc_params(3, 9))["result"])
        value = client.request("textDocument/hover", doc_params(4, 9))["result"]["contents"]["value"]
        self.assertIn('print, "4"', value)
        client.close()

    def test_completion(self):
        client = self.start('count = 1\narray int scores[2]\nuse, "strings"\nstrings:split, "a b", " ", parts\n\n')
        def labels(text):
            insert(client, 4, 0, text)
            found = client.request("textDocument/completion",
                                   doc_params(4, len(text)))["result"]
            client.notify("textDocument/didChange", {
                "textDocument": {"uri": URI, "version": 9}, "contentChanges": [{
                    "range": {"start": pos(4, 0), "end": pos(4, len(text))}, "text": ""}]})
            client.notification("textDocument/publishDiagnostics")
            return [item["label"] for item in found]
        self.assertEqual(sorted(labels('use, "c')), ["bass", "crypto", "fs", "hello", "os", "strings"])
        self.assertEqual(labels("strings:"), ["atoi", "itoa", "index", "split"])
        self.assertEqual(labels("\tstrings:"), ["atoi", "itoa", "index", "split"])
        self.assertIn("setvolume", labels("bass:"))
        first = labels("pr")
        self.assertIn("printc", first)
        self.assertIn("elif", first)
        self.assertIn("count", first)
        self.assertEqual(labels("print, "), ["count", "parts", "scores"])
        client.close()

    def test_symbols_show_chains_and_loops(self):
        client = self.start(LOOP + "if i == 3\nprint, 1\nelse\nprint, 2\nend\n")
        symbols = client.request("textDocument/documentSymbol",
                                 {"textDocument": {"uri": URI}})["result"]
        names = [(s["name"], s["range"]["start"]["line"], s["range"]["end"]["line"],
                  [c["name"] for c in s["children"]]) for s in symbols]
        self.assertEqual(names, [("line 2: end", 1, 4, []),
                                 ("if i < 3", 3, 5, []),
                                 ("if i == 3", 7, 11, ["else"])])
        self.assertEqual(symbols[0]["detail"], "loop to line 5, jumped to from line 5")
        client.close()


class Documents(ServerTest):
    def test_refused_reopen_keeps_the_first_text(self):
        client = self.start('jump, 1\nprint, "first"\n')
        for version in ["2", None]:
            client.notify("textDocument/didOpen", {"textDocument": {
                "uri": URI, "languageId": "zarnith", "version": version,
                "text": 'x = 1\nprint, "a second text, longer than the first one was"\n'}})
            self.assertEqual(client.notification("window/logMessage")["params"]["type"], 1)
            hover = client.request("textDocument/hover", doc_params(0, 1))["result"]
            self.assertIn("Jumps to line 1:\n\n```zarnith\njump, 1\n```",
                          hover["contents"]["value"])
        self.assertEqual(client.close(), 0)

    def test_symbols_of_loops_nested_thirty_thousand_deep(self):
        loops = 30000
        text = "a = 1\n" * loops + "".join("jump, %d\n" % k for k in range(loops, 0, -1))
        client = self.start(text)
        client.timeout = 120
        symbols = client.request("textDocument/documentSymbol",
                                 {"textDocument": {"uri": URI}})["result"]
        depth, count, level = 0, 0, symbols
        while level:
            depth, count, level = depth + 1, count + len(level), level[0]["children"]
        self.assertEqual((depth, count), (32, loops))
        self.assertEqual(client.close(), 0)


class Latency(ServerTest):
    """A 10,000-line script with 2,000 diagnostics, changed one key at a time."""
    LINES = 10000

    def text(self):
        return "".join("prnt, 1\n" if i % 5 == 0 else "a = %d\n" % i for i in range(self.LINES))

    def change(self, version, column):
        # Keys typed into a name ("a" of "a = 1"): a number grown past the
        # range of an int would be a finding of its own.
        return {"jsonrpc": "2.0", "method": "textDocument/didChange", "params": {
            "textDocument": {"uri": URI, "version": version},
            "contentChanges": [{"range": {"start": pos(1, column), "end": pos(1, column)},
                                "text": "1"}]}}

    def published(self, client, version):
        """Waits for the diagnostics of `version`; returns how many were published."""
        count = 0
        while True:
            params = client.notification("textDocument/publishDiagnostics")["params"]
            count += 1
            if params["version"] == version:
                self.assertEqual(len(params["diagnostics"]), self.LINES // 5)
                return count

    @staticmethod
    def cpu_time(client):
        """Seconds of CPU the server has used: on a loaded machine, the
        figure that does not depend on what else runs."""
        with open("/proc/%d/schedstat" % client.proc.pid) as f:
            return int(f.read().split()[0]) / 1e9

    def test_each_change_and_a_burst(self):
        client = self.start(self.text())
        client.timeout = 120
        self.assertEqual(len(self.diagnostics), self.LINES // 5)
        times = []
        cpu = self.cpu_time(client)
        for version in range(2, 22):
            start = time.monotonic()
            client.send(self.change(version, 1))
            self.published(client, version)
            times.append(time.monotonic() - start)
        single = sorted(times)[len(times) // 2]
        single_cpu = (self.cpu_time(client) - cpu) / len(times)
        burst = [self.change(version, 1) for version in range(100, 2100)]
        start, cpu = time.monotonic(), self.cpu_time(client)
        if not client.send_burst(burst):
            self.skipTest("the pipe cannot take the burst at once")
        publications = self.published(client, 2099)
        per_change = (time.monotonic() - start) / len(burst)
        per_change_cpu = (self.cpu_time(client) - cpu) / len(burst)
        print("\nlatency at %d lines, %d diagnostics: one change %.1f ms (%.1f ms of the "
              "server's CPU); a burst of %d, %.2f ms per change (%.2f ms of CPU)"
              % (self.LINES, self.LINES // 5, single * 1000, single_cpu * 1000, len(burst),
                 per_change * 1000, per_change_cpu * 1000), file=sys.stderr)
        self.assertEqual(publications, 1)  # the burst was checked once, for its last text
        self.assertLess(single, 2.0)
        self.assertLess(per_change, 0.1)
        client.close()


class JumpTargets(ServerTest):
    def test_inserted_line_above_the_target(self):
        client = self.start()
        self.assertEqual(actions(client), [])
        insert(client, 1, 0, 'print, "hi"\n')
        title, edits = update_jumps(client)
        self.assertEqual(title, "Update 1 jump target")
        self.assertEqual(edits, [{"range": {"start": pos(5, 6), "end": pos(5, 7)}, "newText": "3"}])
        make_edits(client, edits)
        self.assertEqual(actions(client), [])
        insert(client, 0, 5, "\n# a comment")
        only = client.request("textDocument/codeAction", {
            "textDocument": {"uri": URI}, "range": {"start": pos(0, 0), "end": pos(0, 0)},
            "context": {"diagnostics": [], "only": ["source.fixAll"]}})["result"]
        self.assertEqual(only, [])
        # The next edit counts from the updated text.
        _, edits = update_jumps(client)
        self.assertEqual(edits[0]["newText"], "4")
        client.close()

    def test_line_break_typed_at_the_end_of_a_line(self):
        client = self.start()
        insert(client, 1, 3, "\n")  # after "end": the target stays line 2
        self.assertEqual(actions(client), [])
        insert(client, 0, 5, "\n")  # after line 1: the target moves
        self.assertEqual(update_jumps(client)[1][0]["newText"], "3")
        client.close()

    def test_deleted_lines_and_lines_below(self):
        client = self.start("print, 1\nprint, 2\nend\nx = 1\njump, 3\njump, 1\n")
        delete_lines(client, 0, 2)
        title, edits = update_jumps(client)
        self.assertEqual(title, "Update 1 jump target")
        self.assertEqual(edits[0]["newText"], "1")  # jump, 1 pointed at a deleted line
        self.assertEqual(edits[0]["range"]["start"], pos(2, 6))
        client.close()

    def test_touched_and_computed_jumps_stay(self):
        client = self.start("end\nstart = 1\njump, 1\njump, 1+start\njump, 1\n")
        insert(client, 0, 0, "# top\n")
        # The user mends one target by hand.
        client.notify("textDocument/didChange", {
            "textDocument": {"uri": URI, "version": 3}, "contentChanges": [{
                "range": {"start": pos(3, 6), "end": pos(3, 7)}, "text": "2"}]})
        client.notification("textDocument/publishDiagnostics")
        title, edits = update_jumps(client)
        self.assertEqual((title, [e["range"]["start"]["line"] for e in edits]),
                         ("Update 1 jump target", [5]))
        message = client.notification("window/showMessage")["params"]["message"]
        self.assertEqual(message, "1 jump target is computed when the script runs and was not "
                                  "changed: check line 5")
        client.close()

    def test_whole_text_replaced(self):
        client = self.start()
        client.notify("textDocument/didChange", {"textDocument": {"uri": URI, "version": 2},
                                                 "contentChanges": [{"text": "# x\n" + LOOP}]})
        client.notification("textDocument/publishDiagnostics")
        self.assertEqual(update_jumps(client)[1][0]["newText"], "3")
        client.close()


if __name__ == "__main__":
    SERVER = sys.argv.pop(1)
    unittest.main(verbosity=1)
