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
import time
import unittest
import xml.etree.ElementTree as ElementTree
from pathlib import Path

BUILD_DIR = Path(os.environ["QUILLBAY_BUILD_DIR"])
APP_ID = os.environ["QUILLBAY_APP_ID"]
VERSION = os.environ["QUILLBAY_VERSION"]


def wait_for(condition, limit: float, step: float = 0.1) -> bool:
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(step)
    return condition()


def descendants(pid: int) -> set[int]:
    """Every living process below pid, read from /proc."""
    children: dict[int, list[int]] = {}
    for entry in Path("/proc").iterdir():
        if entry.name.isdigit():
            try:
                fields = (entry / "stat").read_text().rsplit(")", 1)[1].split()
            except OSError:
                continue
            children.setdefault(int(fields[1]), []).append(int(entry.name))
    found, todo = set(), [pid]
    while todo:
        for child in children.get(todo.pop(), []):
            found.add(child)
            todo.append(child)
    return found


def alive(pid: int) -> bool:
    try:
        state = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()[0]
    except OSError:
        return False
    return state != "Z"


def command_line(pid: int) -> str:
    try:
        return Path(f"/proc/{pid}/cmdline").read_bytes().replace(b"\0", b" ").decode(errors="replace")
    except OSError:
        return ""


class InstalledPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls) -> None:
        cls.scratch = Path(tempfile.mkdtemp(prefix="quillbay-package-test-"))
        try:
            cls.package = cls.build_package()
            cls.root = cls.scratch / "root"
            subprocess.run(["dpkg-deb", "-x", str(cls.package), str(cls.root)], check=True)
        except BaseException:
            shutil.rmtree(cls.scratch, ignore_errors=True)
            raise

    @classmethod
    def build_package(cls) -> Path:
        out = cls.scratch / "cpack"
        result = subprocess.run([os.environ["QUILLBAY_CPACK"], "-G", "DEB", "-B", str(out)], cwd=BUILD_DIR,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=180)
        if result.returncode != 0:
            raise AssertionError("cpack failed:\n" + result.stdout)
        packages = list(out.glob("quillbay_*.deb"))
        if len(packages) != 1:
            raise AssertionError(f"expected one quillbay_*.deb, found {packages}:\n{result.stdout}")
        return packages[0]

    @classmethod
    def tearDownClass(cls) -> None:
        shutil.rmtree(cls.scratch)
        assert not cls.scratch.exists(), f"{cls.scratch} is still there"

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
        usr = self.root / "usr"
        for path in ("bin/quillbay", "share/quillbay/python/bin/python3.12", "share/quillbay/shim/quillbay_server.py",
                     "share/quillbay/PAYLOAD.json", "share/quillbay/po/quillbay.pot",
                     f"share/applications/{APP_ID}.desktop", f"share/metainfo/{APP_ID}.metainfo.xml",
                     f"share/icons/hicolor/scalable/apps/{APP_ID}.svg",
                     *(f"share/icons/hicolor/{n}x{n}/apps/{APP_ID}.png" for n in (16, 32, 48, 64, 128, 256))):
            self.assertTrue((usr / path).is_file(), path)
        for program in ("bin/quillbay", "share/quillbay/python/bin/python3.12"):
            self.assertTrue(os.access(usr / program, os.X_OK), program)
        # The app finds its own icon through R/icons, also outside the desktop's data folders.
        self.assertTrue((usr / f"share/quillbay/icons/hicolor/48x48/apps/{APP_ID}.png").is_file())

        # The shipped bytecode is the one the installed interpreter loads.
        tag = subprocess.run([str(usr / "share/quillbay/python/bin/python3.12"), "-c",
                              "import sys; print(sys.implementation.cache_tag)"],
                             check=True, stdout=subprocess.PIPE, text=True).stdout.strip()
        studio = usr / "share/quillbay/shim/quillbay_studio"
        modules = {p.stem for p in studio.glob("*.py")}
        compiled = {p.name.split(".")[0] for p in (studio / "__pycache__").glob(f"*.{tag}.pyc")}
        self.assertTrue(modules)
        self.assertEqual(compiled, modules)

    def test_desktop_files_validate_and_agree_with_the_application_id(self) -> None:
        share = self.root / "usr/share"
        desktop = share / f"applications/{APP_ID}.desktop"
        metainfo = share / f"metainfo/{APP_ID}.metainfo.xml"
        for command in (["desktop-file-validate", str(desktop)], ["appstreamcli", "validate", "--no-net", str(metainfo)]):
            result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
            self.assertEqual(result.returncode, 0, result.stdout)

        entries = dict(line.split("=", 1) for line in desktop.read_text().splitlines() if "=" in line)
        self.assertEqual(entries["Icon"], APP_ID)
        self.assertEqual(entries["Exec"].split()[0], "quillbay")
        component = ElementTree.parse(metainfo).getroot()
        self.assertEqual(component.findtext("id"), APP_ID)
        self.assertEqual(component.findtext("launchable"), desktop.name)
        self.assertIn(f'<release version="{VERSION}"', metainfo.read_text())

    def test_version_and_help_answer_without_a_window_or_a_server(self) -> None:
        quillbay = str(self.root / "usr/bin/quillbay")
        env = self.private_environment("flags")
        env.pop("DISPLAY", None)
        env.pop("WAYLAND_DISPLAY", None)
        cases = [  # arguments, exit status, expected output, stream
            (["--version"], 0, rf"^Quillbay {re.escape(VERSION)}\n$", "stdout"),
            (["--help"], 0, r"^Usage: quillbay \[--help \| --version\]\n(.*\n)*.*--version", "stdout"),
            (["-h"], 0, r"^Usage: quillbay", "stdout"),
            (["--frobnicate"], 2, r'unknown argument "--frobnicate"', "stderr"),
        ]
        for arguments, status, pattern, stream in cases:
            with self.subTest(arguments=arguments):
                result = subprocess.run([quillbay, *arguments], env=env, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, text=True, timeout=30)
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertRegex(getattr(result, stream), pattern)
        self.assertFalse((Path(env["XDG_DATA_HOME"]) / "Quillbay").exists(), "a server was prepared")

    @unittest.skipUnless(os.environ.get("DISPLAY"), "needs a display (./test runs under Xvfb)")
    def test_installed_app_shows_the_desk_and_quits_on_sigterm(self) -> None:
        env = self.private_environment("run")
        log = Path(env["XDG_DATA_HOME"]) / "Quillbay/logs/server.log"
        output = self.scratch / "run/quillbay.out"
        with open(output, "wb") as sink:
            app = subprocess.Popen([str(self.root / "usr/bin/quillbay")], env=env, stdin=subprocess.DEVNULL,
                                   stdout=sink, stderr=subprocess.STDOUT)
        try:
            def shows_desk() -> bool:
                return app.poll() is not None or (log.is_file() and "beacon page=desk" in log.read_text(errors="replace"))

            wait_for(shows_desk, 120)
            details = f"\nquillbay output:\n{output.read_text(errors='replace')}\nserver log:\n" + (
                log.read_text(errors="replace") if log.is_file() else "(none)")
            self.assertIsNone(app.poll(), "quillbay ended early" + details)
            self.assertIn("beacon page=desk", log.read_text(errors="replace"), details)

            family = descendants(app.pid)
            servers = [pid for pid in family if "quillbay_server.py" in command_line(pid)]
            self.assertEqual(len(servers), 1, details)
            self.assertIn(str(self.root / "usr/share/quillbay/shim/quillbay_server.py"), command_line(servers[0]))

            app.send_signal(signal.SIGTERM)
            self.assertEqual(app.wait(timeout=60), 0, details)
            self.assertTrue(wait_for(lambda: not any(alive(pid) for pid in family), 30),
                            "left behind: " + ", ".join(command_line(p) for p in family if alive(p)))
        finally:
            if app.poll() is None:
                app.kill()
                app.wait()


if __name__ == "__main__":
    unittest.main(verbosity=2)
