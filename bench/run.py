#!/usr/bin/env python3
"""Benchmarks Zarnith against other languages running the same programs.

Each workload is a folder of this directory: main.zn is the Zarnith script and
every other file is the same program for one peer, named after the peer
(python3.py, perl.pl, lua5.4.lua, tclsh.tcl, bash.sh, dash.sh, dd.sh) or c.c,
a C program built here. The programs of one workload run side by side,
alternating, for several rounds, each in the same scratch directory; every
run's standard output is checked, and the table shows the median wall time of
each program and the ratio Zarnith / peer against the workload's target.

The table is also written to results.txt and drawn as a chart of the ratios,
one group of bars per workload (results.svg, with matplotlib), beside this
file unless --out says where.

Usage: run.py ZARNITH [--rounds N] [--only NAME,...] [--callgrind] [--out DIR]
              [--debugged ZARNITH_DAP]
  --callgrind  instead of timing, counts the instructions of each Zarnith
               script under valgrind (stable on a noisy machine); compare the
               counts before and after a change. The distinct-line workloads
               also show their instructions a line, and the goals are checked.
  --debugged   also runs the count workload under zarnith-dap, launched as
               an editor launches it with no breakpoints (its history on),
               and shows that run against the plain one (the debugged row).
"""
import argparse
import contextlib
import hashlib
import io
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
MIB = 1024 * 1024
QUICK_FOX_SHA256 = "d7a8fbb307d7809469ca9abcb0082e4f8d5651e46d3cdb762d02d0bf37c9e592"


def data_file():
    """10 MiB of varied printable bytes for the digest workload."""
    line = bytes(range(32, 127)) + b"\n"
    return (line * (10 * MIB // len(line) + 1))[: 10 * MIB]


def words_file():
    return " ".join("w%d" % i for i in range(200000)).encode()


def digest_expected():
    data = data_file()
    return "%s\n%s\n" % (hashlib.md5(data).hexdigest(), hashlib.sha256(data).hexdigest())


# name, title, peers (first is the one the target is set against), target
# ratio, expected output (for every program), inputs to create, repeat: how
# many runs make one sample (start-up is too short to time alone).
WORKLOADS = [
    ("count", "count to 1M", ["python3", "lua5.4", "perl", "tclsh", "bash"], 0.5,
     "1000000\n", {}, 1),
    ("arith", "arith 200k (5 ops a pass)", ["python3", "lua5.4", "perl"], 0.5,
     "20000100000\n", {}, 1),
    ("array", "array 100k distinct lines", ["python3", "lua5.4", "perl"], 0.5,
     "99999\n", {}, 1),
    # No time goal: a record of the reference path's x = x+k lines, whose goal
    # is counted in instructions (--callgrind).
    ("sum", "sum 100k distinct lines", ["python3", "lua5.4", "perl"], None,
     "4999950000\n", {}, 1),
    ("arrayread", "arrayread 100k (7 lines a pass)", ["python3", "lua5.4", "perl"], 0.5,
     "500000\n", {}, 1),
    ("append", "append 100k chars", ["perl", "lua5.4", "tclsh", "python3"], 1.0,
     "x" * 100000 + "\n", {}, 1),
    ("split", "split 200k words", ["lua5.4", "python3"], 1.0,
     "200000\nw199999\n", {"words.txt": words_file}, 1),
    ("sha256", "sha256 of 43 bytes x100k", ["perl", "python3"], 1.0,
     QUICK_FOX_SHA256 + "\n", {}, 1),
    ("digest", "md5+sha256 of 10 MiB", ["c", "python3"], 1.2,
     digest_expected, {"data.bin": data_file}, 1),
    ("filerw", "write+read 50 MiB (64 KiB)", ["python3", "c"], 1.0,
     "52428800\n", {}, 1),
    ("ddio", "write+read 64 MiB (1 MiB)", ["dd"], 1.5, "67108864\n", {}, 1),
    ("execute", "1,000 runs of true", ["python3", "dash"], 1.05, "\n1000\n", {}, 1),
    ("startup", "empty script start-up", ["dash", "lua5.4", "c"], 1.2, "", {}, 20),
]
# Targets against a second peer of the same workload.
EXTRA_TARGETS = {("execute", "dash"): 1.3}
# Peak resident memory: workload, limit in KiB.
MEMORY_LIMITS = [("startup", 4 * 1024), ("filerw", int(2.2 * 50 * 1024))]

INTERPRETERS = {
    "python3": ("python3", ".py"),
    "perl": ("perl", ".pl"),
    "lua5.4": ("lua5.4", ".lua"),
    "tclsh": ("tclsh", ".tcl"),
    "bash": ("bash", ".sh"),
    "dash": ("dash", ".sh"),
    "dd": ("dash", ".sh"),
}


def find_program(name):
    """The distribution's program first, so a user's own install does not
    change what is measured."""
    debian = os.path.join("/usr/bin", name)
    return debian if os.access(debian, os.X_OK) else shutil.which(name)


def build_c(source, out_dir):
    exe = os.path.join(out_dir, os.path.basename(os.path.dirname(source)) + "-c")
    subprocess.run(["cc", "-O2", "-o", exe, source, "-lcrypto"], check=True)
    return exe


ARRAY_LENGTH = 100000


def array_programs():
    """The array workload: one element assignment per line in Zarnith (an
    index must be a written number, so scripts fill arrays with distinct
    lines); python3 runs its natural loop, the pairing the target is set
    against; lua5.4 and perl run the same unrolled lines as Zarnith."""
    n = ARRAY_LENGTH
    last = n - 1
    return {
        "main.zn": 'use, "strings"\narray int a[%d]\n' % n
                   + "".join("a[%d] = %d\n" % (i, i) for i in range(n))
                   + "strings:itoa, a[%d]\nprint, returned\n" % last,
        "python3.py": "a = [0] * %d\ni = 0\nwhile i < %d:\n    a[i] = i\n    i += 1\n" % (n, n)
                      + "print(a[%d])\n" % last,
        "lua5.4.lua": "local a = {}\n" + "".join("a[%d] = %d\n" % (i, i) for i in range(n))
                      + "print(a[%d])\n" % last,
        "perl.pl": "my @a = (0) x %d;\n" % n + "".join("$a[%d] = %d;\n" % (i, i) for i in range(n))
                   + 'print "$a[%d]\\n";\n' % last,
    }


def sum_programs():
    """Distinct lines that each add a different number: x = x+k for k below
    100k in Zarnith, lua5.4 and perl; python3's natural loop."""
    n = ARRAY_LENGTH
    return {
        "main.zn": 'use, "strings"\nx = 0\n' + "".join("x = x+%d\n" % k for k in range(n))
                   + "strings:itoa, x\nprint, returned\n",
        "python3.py": "x = 0\nk = 0\nwhile k < %d:\n    x = x + k\n    k += 1\nprint(x)\n" % n,
        "lua5.4.lua": "local x = 0\n" + "".join("x = x+%d\n" % k for k in range(n)) + "print(x)\n",
        "perl.pl": "my $x = 0;\n" + "".join("$x = $x+%d;\n" % k for k in range(n)) + 'print "$x\\n";\n',
    }


# Workloads whose programs are written at run time into the scratch directory.
GENERATED = {"array": array_programs, "sum": sum_programs}


def program_folder(workload, scratch):
    if workload not in GENERATED:
        return os.path.join(HERE, workload)
    folder = os.path.join(scratch, "programs", workload)
    if not os.path.isdir(folder):
        os.makedirs(folder)
        for filename, text in GENERATED[workload]().items():
            with open(os.path.join(folder, filename), "w") as f:
                f.write(text)
    return folder


def command_for(workload, peer, zarnith, c_dir):
    folder = program_folder(workload, os.path.dirname(c_dir))
    if peer == "zarnith":
        return [zarnith, os.path.join(folder, "main.zn")]
    if peer == "c":
        return [build_c(os.path.join(folder, "c.c"), c_dir)]
    program, suffix = INTERPRETERS[peer]
    script = os.path.join(folder, ("dd" if peer == "dd" else peer) + suffix)
    return [find_program(program), script]


class WrongOutput(Exception):
    pass


def run_once(argv, cwd):
    """Runs a program with its output in a file: (seconds, output, status)."""
    assert os.getcwd() == cwd
    with tempfile.TemporaryFile(dir=cwd) as out:
        devnull = os.open(os.devnull, os.O_RDWR)
        start = time.perf_counter()
        # The runner has changed to the scratch directory, which the program inherits.
        pid = os.posix_spawn(argv[0], argv, os.environ, file_actions=[
            (os.POSIX_SPAWN_DUP2, devnull, 0),
            (os.POSIX_SPAWN_DUP2, out.fileno(), 1),
            (os.POSIX_SPAWN_DUP2, devnull, 2),
        ])
        _, status, usage = os.wait4(pid, 0)
        elapsed = time.perf_counter() - start
        os.close(devnull)
        out.seek(0)
        return elapsed, out.read().decode("utf-8", "replace"), status


def dap_message(proc, buffer):
    """The next framed message from the adapter: (message, rest of buffer)."""
    while b"\r\n\r\n" not in buffer or len(buffer.partition(b"\r\n\r\n")[2]) < \
            int(buffer.partition(b"\r\n\r\n")[0].split(b":")[1]):
        chunk = os.read(proc.stdout.fileno(), 65536)
        if not chunk:
            raise WrongOutput("zarnith-dap ended early")
        buffer += chunk
    head, _, rest = buffer.partition(b"\r\n\r\n")
    length = int(head.split(b":")[1])
    return json.loads(rest[:length]), rest[length:]


def run_debugged(adapter, script, cwd):
    """Launches the script under zarnith-dap and waits for its exit:
    (seconds, output, status), timed from the launch to the exit."""
    proc = subprocess.Popen([adapter], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, cwd=cwd)
    seq = [0]

    def send(command, arguments):
        seq[0] += 1
        body = json.dumps({"seq": seq[0], "type": "request", "command": command,
                           "arguments": arguments}).encode()
        proc.stdin.write(b"Content-Length: %d\r\n\r\n" % len(body) + body)
        proc.stdin.flush()

    send("initialize", {"adapterID": "zarnith"})
    start = time.perf_counter()
    send("launch", {"program": script, "cwd": cwd})
    send("configurationDone", {})
    buffer, output, status = b"", "", None
    while status is None:
        message, buffer = dap_message(proc, buffer)
        if message.get("event") == "output" and message["body"]["category"] == "stdout":
            output += message["body"]["output"]
        elif message.get("event") == "exited":
            status = message["body"]["exitCode"]
        elif message.get("type") == "response" and not message["success"]:
            raise WrongOutput("zarnith-dap refused %s: %s" % (message["command"], message["message"]))
    elapsed = time.perf_counter() - start
    send("disconnect", {})
    proc.stdin.close()
    proc.wait()
    proc.stdout.close()
    return elapsed, output, status


DEBUGGED_WORKLOAD = "count"
DEBUGGED_TARGET = 3.0


def time_debugged(adapter, zarnith, rounds, scratch):
    """Median seconds of the count workload run plainly and under zarnith-dap."""
    script = os.path.join(program_folder(DEBUGGED_WORKLOAD, scratch), "main.zn")
    workload = next(w for w in WORKLOADS if w[0] == DEBUGGED_WORKLOAD)
    plain, debugged = [], []
    for _ in range(rounds):
        plain.append(sample([zarnith, script], scratch, 1, workload[4], "count/zarnith"))
        elapsed, output, status = run_debugged(adapter, script, scratch)
        if status != 0 or output != workload[4]:
            raise WrongOutput("count under zarnith-dap gave wrong output (status %s): %r" % (status, output))
        debugged.append(elapsed)
    return statistics.median(plain), statistics.median(debugged)


def sample(argv, cwd, repeat, expected, label):
    total = 0.0
    for _ in range(repeat):
        elapsed, output, status = run_once(argv, cwd)
        if status != 0 or output != expected:
            shown = output if len(output) < 200 else output[:200] + "..."
            raise WrongOutput("%s gave wrong output (status %d): %r" % (label, status, shown))
        total += elapsed
    return total / repeat


def peak_rss(argv, c_dir):
    """Peak resident memory in KiB. A spawn from this runner would count the
    runner's own memory (the kernel keeps the larger of the memory before and
    after exec), so a small forking helper starts the program instead."""
    helper = os.path.join(c_dir, "peakrss")
    if not os.path.exists(helper):
        subprocess.run(["cc", "-O2", "-static", "-o", helper, os.path.join(HERE, "peakrss.c")],
                       check=True)
    done = subprocess.run([helper] + argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                          check=True)
    return int(done.stderr.split()[-1])


def time_workload(workload, zarnith, rounds, c_dir, scratch):
    name, title, peers, target, expected, inputs, repeat = workload
    expected = expected() if callable(expected) else expected
    for filename, make in inputs.items():
        with open(os.path.join(scratch, filename), "wb") as f:
            f.write(make())
    programs = ["zarnith"] + peers
    commands = {p: command_for(name, p, zarnith, c_dir) for p in programs}
    times = {p: [] for p in programs}
    for _ in range(rounds):
        for p in programs:
            times[p].append(sample(commands[p], scratch, repeat, expected, "%s/%s" % (name, p)))
    rss = peak_rss(commands["zarnith"], c_dir) if name in dict(MEMORY_LIMITS) else 0
    return {p: statistics.median(t) for p, t in times.items()}, rss


def print_table(results, debugged=None):
    print("%-28s %-8s %10s %10s %8s %8s  %s" %
          ("workload", "peer", "zarnith ms", "peer ms", "ratio", "target", "met"))
    for workload in WORKLOADS:
        name, title, peers = workload[0], workload[1], workload[2]
        if name not in results:
            continue
        medians = results[name][0]
        for i, peer in enumerate(peers):
            goal = workload[3] if i == 0 else EXTRA_TARGETS.get((name, peer))
            ratio = medians["zarnith"] / medians[peer]
            print("%-28s %-8s %10.1f %10.1f %8.2f %8s  %s" % (
                title if i == 0 else "", peer, medians["zarnith"] * 1000, medians[peer] * 1000,
                ratio, "%.2f" % goal if goal else "-",
                ("yes" if ratio <= goal else "NO") if goal else ""))
    if debugged:
        plain, under = debugged
        ratio = under / plain
        print("%-28s %-8s %10.1f %10.1f %8.2f %8.2f  %s" % (
            "count debugged (zarnith-dap)", "zarnith", under * 1000, plain * 1000, ratio,
            DEBUGGED_TARGET, "yes" if ratio <= DEBUGGED_TARGET else "NO"))
    for name, limit in MEMORY_LIMITS:
        if name in results:
            kib = results[name][1]
            print("peak RSS %-19s %8.1f MiB (limit %.1f MiB)  %s" % (
                name, kib / 1024, limit / 1024, "yes" if kib <= limit else "NO"))


def draw_chart(results, path):
    """The ratios Zarnith / peer as bars, one group per workload, on a log
    scale with a line at 1 (below it Zarnith is faster)."""
    import matplotlib
    matplotlib.use("Agg")
    matplotlib.rcParams["svg.hashsalt"] = "zarnith-bench"
    import matplotlib.pyplot as plt
    groups = [w for w in WORKLOADS if w[0] in results]
    peers = []
    for w in groups:
        peers += [p for p in w[2] if p not in peers]
    width = 0.8 / len(peers)
    fig, ax = plt.subplots(figsize=(11, 4.5))
    for j, peer in enumerate(peers):
        xs, ys = [], []
        for i, w in enumerate(groups):
            medians = results[w[0]][0]
            if peer in medians:
                xs.append(i + (j - (len(peers) - 1) / 2) * width)
                ys.append(medians["zarnith"] / medians[peer])
        ax.bar(xs, ys, width, label=peer)
    ax.axhline(1.0, color="black", linewidth=0.8)
    ax.set_yscale("log")
    ax.set_xticks(range(len(groups)))
    ax.set_xticklabels([w[0] for w in groups], rotation=20)
    ax.set_ylabel("Zarnith time / peer time (lower is faster)")
    ax.set_title("Zarnith against other languages (median wall time)")
    ax.legend(ncol=4, fontsize="small")
    fig.tight_layout()
    fig.savefig(path, format="svg", metadata={"Date": None})
    plt.close(fig)


# Instruction goals: at most this many a line for the distinct-line
# workloads (above an empty script's run), and at most this many in all for
# the count workload.
LINE_INSTRUCTION_GOALS = {"array": 1000, "sum": 1000}
TOTAL_INSTRUCTION_GOALS = {"count": 428_000_000}


def instructions(zarnith, script, scratch):
    out = os.path.join(scratch, "callgrind.out")
    subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=" + out, zarnith, script],
                   cwd=scratch, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    with open(out) as f:
        total = next(l for l in f if l.startswith("summary:") or l.startswith("totals:"))
    return int(total.split()[1])


def callgrind(workloads_run, zarnith, scratch):
    empty = instructions(zarnith, os.path.join(HERE, "startup", "main.zn"), scratch)
    for workload in workloads_run:
        name = workload[0]
        program_folder(name, scratch)
        for filename, make in workload[5].items():
            with open(os.path.join(scratch, filename), "wb") as f:
                f.write(make())
        total = instructions(zarnith, os.path.join(program_folder(name, scratch), "main.zn"), scratch)
        line = "%-10s %15s instructions" % (name, "{:,}".format(total))
        if name in LINE_INSTRUCTION_GOALS:
            per_line = (total - empty) / ARRAY_LENGTH
            goal = LINE_INSTRUCTION_GOALS[name]
            line += "   %6.0f a line (goal %d: %s)" % (per_line, goal, "yes" if per_line <= goal else "NO")
        if name in TOTAL_INSTRUCTION_GOALS:
            goal = TOTAL_INSTRUCTION_GOALS[name]
            line += "   (goal %s: %s)" % ("{:,}".format(goal), "yes" if total <= goal else "NO")
        print(line)
        sys.stdout.flush()


def callgrind_debugged(adapter, scratch):
    """The instructions of the count workload under zarnith-dap (the adapter
    started through valgrind), beside the plain count above."""
    out = os.path.join(scratch, "callgrind-dap.out")
    wrapper = os.path.join(scratch, "dap-under-valgrind")
    with open(wrapper, "w") as f:
        f.write("#!/bin/sh\nexec valgrind --tool=callgrind --callgrind-out-file=%s %s \"$@\" 2>/dev/null\n"
                % (out, adapter))
    os.chmod(wrapper, 0o755)
    script = os.path.join(program_folder(DEBUGGED_WORKLOAD, scratch), "main.zn")
    run_debugged(wrapper, script, scratch)
    with open(out) as f:
        total = next(l for l in f if l.startswith("summary:") or l.startswith("totals:"))
    print("%-10s %15s instructions (under zarnith-dap)" % (DEBUGGED_WORKLOAD,
                                                          "{:,}".format(int(total.split()[1]))))


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("zarnith")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--only", default="")
    parser.add_argument("--callgrind", action="store_true")
    parser.add_argument("--out", default=HERE, help="where results.txt and results.svg go")
    parser.add_argument("--debugged", metavar="ZARNITH_DAP",
                        help="also time the count workload under this zarnith-dap")
    args = parser.parse_args()
    # Paths are made absolute before the run moves into its scratch folder.
    zarnith = os.path.abspath(args.zarnith)
    adapter = os.path.abspath(args.debugged) if args.debugged else None
    out_dir = os.path.abspath(args.out)
    only = set(filter(None, args.only.split(",")))
    workloads_run = [w for w in WORKLOADS if not only or w[0] in only]
    with tempfile.TemporaryDirectory(prefix="zn-bench-") as scratch:
        os.chdir(scratch)
        if args.callgrind:
            callgrind([w for w in workloads_run if w[0] not in ("execute", "startup")], zarnith,
                      scratch)
            if adapter:
                callgrind_debugged(adapter, scratch)
            return 0
        c_dir = os.path.join(scratch, "bin")
        os.mkdir(c_dir)
        results, failures = {}, []
        for workload in workloads_run:
            try:
                results[workload[0]] = time_workload(workload, zarnith, args.rounds, c_dir, scratch)
            except WrongOutput as e:
                failures.append(str(e))
            print("measured %s" % workload[0], file=sys.stderr)
        debugged = None
        if adapter and (not only or DEBUGGED_WORKLOAD in only):
            try:
                debugged = time_debugged(adapter, zarnith, args.rounds, scratch)
            except WrongOutput as e:
                failures.append(str(e))
            print("measured count under zarnith-dap", file=sys.stderr)
        report = io.StringIO()
        with contextlib.redirect_stdout(report):
            print_table(results, debugged)
            for failure in failures:
                print("FAILED: " + failure)
        sys.stdout.write(report.getvalue())
        with open(os.path.join(out_dir, "results.txt"), "w") as f:
            f.write(report.getvalue())
        if results:
            draw_chart(results, os.path.join(out_dir, "results.svg"))
            print("chart: " + os.path.join(out_dir, "results.svg"))
        return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
