"""Quillbay used as a person uses it: the built app, real keys, a window manager, GTK's own
dialogs, a session bus of its own. Results come from the studio server's log and the disk."""
import time
import unittest
import zipfile

from desktop import Session, WindowManager, alive, wait_for, xdotool


def beacons(session: Session) -> int:
    return session.log_text().count("beacon page=desk")


def replaced(servers: list, before: list) -> bool:
    return len(servers) == 1 and servers != before


def diagnostics_zips(session: Session) -> list:
    return sorted(session.home.glob("quillbay-diagnostics-*.zip"))


def save_diagnostics(app) -> None:
    """File > Save Diagnostics… by its mnemonic, then GTK's own chooser takes the suggested name."""
    app.press("F10")
    app.press_more("d")
    assert wait_for(lambda: xdotool("search", "--onlyvisible", "--name", "^Save Diagnostics$").split(), 10), \
        "no Save Diagnostics chooser"
    time.sleep(0.5)
    app.press_more("Return")


class QuitFlows(unittest.TestCase):
    @classmethod
    def setUpClass(cls) -> None:
        cls.window_manager = WindowManager()
        cls.addClassCleanup(cls.window_manager.stop)

    def setUp(self) -> None:
        self.session = Session()
        self.addCleanup(self.session.close)

    def launch_to_desk(self):
        app = self.session.launch()
        self.addCleanup(app.stop)
        self.assertTrue(wait_for(lambda: beacons(self.session) > 0 and app.windows(), 60), app.shell_output())
        return app

    def test_each_quit_key_ends_the_run_and_its_server(self) -> None:
        for keys in ("ctrl+q", "ctrl+w", "alt+F4"):
            with self.subTest(keys=keys):
                app = self.launch_to_desk()
                servers = app.servers()
                self.assertEqual(len(servers), 1)
                app.press(keys)
                self.assertTrue(app.ends_cleanly(20), app.shell_output())
                self.assertFalse(any(alive(pid) for pid in servers), "the run left its server")

    def test_a_launch_during_the_quit_brings_back_a_window_whose_keys_work(self) -> None:
        app = self.launch_to_desk()
        first_servers = app.servers()
        app.press("ctrl+q")
        self.assertTrue(wait_for(lambda: not app.windows(), 5), "Ctrl+Q left the window shown")

        again = self.session.launch()
        self.addCleanup(again.stop)
        self.assertTrue(again.ends_cleanly(20), "the second launch stayed or failed")
        self.assertTrue(wait_for(lambda: app.windows(), 5), "the launch during the quit was lost")
        self.assertTrue(wait_for(lambda: replaced(app.servers(), first_servers), 30),
                        self.session.log_text())

        # The returned window answers its keys: Ctrl+R loads the page again, Ctrl+W quits.
        # (Each server start begins a new log.)
        self.assertTrue(wait_for(lambda: beacons(self.session) >= 1, 30), self.session.log_text())
        time.sleep(1.5)  # let the page settle after the server came back
        before = beacons(self.session)
        app.press("ctrl+r")
        self.assertTrue(wait_for(lambda: beacons(self.session) > before, 20), "Ctrl+R did not reload the page")

        # Its application keys and File's items work too.
        serving = app.servers()
        app.press("ctrl+shift+r")
        self.assertTrue(wait_for(lambda: replaced(app.servers(), serving), 30),
                        "Restart Server did not restart it")
        save_diagnostics(app)
        self.assertTrue(wait_for(lambda: diagnostics_zips(self.session), 20), app.shell_output())
        zipped = diagnostics_zips(self.session)[0]
        wait_for(lambda: zipfile.is_zipfile(zipped), 5)
        with zipfile.ZipFile(zipped) as archive:
            self.assertTrue(archive.namelist())
            for entry in archive.namelist():
                text = archive.read(entry).decode(errors="replace")
                self.assertNotIn(str(self.session.home), text, entry)

        app.press("ctrl+w")
        self.assertTrue(app.ends_cleanly(20), "Ctrl+W did not quit the returned window")


if __name__ == "__main__":
    unittest.main()
