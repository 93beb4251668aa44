"""The built `quillbay` alone on the screen (no window manager), through the flows' harness: quit signals at scale 2,
a second launch, a failed start, a Wayland compositor."""
import shutil, signal, subprocess, sys, tempfile, time, unittest
from pathlib import Path

TESTS = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(TESTS / "flows"))
from desktop import BINARY, App, Session, alive, group_lives, wait_for, xdotool  # noqa: E402


class Run(App):
    """The app with `changes` to the session's environment (None removes a name), from `binary`."""

    def __init__(self, session: Session, binary: Path = BINARY, **changes) -> None:
        self.session, self.output = session, open(session.home / "shell.out", "ab")
        environment = {name: value for name, value in {**session.environment, **changes}.items() if value is not None}
        self.process = subprocess.Popen([str(binary)], env=environment, stdout=self.output, stderr=subprocess.STDOUT,
                                        start_new_session=True)


class QuillbayRun(unittest.TestCase):
    def setUp(self) -> None:
        self.session = Session()
        self.addCleanup(self.session.close)

    def launch(self, binary: Path = BINARY, **changes) -> Run:
        app = Run(self.session, binary, **changes)
        self.addCleanup(app.stop)
        return app

    def on_the_desk(self, app: Run) -> None:
        self.assertTrue(wait_for(lambda: "beacon page=desk" in self.session.log_text(), 60), app.shell_output())

    def quit_by(self, app: Run, *signals: int) -> None:
        """Ends the app by `signals`: it takes the quit path and leaves no server."""
        servers = app.servers()
        self.assertEqual(len(servers), 1, app.shell_output())
        for number in signals:
            app.process.send_signal(number)
        self.assertTrue(app.ends_cleanly(15), app.shell_output())
        self.assertFalse(any(alive(pid) for pid in servers))

    def test_at_scale_two_the_window_fits_and_each_quit_signal_leaves_no_server_and_the_remembered_size(self) -> None:
        preferences = self.session.home / "config/Quillbay/preferences.ini"
        preferences.parent.mkdir(parents=True)
        preferences.write_text("[Preferences]\nwindow.width=1150\nwindow.height=780\nwindow.maximized=false\n")
        app = self.launch(GDK_SCALE="2")
        self.on_the_desk(app)
        self.assertEqual(len(app.windows()), 1)
        geometry = dict(line.split("=") for line in xdotool("getwindowgeometry", "--shell", app.windows()[0]).split())
        x, y, width, height = (int(geometry[name]) for name in ("X", "Y", "WIDTH", "HEIGHT"))
        self.assertTrue(x + width <= 1400 and y + height <= 900, geometry)  # the screen: 700x450 at scale 2
        # One run takes all three: a signal that did not take the quit path would end the app itself.
        self.quit_by(app, signal.SIGHUP, signal.SIGINT, signal.SIGTERM)
        for kept in ("window.width=1150\n", "window.height=780\n"):
            self.assertIn(kept, preferences.read_text())

        # Also while it starts: just after the server is launched, before any window.
        trace = self.session.home / "startup-trace"
        early = self.launch(QUILLBAY_STARTUP_TRACE=str(trace))
        self.assertTrue(wait_for(lambda: trace.exists() and "server-spawned " in trace.read_text(), 30), early.shell_output())
        launched = early.servers()
        early.process.send_signal(signal.SIGTERM)
        self.assertTrue(early.ends_cleanly(15), "the quit path, not the signal, ends the app")
        self.assertFalse(any(alive(pid) for pid in launched))

    def test_a_second_launch_leaves_the_firsts_server_alone_and_the_quit_waits_for_the_grace(self) -> None:
        # (A launch during the quit: tests/flows.)
        first = self.launch()
        self.on_the_desk(first)
        servers = first.servers()
        self.assertEqual(len(servers), 1)
        self.assertTrue(self.launch().ends_cleanly(20), "the second launch stayed or failed")
        self.assertEqual(first.servers(), servers, "the first instance's server was disturbed")
        asked = time.monotonic()
        first.process.send_signal(signal.SIGTERM)
        self.assertTrue(first.ends_cleanly(10))
        self.assertGreaterEqual(time.monotonic() - asked, 2.5)
        self.assertFalse(alive(servers[0]))

    def test_a_failed_start_keeps_the_window_and_quits_at_once(self) -> None:
        # A copy of the binary next to a resource folder whose server crashes.
        install = self.session.home / "install"
        (install / "bin").mkdir(parents=True)
        shutil.copy(BINARY, install / "bin/quillbay")
        resources = install / "share/quillbay"
        (resources / "shim").mkdir(parents=True)
        (resources / "shim/quillbay_server.py").write_text(
            f"import os, sys\nos.execv(sys.executable, [sys.executable, {str(TESTS / 'fixtures/fake_studio_server.py')!r}, "
            "'--crash-at-start'])\n")
        (resources / "python/bin").mkdir(parents=True)
        (resources / "python/bin/python3.12").symlink_to("/usr/bin/python3")

        app = self.launch(install / "bin/quillbay")
        self.assertTrue(wait_for(lambda: "Traceback" in self.session.log_text(), 30), app.shell_output())
        time.sleep(1)
        self.assertIsNone(app.process.poll(), "the app ended after a failed start")
        self.assertTrue(app.windows())
        asked = time.monotonic()
        app.process.send_signal(signal.SIGTERM)
        self.assertTrue(app.ends_cleanly(10))
        self.assertLess(time.monotonic() - asked, 2.5)  # no child to stop: no grace to wait for

    def test_on_a_wayland_compositor_the_desk_loads_and_sigterm_leaves_nothing(self) -> None:
        # A headless compositor that draws with the CPU, on a socket in a runtime folder of the test's own.
        runtime = Path(tempfile.mkdtemp(prefix="quillbay-runtime-"))
        self.addCleanup(shutil.rmtree, runtime, True)
        with open(self.session.home / "weston.out", "wb") as output:
            weston = subprocess.Popen(["weston", "--backend=headless-backend.so", "--use-pixman", "--width=1400",
                                       "--height=900", "--socket=quillbay-wayland", "--idle-time=0"],
                                      env={"XDG_RUNTIME_DIR": str(runtime), "PATH": "/usr/bin:/bin", "HOME": str(self.session.home)}, stdout=output,
                                      stderr=subprocess.STDOUT, start_new_session=True)
        self.addCleanup(lambda: (weston.kill(), weston.wait(10), wait_for(lambda: not group_lives(weston.pid), 10)))
        self.assertTrue(wait_for(lambda: (runtime / "quillbay-wayland").exists(), 20),
                        (self.session.home / "weston.out").read_text())

        app = self.launch(DISPLAY=None, XAUTHORITY=None, GDK_BACKEND="wayland", WAYLAND_DISPLAY="quillbay-wayland",
                          XDG_RUNTIME_DIR=str(runtime))
        self.on_the_desk(app)
        self.quit_by(app, signal.SIGTERM)
        # The compositor has no input seat, which GDK reports once; nothing else may be critical.
        for line in app.shell_output().splitlines():
            self.assertTrue("CRITICAL" not in line or "seat" in line, line)


if __name__ == "__main__":
    unittest.main()
