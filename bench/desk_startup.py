#!/usr/bin/env python3
"""Time to the desk, memory and idle CPU: Quillbay against chromium --app.

Run under one X server, e.g.
    xvfb-run -a -s "-screen 0 1400x900x24" python3 bench/desk_startup.py --runs 5

For each run it measures, for Quillbay (which boots its own studio server) and
for chromium --app (pointed at a studio server this script starts first):
  * exec to the desk's beacon (the server logs "beacon page=desk t=<epoch>");
  * PSS of the shell and its web processes with the desk loaded, server excluded;
  * CPU of the same processes over an idle window once the desk is loaded.
Medians are printed at the end.
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


def wait_for_beacon(path, deadline):
    while time.time() < deadline:
        try:
            with open(path, errors="replace") as f:
                m = BEACON.search(f.read())
            if m:
                return float(m.group(1))
        except OSError:
            pass
        time.sleep(0.01)
    return None


def server_pids(root):
    return {p for p in tree(root) if "quillbay_server.py" in cmdline(p)}


def measure_idle(root, exclude_fn, idle_seconds):
    time.sleep(3)
    excl = exclude_fn()
    pids = tree(root, exclude=excl)
    pss = pss_kb(pids)
    t0 = cpu_ticks(pids)
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


def run_quillbay(binary, idle_seconds, extra_env):
    home = tempfile.mkdtemp(prefix="qb-bench-")
    env = dict(os.environ, HOME=home, XDG_DATA_HOME=f"{home}/data", XDG_CONFIG_HOME=f"{home}/config",
               XDG_CACHE_HOME=f"{home}/cache", **extra_env)
    env.pop("DBUS_SESSION_BUS_ADDRESS", None)
    log = f"{home}/data/Quillbay/logs/server.log"
    start = time.time()
    proc = subprocess.Popen([binary], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    beacon = wait_for_beacon(log, start + 60)
    result = {"startup": None if beacon is None else beacon - start}
    if beacon is not None:
        mem, cpu, n = measure_idle(proc.pid, lambda: server_pids(proc.pid), idle_seconds)
        result.update(pss_mb=mem, cpu_pct=cpu, procs=n)
    stop_tree(proc)
    shutil.rmtree(home, ignore_errors=True)
    return result


def start_studio_server(resources, state):
    port = free_port()
    env = {"PATH": "/usr/bin:/bin", "HOME": state, "STUDIO_PORT": str(port), "STUDIO_STATE": state,
           "QUILLBAY_BUNDLED": "1", "PYTHONUNBUFFERED": "1", "PYTHONDONTWRITEBYTECODE": "1", "LANG": "C.UTF-8"}
    log = open(f"{state}/server.log", "wb")
    proc = subprocess.Popen([f"{resources}/python/bin/python3.12", f"{resources}/shim/quillbay_server.py"],
                            cwd=state, env=env, stdin=subprocess.PIPE, stdout=log, stderr=subprocess.STDOUT)
    deadline = time.time() + 20
    while time.time() < deadline:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.2):
                return proc, port, f"{state}/server.log"
        except OSError:
            time.sleep(0.05)
    raise SystemExit("the studio server did not start")


def run_chromium(chromium, resources, idle_seconds):
    state = tempfile.mkdtemp(prefix="qb-bench-srv-")
    server, port, log = start_studio_server(resources, state)
    profile = tempfile.mkdtemp(prefix="qb-bench-chromium-")
    args = [chromium, f"--app=http://127.0.0.1:{port}/", f"--user-data-dir={profile}", "--no-sandbox",
            "--disable-gpu", "--no-first-run", "--disable-background-networking",
            "--disable-component-update", "--disable-sync", "--window-size=1200,800"]
    start = time.time()
    proc = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    beacon = wait_for_beacon(log, start + 60)
    result = {"startup": None if beacon is None else beacon - start}
    if beacon is not None:
        mem, cpu, n = measure_idle(proc.pid, lambda: set(), idle_seconds)
        result.update(pss_mb=mem, cpu_pct=cpu, procs=n)
    stop_tree(proc)
    server.stdin.close()
    stop_tree(server)
    shutil.rmtree(profile, ignore_errors=True)
    shutil.rmtree(state, ignore_errors=True)
    return result


def summarise(name, results):
    def med(key):
        values = [r[key] for r in results if r.get(key) is not None]
        return statistics.median(values) if values else float("nan")
    print(f"{name:28s} startup {med('startup'):6.3f} s   PSS {med('pss_mb'):7.1f} MB   "
          f"idle CPU {med('cpu_pct'):5.2f} %   ({len(results)} runs)")
    return med("startup"), med("pss_mb"), med("cpu_pct")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--idle", type=float, default=30.0, help="seconds of idle CPU measurement")
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
    rows = {}
    for i in range(args.runs):
        for v in args.variants.split(","):
            r = run_quillbay(binary, args.idle, variants[v])
            rows.setdefault(f"quillbay ({v})", []).append(r)
            print(f"run {i + 1} quillbay ({v}): {r}", flush=True)
        if os.path.exists(args.chromium):
            r = run_chromium(args.chromium, resources, args.idle)
            rows.setdefault("chromium --app", []).append(r)
            print(f"run {i + 1} chromium: {r}", flush=True)
    print()
    for name, results in rows.items():
        summarise(name, results)


if __name__ == "__main__":
    sys.exit(main())
