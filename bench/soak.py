#!/usr/bin/env python3
"""A long session: page switches, reloads and theme activations in one run.

Run under one X server, in a private network namespace, e.g.
    scripts/private_network.sh xvfb-run -a -s "-screen 0 1400x900x24" python3 bench/soak.py

It starts build/bin/quillbay (fresh HOME/XDG folders, a private session bus),
waits for the desk and then, by default, switches pages 1,000 times (clicks on
the toolbar's Desk and Room buttons), reloads 100 times (the window's "reload"
action) and activates a theme pack 100 times (the application's
"theme" action, as both theme menus do), spread over the run. Each
step waits for the page's load beacon in the server log before the next.
It prints the PSS and the private memory (USS) of the shell, of its web
processes and of the studio server at the start, at every quarter and at the
end, each with its ratio to the start.
"""
import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desk_startup import REPO, cmdline, stop_tree, tree  # noqa: E402

APP_PATH = "/org/quillbay/Quillbay"
APP_NAME = "org.quillbay.Quillbay"
THEMES = ("daylight", "studio-night")


def run(args, env=None, check=True):
    return subprocess.run(args, env=env, check=check, capture_output=True, text=True).stdout


def rollup_kb(pids, fields):
    """The sum of `fields` of smaps_rollup over `pids`, in KiB."""
    total = 0
    for pid in pids:
        try:
            with open(f"/proc/{pid}/smaps_rollup") as f:
                total += sum(int(line.split()[1]) for line in f if line.split(":")[0] in fields)
        except OSError:
            pass
    return total


def memory(shell):
    """PSS and private memory (USS) in MiB of the shell, of its web processes and of the studio server.
    PSS shares pages with every other process that maps them (other WebKit users of the machine make it
    fall); USS counts only the process's own pages, so growth shows there."""
    groups = {"shell": [shell], "web": [], "server": []}
    for pid in tree(shell):
        line = cmdline(pid)
        if "quillbay_server.py" in line:
            groups["server"].append(pid)
        elif "WebKit" in line:
            groups["web"].append(pid)
    figures = {}
    for name, pids in groups.items():
        figures[f"{name} PSS"] = rollup_kb(pids, {"Pss"}) / 1024.0
        figures[f"{name} USS"] = rollup_kb(pids, {"Private_Clean", "Private_Dirty"}) / 1024.0
    return figures


class Session:
    def __init__(self, build, home):
        self.home = home
        self.log = f"{home}/data/Quillbay/logs/server.log"
        self.bus_address = f"unix:path={home}/bus"
        bus = run(["dbus-daemon", "--session", "--fork", f"--address={self.bus_address}", "--print-pid=1"])
        self.bus_pid = int(bus.split()[0])
        self.env = dict(os.environ, HOME=home, XDG_DATA_HOME=f"{home}/data", XDG_CONFIG_HOME=f"{home}/config",
                        XDG_CACHE_HOME=f"{home}/cache", DBUS_SESSION_BUS_ADDRESS=self.bus_address,
                        NO_AT_BRIDGE="1")
        self.shell = subprocess.Popen([f"{build}/bin/quillbay"], env=self.env,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.loads = 0
        self.wait_for_load("the desk")
        windows = run(["xdotool", "search", "--onlyvisible", "--pid", str(self.shell.pid), "--name", "^Quillbay$"],
                      check=False).split()
        if not windows:
            raise SystemExit("no Quillbay window")
        self.window = windows[0]
        width = int(run(["xdotool", "getwindowgeometry", "--shell", self.window]).split("WIDTH=")[1].split()[0])
        # The page switch is the header bar's centred title widget: Desk left of the centre, Room right of it.
        self.switch_points = {"desk": (width // 2 - 30, 23), "room": (width // 2 + 30, 23)}

    def beacons(self):
        try:
            with open(self.log, errors="replace") as f:
                return f.read().count("beacon page=")
        except OSError:
            return 0

    def wait_for_load(self, what, limit=30):
        deadline = time.time() + limit
        while self.beacons() <= self.loads:
            if time.time() > deadline or self.shell.poll() is not None:
                raise SystemExit(f"no page load after {what} (load {self.loads + 1})")
            time.sleep(0.01)
        self.loads = self.beacons()

    def switch_to(self, page):
        x, y = self.switch_points[page]
        run(["xdotool", "mousemove", "--window", self.window, str(x), str(y), "click", "1"])
        self.wait_for_load(f"a switch to the {page}")

    def activate(self, path, action, parameter):
        run(["gdbus", "call", "--session", "--dest", APP_NAME, "--object-path", path,
             "--method", "org.gtk.Actions.Activate", action, parameter, "{}"], env=self.env)

    def reload(self):
        self.activate(f"{APP_PATH}/window/1", "reload", "[]")
        self.wait_for_load("a reload")

    def activate_theme(self, pack):
        self.activate(APP_PATH, "theme", f"[<'{pack}'>]")
        self.wait_for_load(f"activating {pack}")

    def close(self):
        stop_tree(self.shell)
        os.kill(self.bus_pid, signal.SIGTERM)


def report(label, figures, start=None):
    line = f"{label:>6}: " + "  ".join(f"{name} {mib:6.1f}" for name, mib in figures.items()) + " MiB"
    if start:
        line += "\n" + " " * 8 + "  ".join(f"{name} {figures[name] / start[name]:5.2f}x"
                                           for name in figures if start[name])
    print(line, flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--switches", type=int, default=1000)
    parser.add_argument("--reloads", type=int, default=100)
    parser.add_argument("--themes", type=int, default=100)
    parser.add_argument("--build", default=os.environ.get("QUILLBAY_BUILD_DIR", f"{REPO}/build"))
    parser.add_argument("--settle", type=float, default=3.0, help="seconds to wait before each measurement")
    args = parser.parse_args()

    home = tempfile.mkdtemp(prefix="qb-soak-")
    session = Session(args.build, home)
    try:
        time.sleep(args.settle)
        start = memory(session.shell.pid)
        report("start", start)
        steps = max(args.switches, args.reloads, args.themes)
        began = time.time()
        for step in range(1, steps + 1):
            if step <= args.switches:
                session.switch_to("room" if step % 2 else "desk")
            if step * args.reloads // steps > (step - 1) * args.reloads // steps:
                session.reload()
            if step * args.themes // steps > (step - 1) * args.themes // steps:
                session.activate_theme(THEMES[step % len(THEMES)])
            if step % (steps // 4 or 1) == 0 and step < steps:
                report(f"{100 * step // steps} %", memory(session.shell.pid), start)
        print(f"{session.loads} page loads in {time.time() - began:.0f} s", flush=True)
        time.sleep(args.settle)
        report("end", memory(session.shell.pid), start)
    finally:
        session.close()
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    main()
