#!/usr/bin/env python3
"""Talks to zarnith-dap over its standard input and output as an editor does,
and checks the messages: stops and their lines, variables, output, exit status.

Usage: transcript_test.py ZARNITH_DAP
"""
import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from dap_client import Client  # noqa: E402

ADAPTER = None

# Line numbers are in the comments, as the tests use them.
LOOP = """# 1 counts to three
i = 0
end
i = i+1
if i < 3
jump, 3
end
print, "done"
"""


class Case(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="zn-dap-")
        self.client = Client(ADAPTER)

    def tearDown(self):
        self.client.close()
        shutil.rmtree(self.dir)

    def script(self, text, name="script.zn"):
        path = os.path.join(self.dir, name)
        with open(path, "w") as f:
            f.write(text)
        return path

    def start(self, text, breakpoints=None, **settings):
        self.path = self.script(text)
        launch = self.client.launch(self.path, breakpoints, **settings)
        self.assertTrue(launch["success"], launch)
        return self.client

    def assertStop(self, reason, line):
        got_reason, got_line, body = self.client.stopped()
        self.assertEqual((got_reason, got_line), (reason, line))
        return body

    def resume(self, command="continue"):
        response = self.client.request(command, {"threadId": 1})
        self.assertTrue(response["success"], response)


class Running(Case):
    def test_output_args_stdin_and_exit_status(self):
        c = self.start('print, arg\nreadline\nprint, returned\nprintc, "no line feed é"\nexit, 3\n',
                       args=["a", "b c"], stdin="typed\n")
        self.assertEqual(c.exit_status(), 3)
        self.assertEqual(c.output(), "a b c\ntyped\nno line feed é")

    def test_arg_is_nil_without_args_and_cwd_is_the_scripts_folder(self):
        c = self.start('print, arg\nuse, "fs"\nfs:exists, "here.txt"\nuse, "strings"\n'
                       'strings:itoa, returned\nprint, returned\n', cwd=self.dir)
        with open(os.path.join(self.dir, "here.txt"), "w"):
            pass
        self.assertEqual(c.exit_status(), 0)
        self.assertEqual(c.output(), "nil\n1\n")

    def test_a_missing_program_is_refused(self):
        c = self.client
        c.request("initialize", {"adapterID": "zarnith"})
        r = c.request("launch", {"program": os.path.join(self.dir, "missing.zn")})
        self.assertFalse(r["success"])
        self.assertIn("cannot open", r["message"])
        self.assertFalse(c.request("launch", {"program": 5})["success"])

    def test_script_output_cannot_reach_the_protocol(self):
        c = self.start('use, "fs"\nfs:open, "/dev/stdout", 1\nfs:write, 1, "through a file\\n"\n'
                       'print, "and print"\n')
        self.assertEqual(c.exit_status(), 0)
        self.assertEqual(c.output(), "through a file\nand print\n")

    def test_malformed_messages_get_errors_and_the_adapter_goes_on(self):
        c = self.client
        c.send_raw(b"Content-Length: x\r\n\r\n")
        self.assertFalse(c.wait(lambda m: m.get("type") == "response")["success"])
        c.send_raw(b"Content-Length: 5\r\n\r\n{nope")
        self.assertFalse(c.wait(lambda m: m.get("type") == "response")["success"])
        self.assertFalse(c.request("noSuchRequest")["success"])
        self.assertFalse(c.request("setBreakpoints", {"source": 3})["success"])
        self.assertTrue(c.request("initialize", {"adapterID": "zarnith"})["success"])

    def test_disconnect_ends_a_running_script_and_the_adapter(self):
        self.start("end\njump, 1\n")
        self.client.request("disconnect", {}, wait=False)
        self.assertEqual(self.client.proc.wait(timeout=10), 0)


class Breakpoints(Case):
    def test_only_lines_that_run_a_statement_are_verified(self):
        c = self.start("# a comment\n\n    print, \"spaces\"\nprint, \"x\"\nprnt \"y\"\n",
                       [1, 2, 3, 4, 5, 9])
        r = c.set_breakpoints(self.path, [1, 2, 3, 4, 5, 9])["body"]["breakpoints"]
        self.assertEqual([b["verified"] for b in r], [False, False, False, True, False, False])
        self.assertIn("comment", r[0]["message"])
        self.assertIn("empty", r[1]["message"])
        self.assertIn("indented with spaces", r[2]["message"])
        self.assertIn("no statement", r[4]["message"])
        self.assertIn("has 6 lines", r[5]["message"])
        self.assertStop("breakpoint", 4)

    def test_conditions_hit_counts_and_log_points(self):
        c = self.start(LOOP + 'name = "x"\nprint, name\n',
                       [{"line": 4, "condition": "i == 2"},
                        {"line": 6, "hitCondition": ">= 2"},
                        {"line": 5, "logMessage": "i is {i}, returned {returned}"},
                        {"line": 10, "condition": 'name != "x"'}])
        # The jump's second hit (i is 2), then i = i+1 with i == 2.
        self.assertStop("breakpoint", 6)
        self.assertEqual(c.value("i"), "2")
        self.resume()
        self.assertStop("breakpoint", 4)
        self.assertEqual(c.value("i"), "2")
        self.resume()
        self.assertEqual(c.exit_status(), 0)
        self.assertEqual(c.output("console"), "i is 1, returned -1\ni is 2, returned -1\n"
                                              "i is 3, returned -1\n")
        self.assertEqual(c.output(), "done\nx\n")

    def test_a_condition_leaves_the_scripts_if_chain_alone(self):
        # Evaluated inside a branch that does not run: the script's else still runs.
        c = self.start('if 1 == 2\nprint, "no"\nelse\nprint, "yes"\nend\n',
                       [{"line": 3, "condition": "1 == 1"}])
        self.assertStop("breakpoint", 3)
        self.resume()
        self.assertEqual(c.exit_status(), 0)
        self.assertEqual(c.output(), "yes\n")

    def test_badly_written_conditions(self):
        c = self.start(LOOP, [{"line": 4, "condition": "i >= 2"}, {"line": 5, "hitCondition": "often"},
                              {"line": 6, "condition": 'i == "x"'}])
        r = c.set_breakpoints(self.path, [{"line": 4, "condition": "i >= 2"},
                                          {"line": 5, "hitCondition": "often"},
                                          {"line": 6, "condition": 'i == "x"'}])["body"]["breakpoints"]
        self.assertEqual([b["verified"] for b in r], [False, False, True])
        self.assertIn("i == 4", r[0]["message"])
        # A condition that cannot be compared stops, and says why.
        self.assertStop("breakpoint", 6)
        self.assertIn("mismatch", c.output("console"))

    def test_function_breakpoints_stop_before_a_line_that_calls_the_command(self):
        c = self.client
        self.path = self.script('use, "fs"\nprint, "a"\nfs:open, "x.txt", 1\n')
        c.request("initialize", {"adapterID": "zarnith"})
        c.request("launch", {"program": self.path, "cwd": self.dir})
        r = c.request("setFunctionBreakpoints", {"breakpoints": [
            {"name": "fs:open"}, {"name": "fs:nothing"}, {"name": "nope:open"}]})["body"]["breakpoints"]
        self.assertEqual([b["verified"] for b in r], [True, False, False])
        c.request("configurationDone")
        self.assertStop("function breakpoint", 3)
        self.assertEqual(c.output(), "a\n")


class Errors(Case):
    def test_error_lines_stop_where_they_are_printed(self):
        c = self.start('print, "a"\nprint, 5\nprint, "b"\n', exceptions=["error"])
        body = self.assertStop("exception", 2)
        self.assertEqual(body["description"], "error: 2: Type of first argument is not a string, is a int")
        self.assertEqual(c.output(), "a\nerror: 2: Type of first argument is not a string, is a int\n")
        self.resume("next")
        self.assertStop("step", 3)
        self.resume()
        self.assertEqual(c.exit_status(), 0)

    def test_critical_errors_stop_before_the_end_and_can_be_stepped_back(self):
        c = self.start('array int a[2]\nx = a[5]\nprint, "after"\n', exceptions=["critical"])
        body = self.assertStop("exception", 2)
        self.assertEqual(body["description"], "error: 2: index out of range, this is critical error")
        self.resume("stepBack")
        self.assertStop("step", 2)
        # A jump typed in the debug console: the script goes on at line 3.
        self.assertTrue(c.request("evaluate", {"expression": "jump, 3", "context": "repl"})["success"])
        self.assertStop("goto", 3)
        self.resume()
        self.assertEqual(c.exit_status(), 0)
        self.assertEqual(c.output(), "error: 2: index out of range, this is critical error\nafter\n")

    def test_without_the_filter_a_critical_error_ends_the_script(self):
        c = self.start("array int a[2]\nx = a[5]\n", exceptions=[])
        self.assertEqual(c.exit_status(), 127)


class Stepping(Case):
    def test_next_follows_jumps_and_passes_over_branches_that_do_not_run(self):
        c = self.start(LOOP, stopOnEntry=True)
        lines = [self.assertStop("entry", 2) and 2]
        for _ in range(10):
            self.resume("next")
            lines.append(c.stopped()[1])
        self.assertEqual(lines, [2, 3, 4, 5, 6, 3, 4, 5, 6, 3, 4])
        self.resume("stepIn")
        self.assertStop("step", 5)
        self.resume("stepOut")
        self.assertStop("step", 7)  # i is 3: the jump's branch is passed over
        self.resume("next")
        self.assertStop("step", 8)

    def test_pause_stops_an_endless_loop(self):
        c = self.start("i = 0\nend\ni = i+1\njump, 2\n")
        self.resume("pause")
        reason, line, _ = c.stopped()
        self.assertEqual(reason, "pause")
        self.assertIn(line, [1, 2, 3, 4])

    def test_step_back_undoes_variables_elements_returned_and_the_chain(self):
        c = self.start('array int a[2]\nx = 1\nreturn, "r"\nif x == 1\na[1] = 9\nx = "no"\ns = "t"\n'
                       'x = 2\nend\n', [9])
        self.assertStop("breakpoint", 9)
        self.assertEqual(c.value("x"), "2")
        self.resume("stepBack")
        self.assertStop("step", 8)
        self.assertEqual(c.value("x"), "1")
        # Each stop is taken before the next request: a stop left waiting would
        # be taken for the stop after the next "next", while the script runs.
        self.resume("stepBack")
        self.assertStop("step", 7)
        self.resume("stepBack")
        self.assertStop("step", 6)
        self.assertNotIn("s", c.variables())
        self.resume("stepBack")
        self.assertStop("step", 5)
        array = c.variables()["a"]
        self.assertEqual([v["value"] for v in c.variables(array["variablesReference"]).values()],
                         ["0", "0"])
        self.resume("stepBack")
        self.assertStop("step", 4)
        self.assertEqual(c.value("if chain"), "no chain open")
        self.resume("stepBack")
        self.assertStop("step", 3)
        self.assertEqual(c.value("returned"), "-1")
        # Forwards again, then back to the start with reverseContinue.
        self.resume("next")
        self.assertStop("step", 4)
        self.assertEqual(c.value("returned"), '"r"')
        self.resume("reverseContinue")
        self.assertStop("step", 1)
        refused = c.request("stepBack", {"threadId": 1})
        self.assertFalse(refused["success"])
        self.assertIn("no line has run", refused["message"])

    def test_step_back_undoes_the_variables_class_commands_write(self):
        c = self.start('use, "fs"\nuse, "strings"\nfs:open, "f.txt", 1\nfs:write, 1, "abc"\n'
                       'fs:close, 1\nt = "before"\nfs:open, "f.txt"\nfs:read, 2, t\n'
                       'strings:split, "a-b", "-", parts\nprint, t\n', [10], cwd=self.dir)
        self.assertStop("breakpoint", 10)
        self.assertEqual(c.value("t"), '"abc"')
        self.assertEqual(c.variables()["parts"]["indexedVariables"], 2)
        self.resume("stepBack")
        self.assertStop("step", 9)
        self.assertNotIn("parts", c.variables())
        self.resume("stepBack")
        self.assertStop("step", 8)
        self.assertEqual(c.value("t"), '"before"')

    def test_reverse_continue_stops_at_breakpoints(self):
        c = self.start(LOOP, [8])
        self.assertStop("breakpoint", 8)
        c.set_breakpoints(self.path, [{"line": 4, "condition": "i == 2"}])
        self.resume("reverseContinue")
        self.assertStop("breakpoint", 4)
        self.assertEqual(c.value("i"), "2")

    def test_the_history_is_bounded(self):
        c = self.start(LOOP, [8], history=3)
        self.assertStop("breakpoint", 8)
        # Three lines back (lines 7, 6 and 5; a step back passes over the
        # jump that its branch skipped), and no further.
        self.resume("stepBack")
        self.assertStop("step", 7)
        self.resume("stepBack")
        self.assertStop("step", 5)
        refused = c.request("stepBack", {"threadId": 1})
        self.assertFalse(refused["success"])
        self.assertIn("keeps the last 3 lines", refused["message"])


class LookingAtState(Case):
    def test_scope_shows_typed_values_arrays_and_the_chain(self):
        c = self.start('array string s[3]\ns[1] = "b\\n"\narray int big[500]\nuse, "fs"\n'
                       'fs:open, "f.txt", 1\nx = 5\nif x == 5\nprint, "in"\nend\n', [8], cwd=self.dir)
        self.assertStop("breakpoint", 8)
        v = c.variables()
        self.assertEqual((v["returned"]["type"], v["returned"]["value"]), ("int", "1"))
        self.assertEqual((v["x"]["type"], v["x"]["value"]), ("int", "5"))
        self.assertEqual(v["s"]["type"], "string-array")
        self.assertEqual(v["s"]["indexedVariables"], 3)
        elements = c.variables(v["s"]["variablesReference"])
        self.assertEqual(elements["[1]"]["value"], '"b\\n"')
        page = c.variables(v["big"]["variablesReference"], filter="indexed", start=498, count=5)
        self.assertEqual(list(page), ["[498]", "[499]"])
        self.assertEqual(v["if chain"]["value"], "if: this branch runs")
        chain = c.variables(v["if chain"]["variablesReference"])
        self.assertEqual(chain["lastCond"]["value"], '"if"')

    def test_a_name_in_two_stores_is_shown_once_per_store(self):
        c = self.start('x = 5\nuse, "fs"\nfs:open, "f.txt", 1\nfs:write, 1, "t"\nfs:close, 1\n'
                       'fs:open, "f.txt"\nfs:read, 2, x\nprint, "end"\n', [8], cwd=self.dir)
        self.assertStop("breakpoint", 8)
        v = c.variables()
        self.assertEqual((v["x"]["type"], v["x#2"]["type"]), ("int", "string"))
        self.assertEqual(v["x#2"]["presentationHint"]["attributes"], ["readOnly"])

    def test_set_variable_keeps_the_type(self):
        c = self.start('n = 1\ns = "a"\narray int a[2]\nprint, s\n', [4])
        self.assertStop("breakpoint", 4)
        set_ = lambda ref, name, value: c.request("setVariable", {  # noqa: E731
            "variablesReference": ref, "name": name, "value": value})
        self.assertEqual(set_(1, "n", "42")["body"]["value"], "42")
        refused = set_(1, "n", "forty")
        self.assertFalse(refused["success"])
        self.assertIn("integer", refused["message"])
        self.assertEqual(set_(1, "s", '"quoted"')["body"]["value"], '"quoted"')
        self.assertEqual(set_(1, "s", "new text")["body"]["value"], '"new text"')
        self.assertFalse(set_(1, "a", "3")["success"])
        self.assertFalse(set_(1, "if chain", "3")["success"])
        ref = c.variables()["a"]["variablesReference"]
        self.assertEqual(set_(ref, "[1]", "-7")["body"]["value"], "-7")
        self.assertFalse(set_(ref, "[1]", '"x"')["success"])
        self.resume()
        self.assertEqual(c.exit_status(), 0)
        self.assertEqual(c.output(), "new text\n")

    def test_evaluate_reads_without_effects_and_the_console_runs_lines(self):
        c = self.start('array int a[4]\na[3] = 8\nx = 1\nprint, "go"\n', [4])
        self.assertStop("breakpoint", 4)
        ev = lambda e, ctx="watch": c.request("evaluate", {"expression": e, "context": ctx})  # noqa: E731
        self.assertEqual(ev("a[3]")["body"]["result"], "8")
        self.assertEqual(ev("x", "hover")["body"]["result"], "1")
        self.assertEqual(ev("returned")["body"]["result"], "-1")
        self.assertIn("index out of range", ev("a[9]")["message"])
        self.assertIn("no variable", ev("nothing")["message"])
        self.assertEqual(ev("a")["body"]["indexedVariables"], 4)
        self.assertTrue(ev('print, "from the console"', "repl")["success"])
        ev("return, 3", "repl")
        self.assertEqual(c.value("returned"), "3")
        self.assertEqual(c.output(), "from the console\n=> 3\n")
        self.resume()
        self.assertEqual(c.exit_status(), 0)

    def test_data_breakpoints_stop_after_a_change(self):
        c = self.start('array int a[2]\nx = 1\nx = 1\na[0] = 4\nx = 2\nprint, "end"\n', [2])
        self.assertStop("breakpoint", 2)
        info = c.request("dataBreakpointInfo", {"variablesReference": 1, "name": "x"})["body"]
        self.assertIsNone(info["dataId"])  # x does not exist yet
        self.resume("next")
        self.assertStop("step", 3)
        info = c.request("dataBreakpointInfo", {"variablesReference": 1, "name": "x"})["body"]
        ref = c.variables()["a"]["variablesReference"]
        element = c.request("dataBreakpointInfo", {"variablesReference": ref, "name": "[0]"})["body"]
        self.assertEqual(element["dataId"], "a[0]")
        r = c.request("setDataBreakpoints", {"breakpoints": [{"dataId": info["dataId"]},
                                                             {"dataId": "a[0]"}]})
        self.assertEqual([b["verified"] for b in r["body"]["breakpoints"]], [True, True])
        self.resume()
        self.assertStop("data breakpoint", 5)   # after a[0] = 4 (x = 1 changed nothing)
        self.resume()
        self.assertStop("data breakpoint", 6)   # after x = 2


def main():
    global ADAPTER
    ADAPTER = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=1)


if __name__ == "__main__":
    main()
