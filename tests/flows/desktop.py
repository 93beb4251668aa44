"""The built Quillbay run as a person runs it: a private home, a session bus of its own, a
window manager on the test's display, keys sent with xdotool, results read from the studio
server's log and the files on disk.

Needs QUILLBAY_BUILD_DIR and DISPLAY (./test runs the suite under Xvfb in a private network).
"""
import json
import os
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path

BINARY = Path(os.environ.get("QUILLBAY_BUILD_DIR", "build")) / "bin" / "quillbay"


def wait_for(condition, limit: float) -> bool:
    """Whether `condition` held once within `limit` seconds (it is not asked again after)."""
    deadline = time.monotonic() + limit
    while not condition():
        if time.monotonic() >= deadline:
            return False
        time.sleep(0.1)
    return True


def alive(pid: int) -> bool:
    try:
        state = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()[0]
    except (OSError, IndexError):
        return False
    return state != "Z"


def xdotool(*args: str) -> str:
    # A window that goes while xdotool walks the tree (a tooltip, a popover) ends its walk with an X
    # error and no answer; that walk is taken again.
    for _ in range(5):
        answer = subprocess.run(["xdotool", *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                text=True, timeout=20)
        if "X Error" not in answer.stderr:
            break
    return answer.stdout


def activate(window: str) -> None:
    """Gives `window` the keyboard as a click on it would, and waits until it has it: the window manager
    may still be busy with another window (a dialog that goes, say) when it answers."""
    xdotool("windowactivate", "--sync", window)
    wait_for(lambda: xdotool("getwindowfocus").strip() == window, 5)


class WindowManager:
    """Openbox on the test's display, for the focus and activation a desktop gives."""

    def __init__(self) -> None:
        # A window manager that ended before leaves its mark on the root window (and a new one may well get
        # the same window id): the mark goes first, and the new one's is waited for.
        subprocess.run(["xprop", "-root", "-remove", "_NET_SUPPORTING_WM_CHECK"], stderr=subprocess.DEVNULL)
        self.output = tempfile.TemporaryFile()
        self.process = subprocess.Popen(["openbox", "--sm-disable", "--replace"], stdout=self.output,
                                        stderr=subprocess.STDOUT, start_new_session=True)
        if not wait_for(self.supporting_window, 20):
            self.output.seek(0)
            raise AssertionError(f"openbox did not start ({self.process.poll()}): {self.output.read()!r}")

    @staticmethod
    def supporting_window() -> str:
        answer = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, text=True).stdout
        return answer.split("#")[-1].strip() if "window id" in answer else ""

    def stop(self) -> None:
        self.process.terminate()
        self.process.wait(10)
        self.output.close()


class Session:
    """A home with private XDG folders and a private session bus, shared by every launch in it."""

    def __init__(self) -> None:
        self.home = Path(tempfile.mkdtemp(prefix="quillbay-flows-"))
        self.bus = subprocess.run(
            ["dbus-daemon", "--session", "--fork", f"--address=unix:path={self.home}/bus", "--print-pid=1"],
            stdout=subprocess.PIPE, text=True, check=True, timeout=20).stdout.split()
        self.environment = {
            "HOME": str(self.home), "XDG_DATA_HOME": str(self.home / "data"),
            "XDG_CONFIG_HOME": str(self.home / "config"), "XDG_CACHE_HOME": str(self.home / "cache"),
            "PATH": "/usr/bin:/bin", "LANG": "C.UTF-8", "GTK_A11Y": "atspi", "GTK_USE_PORTAL": "0", "G_MESSAGES_DEBUG": "Quillbay",
            "DBUS_SESSION_BUS_ADDRESS": f"unix:path={self.home}/bus", "DISPLAY": os.environ["DISPLAY"],
        }
        if "XAUTHORITY" in os.environ:
            self.environment["XAUTHORITY"] = os.environ["XAUTHORITY"]
        self.install_recording_handler()

    @property
    def handed_to_desktop(self) -> Path:
        """What the desktop was asked to open with the text/plain handler, one argument a line."""
        return self.home / "opened-with-handler"

    def install_recording_handler(self, in_terminal: bool = False) -> None:
        """The desktop's handler for text; `in_terminal` makes it a terminal program, which fails to start
        where no terminal is installed (the test machine has none)."""
        applications = self.home / "data" / "applications"
        applications.mkdir(parents=True, exist_ok=True)
        (applications / "recorder.desktop").write_text(
            "[Desktop Entry]\nType=Application\nName=Recorder\nMimeType=text/plain;\n"
            f"Terminal={'true' if in_terminal else 'false'}\n"
            f"Exec=sh -c 'echo \"$1\" >> {self.handed_to_desktop}' recorder %f\n")
        (self.home / "config").mkdir(parents=True, exist_ok=True)
        (self.home / "config" / "mimeapps.list").write_text("[Default Applications]\ntext/plain=recorder.desktop\n")

    @property
    def server_log(self) -> Path:
        return self.home / "data" / "Quillbay" / "logs" / "server.log"

    def log_inode(self):
        try:
            return self.server_log.stat().st_ino
        except OSError:
            return None

    def log_text(self) -> str:
        try:
            return self.server_log.read_text(errors="replace")
        except OSError:
            return ""

    def launch(self, binary: Path = BINARY, **changes) -> "App":
        return App(self, binary, **changes)

    def install_with_page_additions(self, html: str, script: str, css: str) -> Path:
        """A copy of the built app whose desk page carries `html`, `script` and `css` as well; returns its binary."""
        install = self.home / "install"
        (install / "bin").mkdir(parents=True)
        shutil.copy2(BINARY, install / "bin" / "quillbay")
        shutil.copytree(BINARY.parent.parent / "share" / "quillbay", install / "share" / "quillbay", symlinks=True)
        pages = install / "share" / "quillbay" / "shim" / "pages"
        desk = pages / "desk.html"
        desk.write_text(desk.read_text().replace("<main>", html + "\n<main>", 1))
        for name, addition in (("studio.js", script), ("studio.css", css)):
            with open(pages / name, "a") as file:
                file.write("\n" + addition + "\n")
        return install / "bin" / "quillbay"

    def close(self) -> None:
        for pid in self.bus:
            try:
                os.kill(int(pid), signal.SIGTERM)
            except (OSError, ValueError):
                pass
        wait_for(lambda: not any(alive(int(pid)) for pid in self.bus if pid.isdigit()), 10)
        shutil.rmtree(self.home, ignore_errors=True)


class App:
    """One `quillbay` process in a process group of its own (the web engine's helpers join it), run from
    `binary` with `changes` to the session's environment (None removes a name)."""

    def __init__(self, session: Session, binary: Path = BINARY, **changes) -> None:
        self.session = session
        self.output = open(session.home / "shell.out", "ab")
        environment = {name: value for name, value in {**session.environment, **changes}.items() if value is not None}
        self.process = subprocess.Popen([str(binary)], env=environment, stdout=self.output,
                                        stderr=subprocess.STDOUT, start_new_session=True)

    @property
    def pid(self) -> int:
        return self.process.pid

    def windows(self) -> list[str]:
        return xdotool("search", "--all", "--onlyvisible", "--pid", str(self.pid), "--name", "^Quillbay$").split()

    def shown(self) -> list[str]:
        """Every shown window of the app: its own, its dialogs and GTK's."""
        return xdotool("search", "--all", "--onlyvisible", "--pid", str(self.pid), "--name", ".*").split()

    def servers(self) -> list[int]:
        found = subprocess.run(["pgrep", "-P", str(self.pid), "-f", "quillbay_server.py"],
                               stdout=subprocess.PIPE, text=True).stdout.split()
        return [int(pid) for pid in found]

    def accessibles(self) -> list[dict]:
        """What a screen reader gets from the app now: its accessibles' role, name and states."""
        reader = Path(__file__).with_name("a11y.py")
        answer = subprocess.run(["/usr/bin/python3", "-B", str(reader), str(self.pid)], env=self.session.environment,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, timeout=60)
        return json.loads(answer.stdout or "[]")

    def press(self, keys: str) -> None:
        """Gives the window the keyboard as a click on it would, then presses `keys`."""
        found = []
        assert wait_for(lambda: found.extend(self.windows()) or found, 5), "no window to press keys in"
        window = found[0]
        activate(window)
        xdotool("mousemove", "--window", window, "300", "300")
        xdotool("key", "--clearmodifiers", keys)

    def press_in_new(self, before: list[str], *keys: str) -> list[str]:
        """Waits for a window beyond `before` (a dialog), gives it the keyboard, presses `keys`; returns what was shown."""
        assert wait_for(lambda: set(self.shown()) - set(before), 10), "no new window to press keys in"
        shown = self.shown()
        new = [window for window in shown if window not in before][-1]
        activate(new)
        time.sleep(0.3)
        self.press_more(*keys)
        return shown

    def press_more(self, *keys: str) -> None:
        """Presses `keys` one by one wherever the keyboard is now, e.g. in an open menu or dialog."""
        for key in keys:
            xdotool("key", "--clearmodifiers", key)
            time.sleep(0.2)

    def ends_cleanly(self, limit: float) -> bool:
        try:
            return self.process.wait(limit) == 0
        except subprocess.TimeoutExpired:
            return False

    def shell_output(self) -> str:
        return (self.session.home / "shell.out").read_text(errors="replace")

    def stop(self) -> None:
        try:
            os.killpg(self.pid, signal.SIGKILL)
        except OSError:
            pass
        self.process.wait(10)
        wait_for(lambda: not group_lives(self.pid), 10)
        self.output.close()


def group_lives(group: int) -> bool:
    try:
        os.killpg(group, 0)
        return True
    except ProcessLookupError:
        return False
    except PermissionError:
        return True
