"""Builds the Debian package, unpacks it into a scratch root and runs the app from there.

Needs QUILLBAY_BUILD_DIR (a built tree), QUILLBAY_CPACK, QUILLBAY_VERSION and
QUILLBAY_APP_ID; the window test also needs DISPLAY (./test runs it under Xvfb).
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "flows"))
from desktop import alive, wait_for  # noqa: E402

APP_ID = os.environ["QUILLBAY_APP_ID"]
VERSION = os.environ["QUILLBAY_VERSION"]


def proc(pid: int, name: str) -> str:
    try:
        return Path(f"/proc/{pid}/{name}").read_bytes().replace(b"\0", b" ").decode(errors="replace")
    except OSError:
        return ""


def descendants(pid: int) -> set[int]:  # every living process below pid
    children: dict[int, list[int]] = {}
    for entry in Path("/proc").iterdir():
        if entry.name.isdigit() and (stat := proc(int(entry.name), "stat")):
            children.setdefault(int(stat.rsplit(")", 1)[1].split()[1]), []).append(int(entry.name))
    found, todo = set(), [pid]
    while todo:
        todo += children.get(todo.pop(), [])
        found.update(todo)
    return found


class InstalledPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls) -> None:
        cls.scratch = Path(tempfile.mkdtemp(prefix="quillbay-package-test-"))
        cls.addClassCleanup(shutil.rmtree, cls.scratch)
        out = cls.scratch / "cpack"
        result = subprocess.run([os.environ["QUILLBAY_CPACK"], "-G", "DEB", "-B", str(out)],
                                cwd=os.environ["QUILLBAY_BUILD_DIR"], stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, text=True, timeout=180)
        packages = list(out.glob("quillbay_*.deb"))
        if result.returncode != 0 or len(packages) != 1:
            raise AssertionError(f"cpack failed or made not one quillbay_*.deb ({packages}):\n{result.stdout}")
        cls.package, cls.root = packages[0], cls.scratch / "root"
        subprocess.run(["dpkg-deb", "-x", str(cls.package), str(cls.root)], check=True)

    def private_environment(self, name: str) -> dict[str, str]:
        home = self.scratch / name
        env = {key: value for key, value in os.environ.items() if not key.startswith(("XDG_", "DBUS_"))}
        for folder in ("data", "config", "cache", "state", "runtime"):
            (home / folder).mkdir(parents=True, mode=0o700)
            env[f"XDG_{folder.upper()}_{'DIR' if folder == 'runtime' else 'HOME'}"] = str(home / folder)
        return env

    def test_depends_on_what_the_installed_app_loads(self) -> None:
        depends = [d.strip() for d in subprocess.run(["dpkg-deb", "-f", str(self.package), "Depends"], check=True,
                                                     stdout=subprocess.PIPE, text=True).stdout.split(",")]
        for needed in ("python3 (>= 3.11)", "libgtk-4-1", "libwebkitgtk-6.0-4", "libsoup-3.0-0", "libc6"):
            self.assertTrue(any(d == needed or d.startswith(needed + " ") for d in depends), f"{needed} in {depends}")

    def test_installed_layout(self) -> None:
        usr, python = self.root / "usr", "share/quillbay/python/bin/python3.12"
        # The app finds its own icon through R/icons, also outside the desktop's data folders.
        for path in ("bin/quillbay", python, "share/quillbay/shim/quillbay_server.py", "share/quillbay/PAYLOAD.json",
                     "share/quillbay/po/quillbay.pot", f"share/applications/{APP_ID}.desktop",
                     f"share/metainfo/{APP_ID}.metainfo.xml", f"share/icons/hicolor/scalable/apps/{APP_ID}.svg",
                     f"share/quillbay/icons/hicolor/48x48/apps/{APP_ID}.png",
                     *(f"share/icons/hicolor/{n}x{n}/apps/{APP_ID}.png" for n in (16, 32, 48, 64, 128, 256))):
            executable = path in ("bin/quillbay", python)
            self.assertTrue((usr / path).is_file() and (not executable or os.access(usr / path, os.X_OK)), path)

        # The shipped bytecode is the one the installed interpreter loads.
        tag = subprocess.run([str(usr / python), "-c", "import sys; print(sys.implementation.cache_tag)"],
                             check=True, stdout=subprocess.PIPE, text=True).stdout.strip()
        studio = usr / "share/quillbay/shim/quillbay_studio"
        modules = {p.stem for p in studio.glob("*.py")}
        self.assertTrue(modules)
        self.assertEqual({p.name.split(".")[0] for p in (studio / "__pycache__").glob(f"*.{tag}.pyc")}, modules)

    def test_desktop_files_validate_and_agree_with_the_application_id(self) -> None:
        desktop = self.root / f"usr/share/applications/{APP_ID}.desktop"
        metainfo = self.root / f"usr/share/metainfo/{APP_ID}.metainfo.xml"
        for command in (["desktop-file-validate", str(desktop)], ["appstreamcli", "validate", "--no-net", str(metainfo)]):
            result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
            self.assertEqual(result.returncode, 0, result.stdout)
        entries = dict(line.split("=", 1) for line in desktop.read_text().splitlines() if "=" in line)
        self.assertEqual((entries["Icon"], entries["Exec"].split()[0]), (APP_ID, "quillbay"))
        component = ElementTree.parse(metainfo).getroot()
        self.assertEqual((component.findtext("id"), component.findtext("launchable")), (APP_ID, desktop.name))
        self.assertIn(f'<release version="{VERSION}"', metainfo.read_text())

    def test_flags_and_a_missing_display_answer_without_a_window_or_a_server(self) -> None:
        env = {k: v for k, v in self.private_environment("flags").items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        for arguments, status, pattern, stream in [  # arguments, exit status, expected output, stream
            (["--version"], 0, rf"^Quillbay {re.escape(VERSION)}\n$", "stdout"),
            (["--help"], 0, r"^Usage: quillbay \[--help \| --version\]\n(.*\n)*.*--version", "stdout"),
            (["-h"], 0, r"^Usage: quillbay", "stdout"),
            (["--frobnicate"], 2, r'unknown argument "--frobnicate"', "stderr"),
            ([], 1, r"^quillbay: Quillbay needs a graphical session \(X11 or Wayland\), and neither DISPLAY nor "
                    r"WAYLAND_DISPLAY is set\.\n$", "stderr"),  # one sentence of its own, not GTK's
        ]:
            with self.subTest(arguments=arguments):
                result = subprocess.run([str(self.root / "usr/bin/quillbay"), *arguments], env=env, timeout=30,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertRegex(getattr(result, stream), pattern)
        self.assertFalse((Path(env["XDG_DATA_HOME"]) / "Quillbay").exists(), "a server was prepared")

    @unittest.skipUnless(os.environ.get("DISPLAY"), "needs a display (./test runs under Xvfb)")
    def test_installed_app_shows_the_desk_and_quits_on_sigterm(self) -> None:
        env = self.private_environment("run")
        log, output = Path(env["XDG_DATA_HOME"]) / "Quillbay/logs/server.log", self.scratch / "run/quillbay.out"
        read = lambda path: path.read_text(errors="replace") if path.is_file() else "(none)"  # noqa: E731
        with open(output, "wb") as sink:
            app = subprocess.Popen([str(self.root / "usr/bin/quillbay")], env=env, stdin=subprocess.DEVNULL,
                                   stdout=sink, stderr=subprocess.STDOUT)
        self.addCleanup(lambda: app.poll() is None and (app.kill(), app.wait()))
        wait_for(lambda: app.poll() is not None or "beacon page=desk" in read(log), 120)
        details = f"\nquillbay output:\n{read(output)}\nserver log:\n{read(log)}"
        self.assertIsNone(app.poll(), "quillbay ended early" + details)
        self.assertIn("beacon page=desk", read(log), details)

        family = descendants(app.pid)
        servers = [pid for pid in family if "quillbay_server.py" in proc(pid, "cmdline")]
        self.assertEqual(len(servers), 1, details)
        self.assertIn(str(self.root / "usr/share/quillbay/shim/quillbay_server.py"), proc(servers[0], "cmdline"))
        app.send_signal(signal.SIGTERM)
        self.assertEqual(app.wait(timeout=60), 0, details)
        self.assertTrue(wait_for(lambda: not any(alive(pid) for pid in family), 30),
                        "left behind: " + ", ".join(proc(p, "cmdline") for p in family if alive(p)))


if __name__ == "__main__":
    unittest.main(verbosity=2)
