#!/usr/bin/env python3
"""Time to the desk, memory and idle CPU: Quillbay against chromium --app.

Run under one X server, e.g.
    xvfb-run -a -s "-screen 0 1400x900x24" python3 bench/desk_startup.py --runs 5

For each round it runs Quillbay (which boots its own studio server) and
chromium --app (after booting the same studio server, with the same interpreter
and script, inside its clock), alternating which goes first, and measures:
  * exec to the desk's beacon (the server logs "beacon page=desk t=<epoch>");
  * the CPU time the whole tree (shell, web processes, server) has used by then:
    less sensitive to the load of a shared machine than the wall clock;
  * PSS of the shell and its web processes with the desk loaded, server excluded;
  * CPU of the same processes over an idle window once the desk is loaded.
It prints median, quartiles and range per side, and the ratio Quillbay/chromium
(of the medians, and the median and range of the per-round ratios).
With --timeline it also notes when the server, network and web processes first
appear and when "GET /" reaches the server log (5 ms polling, approximate).
"""
import argparse
import os
import re
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BEACON = re.compile(r"beacon page=desk t=([0-9.]+)")
CLK_TCK = os.sysconf("SC_CLK_TCK")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def children_map():
    kids = {}
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open(f"/proc/{name}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            kids.setdefault(int(fields[1]), []).append(int(name))
        except OSError:
            pass
    return kids


def tree(root, exclude=()):
    kids = children_map()
    out, todo = [], [root]
    while todo:
        pid = todo.pop()
        if pid in exclude:
            continue
        out.append(pid)
        todo.extend(kids.get(pid, []))
    return out


def cmdline(pid):
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            return f.read().replace(b"\0", b" ").decode(errors="replace")
    except OSError:
        return ""


def pss_kb(pids):
    total = 0
    for pid in pids:
        try:
            with open(f"/proc/{pid}/smaps_rollup") as f:
                for line in f:
                    if line.startswith("Pss:"):
                        total += int(line.split()[1])
        except OSError:
            pass
    return total


def cpu_ticks(pids):
    total = 0
    for pid in pids:
        try:
            with open(f"/proc/{pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            total += int(fields[11]) + int(fields[12])
        except OSError:
            pass
    return total


TIMELINE_MARKS = (("server", "quillbay_server.py"), ("network", "WebKitNetworkProcess"),
                  ("web", "WebKitWebProcess"))


def wait_for_beacon(path, deadline, root=None, start=None, timeline=None):
    """The beacon's time; with `timeline` (a dict) also first sightings, relative to `start`."""
    while time.time() < deadline:
        if timeline is not None:
            note_timeline(path, root, start, timeline)
        try:
            with open(path, errors="replace") as f:
                m = BEACON.search(f.read())
            if m:
                return float(m.group(1))
        except OSError:
            pass
        time.sleep(0.005 if timeline is not None else 0.01)
    return None


def listening_on_loopback():
    """True once anything listens on TCP 127.0.0.1 (read from /proc, so the server sees nothing)."""
    try:
        with open("/proc/net/tcp") as f:
            return any(fields[1].startswith("0100007F:") and fields[3] == "0A"
                       for fields in (line.split() for line in f.readlines()[1:]))
    except OSError:
        return False


def cpu_by_kind(root):
    """CPU seconds so far of each kind of process in the tree (server, network, web, the rest)."""
    kinds = {}
    for pid in tree(root):
        line = cmdline(pid)
        kind = next((mark for mark, needle in TIMELINE_MARKS if needle in line), "shell and others")
        kinds[kind] = round(kinds.get(kind, 0.0) + cpu_ticks([pid]) / CLK_TCK, 2)
    return kinds


def note_timeline(log, root, start, timeline):
    now = time.time() - start
    # Walking /proc costs the machine too; a coarser look at the processes is enough.
    if root is not None and now - timeline.get("_scanned", -1.0) >= 0.025:
        timeline["_scanned"] = now
        for pid in tree(root):
            line = cmdline(pid)
            for mark, needle in TIMELINE_MARKS:
                if mark not in timeline and needle in line:
                    timeline[mark] = now
    if "listening" not in timeline and listening_on_loopback():
        timeline["listening"] = now
    if "GET /" not in timeline:
        try:
            with open(log, errors="replace") as f:
                if re.search(r"^GET / ", f.read(), re.M):
                    timeline["GET /"] = now
        except OSError:
            pass


def read_trace(path, start):
    """The shell's own start-up steps (QUILLBAY_STARTUP_TRACE), first of each, relative to `start`."""
    steps = {}
    try:
        with open(path) as f:
            for line in f:
                step, _, when = line.partition(" ")
                steps.setdefault(step, float(when) - start)
    except (OSError, ValueError):
        pass
    return steps


def server_pids(root):
    return {p for p in tree(root) if "quillbay_server.py" in cmdline(p)}


def measure_idle(root, exclude_fn, idle_seconds):
    time.sleep(3)
    excl = exclude_fn()
    pids = tree(root, exclude=excl)
    pss = pss_kb(pids)
    t0 = cpu_ticks(pids)
    if idle_seconds <= 0:
        return pss / 1024.0, None, len(pids)
    time.sleep(idle_seconds)
    pids2 = tree(root, exclude=exclude_fn())
    cpu = (cpu_ticks(pids2) - t0) / CLK_TCK / idle_seconds * 100.0
    return pss / 1024.0, cpu, len(pids)


def stop_tree(proc, timeout=10):
    try:
        proc.send_signal(signal.SIGTERM)
        proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        for pid in tree(proc.pid):
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass
        proc.wait()


def run_quillbay(binary, idle_seconds, extra_env, timeline=False):
    home = tempfile.mkdtemp(prefix="qb-bench-")
    env = dict(os.environ, HOME=home, XDG_DATA_HOME=f"{home}/data", XDG_CONFIG_HOME=f"{home}/config",
               XDG_CACHE_HOME=f"{home}/cache", **extra_env)
    env.pop("DBUS_SESSION_BUS_ADDRESS", None)
    log = f"{home}/data/Quillbay/logs/server.log"
    trace = f"{home}/startup-trace"
    if timeline:
        env["QUILLBAY_STARTUP_TRACE"] = trace
    start = time.time()
    proc = subprocess.Popen([binary], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    marks = {} if timeline else None
    beacon = wait_for_beacon(log, start + 60, proc.pid, start, marks)
    result = {"startup": None if beacon is None else beacon - start,
              "cpu_s": cpu_ticks(tree(proc.pid)) / CLK_TCK}
    if marks is not None:
        result["cpu_by"] = cpu_by_kind(proc.pid)
    if marks:
        marks.update(read_trace(trace, start))
        result["timeline"] = {k: round(v, 3) for k, v in sorted(marks.items(), key=lambda kv: kv[1])
                              if not k.startswith("_")}
    if beacon is not None and idle_seconds >= 0:
        mem, cpu, n = measure_idle(proc.pid, lambda: server_pids(proc.pid), idle_seconds)
        result.update(pss_mb=mem, cpu_pct=cpu, procs=n)
    stop_tree(proc)
    shutil.rmtree(home, ignore_errors=True)
    return result


def start_studio_server(resources, state, port):
    env = {"PATH": "/usr/bin:/bin", "HOME": state, "STUDIO_PORT": str(port), "STUDIO_STATE": state,
           "QUILLBAY_BUNDLED": "1", "PYTHONUNBUFFERED": "1", "PYTHONDONTWRITEBYTECODE": "1", "LANG": "C.UTF-8"}
    log = open(f"{state}/server.log", "wb")
    proc = subprocess.Popen([f"{resources}/python/bin/python3.12", f"{resources}/shim/quillbay_server.py"],
                            cwd=state, env=env, stdin=subprocess.PIPE, stdout=log, stderr=subprocess.STDOUT)
    # Polled as a launcher script would, before the browser is started at it.
    deadline = time.time() + 20
    while time.time() < deadline:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.2):
                return proc
        except OSError:
            time.sleep(0.005)
    raise SystemExit("the studio server did not start")


def run_chromium(chromium, resources, idle_seconds, timeline=False):
    state = tempfile.mkdtemp(prefix="qb-bench-srv-")
    profile = tempfile.mkdtemp(prefix="qb-bench-chromium-")
    port = free_port()
    log = f"{state}/server.log"
    args = [chromium, f"--app=http://127.0.0.1:{port}/", f"--user-data-dir={profile}", "--no-sandbox",
            "--disable-gpu", "--no-first-run", "--disable-background-networking",
            "--disable-component-update", "--disable-sync", "--window-size=1200,800"]
    # The server's boot is inside the clock, as it is for Quillbay.
    start = time.time()
    server = start_studio_server(resources, state, port)
    listening = time.time() - start
    proc = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    marks = {"server": 0.0, "listening": listening} if timeline else None
    beacon = wait_for_beacon(log, start + 60, proc.pid, start, marks)
    result = {"startup": None if beacon is None else beacon - start,
              "cpu_s": (cpu_ticks(tree(proc.pid)) + cpu_ticks(tree(server.pid))) / CLK_TCK}
    if marks:
        result["timeline"] = {k: round(v, 3) for k, v in sorted(marks.items(), key=lambda kv: kv[1])
                              if not k.startswith("_")}
    if beacon is not None and idle_seconds >= 0:
        mem, cpu, n = measure_idle(proc.pid, lambda: set(), idle_seconds)
        result.update(pss_mb=mem, cpu_pct=cpu, procs=n)
    stop_tree(proc)
    server.stdin.close()
    stop_tree(server)
    shutil.rmtree(profile, ignore_errors=True)
    shutil.rmtree(state, ignore_errors=True)
    return result


def spread(values):
    """(median, first quartile, third quartile, min, max) of `values`, or None."""
    if not values:
        return None
    if len(values) < 2:
        return (values[0],) * 5
    q1, _, q3 = statistics.quantiles(values, n=4, method="inclusive")
    return statistics.median(values), q1, q3, min(values), max(values)


def describe(values, unit="", scale=1.0, digits=3):
    s = spread([v * scale for v in values])
    if s is None:
        return "n/a"
    f = f"{{:.{digits}f}}"
    med, q1, q3, lo, hi = (f.format(v) for v in s)
    return f"{med}{unit} (IQR {q1}-{q3}, range {lo}-{hi})"


def summarise(name, results):
    def values(key):
        return [r[key] for r in results if r.get(key) is not None]
    print(f"{name}: {len(values('startup'))}/{len(results)} runs reached the desk")
    print(f"  exec -> desk beacon  {describe(values('startup'), ' s')}")
    print(f"  CPU time by then     {describe(values('cpu_s'), ' s', digits=2)}")
    if values("pss_mb"):
        print(f"  PSS with the desk    {describe(values('pss_mb'), ' MB', digits=1)}")
    if values("cpu_pct"):
        print(f"  idle CPU             {describe(values('cpu_pct'), ' %', digits=2)}")


def compare(rows, reference="chromium --app"):
    """Quillbay / chromium: ratio of medians, and the per-round ratios."""
    base = rows.get(reference)
    if not base:
        return
    for name, results in rows.items():
        if name == reference:
            continue
        for key, label in (("startup", "exec -> desk beacon"), ("cpu_s", "CPU time to the desk"),
                           ("pss_mb", "PSS"), ("cpu_pct", "idle CPU")):
            mine = [r.get(key) for r in results]
            theirs = [r.get(key) for r in base]
            a = [v for v in mine if v is not None]
            b = [v for v in theirs if v is not None]
            if not a or not b or statistics.median(b) == 0:
                continue
            line = f"{name} / chromium, {label}: {statistics.median(a) / statistics.median(b):.2f}x of medians"
            pairs = [x / y for x, y in zip(mine, theirs) if x is not None and y]
            if key in ("startup", "cpu_s") and pairs:
                med, q1, q3, lo, hi = spread(pairs)
                line += f"; per round {med:.2f}x (IQR {q1:.2f}-{q3:.2f}, range {lo:.2f}-{hi:.2f})"
            print(line)


def load_average():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--idle", type=float, default=30.0,
                    help="seconds of idle CPU measurement; 0: memory only, -1: time to the desk only")
    ap.add_argument("--timeline", action="store_true", help="note when processes appear and GET / arrives")
    ap.add_argument("--no-chromium", action="store_true", help="Quillbay only")
    ap.add_argument("--also", action="append", default=[], metavar="LABEL=BUILD",
                    help="another Quillbay build (e.g. before a change) run in the same rounds")
    ap.add_argument("--build", default=os.path.join(REPO, "build"))
    ap.add_argument("--chromium", default=shutil.which("chromium") or "/usr/bin/chromium")
    ap.add_argument("--variants", default="auto", help="comma list of: auto, gl, cairo")
    args = ap.parse_args()

    binary = os.path.join(args.build, "bin", "quillbay")
    resources = os.path.join(args.build, "share", "quillbay")
    variants = {
        "auto": {},
        "gl": {"GSK_RENDERER": "gl", "WEBKIT_DISABLE_DMABUF_RENDERER": "0"},
        "cairo": {"GSK_RENDERER": "cairo", "WEBKIT_DISABLE_DMABUF_RENDERER": "1"},
    }
    with_chromium = not args.no_chromium and os.path.exists(args.chromium)
    if not args.no_chromium and not with_chromium:
        print(f"note: no chromium at {args.chromium}; Quillbay only", flush=True)
    print(f"load average at start: {load_average()} ({os.cpu_count()} CPUs)", flush=True)
    rows = {}

    builds = [("", binary)] + [(label + " ", os.path.join(build, "bin", "quillbay"))
                               for label, build in (a.split("=", 1) for a in args.also)]

    def quillbay(i):
        for label, path in builds:
            for v in args.variants.split(","):
                r = run_quillbay(path, args.idle, variants[v], args.timeline)
                rows.setdefault(f"quillbay {label}({v})", []).append(r)
                print(f"run {i + 1} quillbay {label}({v}): {r}", flush=True)

    def chromium(i):
        r = run_chromium(args.chromium, resources, args.idle, args.timeline)
        rows.setdefault("chromium --app", []).append(r)
        print(f"run {i + 1} chromium: {r}", flush=True)

    for i in range(args.runs):
        # Alternating the order spreads any drift in the machine's load evenly.
        order = [quillbay, chromium] if i % 2 == 0 else [chromium, quillbay]
        for side in order:
            if side is quillbay or with_chromium:
                side(i)
    print()
    print(f"load average at end: {load_average()}")
    for name, results in rows.items():
        summarise(name, results)
    compare(rows)


if __name__ == "__main__":
    sys.exit(main())
