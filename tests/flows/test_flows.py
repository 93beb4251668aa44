"""Quillbay used as a person uses it: the built app, real keys, a window manager, GTK's own
dialogs, a session bus of its own. Results come from the studio server's log and the disk."""
import json
import subprocess
import time
import unittest
import urllib.request
import zipfile

from desktop import BINARY, Session, WindowManager, activate, alive, wait_for, xdotool


def beacons(session: Session) -> int:
    return session.log_text().count("beacon page=desk")


def replaced(servers: list, before: list) -> bool:
    return len(servers) == 1 and servers != before


def choose_in_gtk_chooser(app, title: str, path) -> None:
    """Types `path` into GTK's own chooser called `title` and takes it."""
    assert wait_for(lambda: xdotool("search", "--onlyvisible", "--name", f"^{title}$").split(), 10), f"no {title} chooser"
    time.sleep(0.5)
    chooser = xdotool("search", "--onlyvisible", "--name", f"^{title}$").split()[-1]
    activate(chooser)
    app.press_more("ctrl+l")
    xdotool("type", "--delay", "20", str(path))
    time.sleep(0.5)
    app.press_more("Delete", "Return")  # Delete drops a completion GTK may have put after the typed path
    assert wait_for(lambda: not xdotool("search", "--onlyvisible", "--name", f"^{title}$").split(), 10), \
        f"the {title} chooser stayed: {[item for item in app.accessibles() if item['role'] == 'text']}"


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


class Flow(unittest.TestCase):
    """Each test in a session of its own, on a screen with a window manager."""

    @classmethod
    def setUpClass(cls) -> None:
        cls.window_manager = WindowManager()
        cls.addClassCleanup(cls.window_manager.stop)

    def setUp(self) -> None:
        self.session = Session()
        self.addCleanup(self.session.close)

    def launch_to_desk(self, binary=BINARY):
        """Launches the app and waits for its desk: a beacon in the log of this run's server (each start begins a new log)."""
        earlier_log = self.session.log_inode()
        app = self.session.launch(binary)
        self.addCleanup(app.stop)
        self.assertTrue(wait_for(lambda: self.session.log_inode() != earlier_log and beacons(self.session) > 0
                                 and app.windows(), 60), app.shell_output())
        return app


class QuitFlows(Flow):
    def test_each_quit_key_ends_the_run_and_its_server(self) -> None:
        for keys in ("ctrl+q", "ctrl+w", "alt+F4"):
            with self.subTest(keys=keys):
                app = self.launch_to_desk()
                servers = app.servers()
                self.assertEqual(len(servers), 1)
                app.press(keys)
                self.assertTrue(wait_for(lambda: not app.windows(), 10), f"{keys} left the window shown")
                self.assertTrue(app.ends_cleanly(20), app.shell_output())
                self.assertFalse(any(alive(pid) for pid in servers), "the run left its server")

    def test_a_launch_during_the_quit_brings_back_a_window_whose_keys_work(self) -> None:
        self.session.environment["STUDIO_HUB"] = "https://hub.example/studio?token=s3cr3t-hub#also-s3cr3t"
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

        # Its menus work too.
        serving = app.servers()
        app.press("F10")
        app.press_more("Right", "Right", "Right", "r")  # Server > Restart Server
        self.assertTrue(wait_for(lambda: replaced(app.servers(), serving), 30),
                        "Restart Server did not restart it")
        save_diagnostics(app)
        self.assertTrue(wait_for(lambda: diagnostics_zips(self.session), 20), app.shell_output())
        zipped = diagnostics_zips(self.session)[0]
        wait_for(lambda: zipfile.is_zipfile(zipped), 5)
        with zipfile.ZipFile(zipped) as archive:
            texts = {entry: archive.read(entry).decode(errors="replace") for entry in archive.namelist()}
        self.assertTrue(any("hub.example" in text for text in texts.values()), list(texts))
        for entry, text in texts.items():
            self.assertNotIn(str(self.session.home), text, entry)
            self.assertNotIn("s3cr3t", text, entry)

        # File > Show Server Log hands the log to the desktop's handler for text.
        app.press("F10")
        app.press_more("l")
        self.assertTrue(wait_for(lambda: self.session.handed_to_desktop.exists(), 10), app.shell_output())
        self.assertEqual(self.session.handed_to_desktop.read_text().strip(), str(self.session.server_log))

        app.press("ctrl+w")
        self.assertTrue(app.ends_cleanly(20), "Ctrl+W did not quit the returned window")


# Where the desk's export buttons sit in the window at its first size.
SESSION_NOTES = ("919", "428")
TAKES_ARCHIVE = ("916", "478")
TAKES = b"QBTAKES\x00\x01" + bytes(range(256)) * 64


def fetched(path: str) -> bytes:
    with urllib.request.urlopen(f"http://127.0.0.1:8765{path}", timeout=10) as response:
        return response.read()


def without_time(text: bytes) -> list:
    return [line for line in text.splitlines() if not line.startswith(b"exported:")]


class DownloadFlows(Flow):
    """Each desk export through GTK's own save chooser, into the home folder it offers."""

    def download(self, app, button, *keys: str) -> None:
        window = app.windows()[0]
        before = app.shown()
        activate(window)
        xdotool("mousemove", "--window", window, *button, "click", "1")
        self.assertTrue(wait_for(lambda: xdotool("search", "--onlyvisible", "--name", "^Save Download$").split(), 10),
                        "no Save Download chooser")
        time.sleep(0.5)
        return app.press_in_new(before, *keys)

    def test_each_export_lands_byte_exact_replaces_when_asked_and_stays_away_when_cancelled(self) -> None:
        session, app = self.session, self.launch_to_desk()
        takes, notes = session.home / "takes.bin", session.home / "session.txt"

        self.download(app, TAKES_ARCHIVE, "Return")
        self.assertTrue(wait_for(lambda: takes.exists() and takes.read_bytes() == TAKES, 20), app.shell_output())

        notes.write_text("an older file\n")
        with_chooser = self.download(app, SESSION_NOTES, "Return")
        app.press_in_new(with_chooser, "Return")  # GTK's question whether to replace it
        self.assertTrue(wait_for(lambda: b"studio session" in notes.read_bytes(), 20), notes.read_text())
        self.assertEqual(without_time(notes.read_bytes()), without_time(fetched("/api/export/session.txt")))
        self.assertIn("GET /api/export/session.txt 200", session.log_text())

        takes.unlink()
        self.download(app, TAKES_ARCHIVE, "Escape")
        self.assertTrue(wait_for(lambda: not xdotool("search", "--onlyvisible", "--name", "^Save Download$").split(), 10))
        time.sleep(1)
        self.assertEqual(sorted(path.name for path in session.home.glob("*.bin*")), [], "a cancelled download left a file")
        self.assertTrue(app.windows(), "the window went with the cancel")


def pixel(x: int, y: int) -> tuple:
    """The screen's colour at x, y as (red, green, blue), 0-255."""
    text = subprocess.run(["import", "-window", "root", "-crop", f"1x1+{x}+{y}", "-depth", "8", "txt:-"],
                          stdout=subprocess.PIPE, text=True, timeout=20).stdout
    red, green, blue = text.splitlines()[1].split("(")[1].split(")")[0].split(",")[:3]
    return int(float(red)), int(float(green)), int(float(blue))


def named(app, role: str, text: str) -> bool:
    """Whether a screen reader finds a `role` of the app whose name holds `text`."""
    return any(item["role"] == role and text in item["name"] for item in app.accessibles())


def close_to(colour: tuple, wanted: tuple) -> bool:
    return all(abs(a - b) <= 3 for a, b in zip(colour, wanted))


def write_pack(path, files: dict) -> None:
    with zipfile.ZipFile(path, "w") as archive:
        for name, text in files.items():
            archive.writestr(name, text)


class InstallFlows(Flow):
    """Install Theme Pack: the question, GTK's own chooser, the POST, the catalog, the page restyled."""

    def install(self, app, pack) -> None:
        # The question and the chooser of an install before may still be on their way out.
        self.assertTrue(wait_for(lambda: len(app.shown()) == 1, 10), "a dialog of the install before is still shown")
        before = app.shown()
        app.press("ctrl+shift+i")
        app.press_in_new(before, "Return")  # Zip Archive…, the question's default
        choose_in_gtk_chooser(app, "Install Theme Pack", pack)

    def test_a_pack_installs_and_restyles_the_page_and_a_broken_one_is_refused(self) -> None:
        session = self.session
        meadow, broken = session.home / "meadow.zip", session.home / "broken.zip"
        write_pack(meadow, {"manifest.json": json.dumps({"id": "meadow", "name": "Meadow", "version": "2.0"}),
                            "theme.css": "body { background: #2f6b3a !important; }\n"})
        write_pack(broken, {"manifest.json": "{ not json", "theme.css": "body {}\n"})
        app = self.launch_to_desk()

        self.install(app, meadow)
        self.assertTrue(wait_for(lambda: "POST /api/themes/install 200" in session.log_text(), 20), session.log_text())
        self.assertEqual(json.loads(fetched("/api/themes"))["active"], "meadow")
        self.assertTrue(wait_for(lambda: session.log_text().count("beacon page=desk") >= 2, 20))
        window = app.windows()[0]
        geometry = dict(line.split("=") for line in xdotool("getwindowgeometry", "--shell", window).split())
        page = (int(geometry["X"]) + 100, int(geometry["Y"]) + 700)
        self.assertTrue(wait_for(lambda: close_to(pixel(*page), (0x2f, 0x6b, 0x3a)), 10), pixel(*page))
        app.press("F10")
        app.press_more("Right", "Right")  # the Theme menu
        self.assertTrue(wait_for(lambda: named(app, "menu item", "Meadow  \u2713"), 10), app.accessibles())
        app.press_more("Escape", "Escape")

        # GIO's resource files have no local path: the choice is said to be unusable, never taken for a cancel.
        posts = session.log_text().count("POST /api/themes/install")
        self.install(app, "resource:///org/quillbay/Quillbay/ui/style.css")
        self.assertTrue(wait_for(lambda: named(app, "label", "what was chosen has no local path"), 10), app.accessibles())
        self.assertEqual(session.log_text().count("POST /api/themes/install"), posts)

        self.install(app, broken)
        self.assertTrue(wait_for(lambda: "POST /api/themes/install 4" in session.log_text(), 20), session.log_text())
        self.assertTrue(wait_for(lambda: named(app, "label", "The manifest is not valid JSON."), 10), app.accessibles())
        self.assertEqual(json.loads(fetched("/api/themes"))["active"], "meadow")


# A page of the studio with a file field; it sends what it read back to the server as a path the log shows.
PICKER_HTML = '<input type="file" id="picker" aria-label="A file for the page">'
PICKER_SCRIPT = """document.getElementById("picker").addEventListener("change", async (event) => {
  const bytes = new Uint8Array(await event.target.files[0].arrayBuffer());
  const hex = Array.from(bytes, (byte) => byte.toString(16).padStart(2, "0")).join("");
  fetch("/api/picked/" + hex, { cache: "no-store" });
});"""
PICKER_CSS = "#picker { position: fixed; left: 4px; top: 4px; z-index: 10000; }"
PICKER = ("45", "88")  # the field's button, in window coordinates just below the menu bar
PICKED = b"\x00\x01\r\n\xff\xfe take one \x80" + bytes(range(200, 256))


class UploadFlows(Flow):
    def test_a_page_file_field_gets_the_bytes_of_the_file_chosen_in_gtk_chooser(self) -> None:
        session = self.session
        chosen = session.home / "take one.bin"
        chosen.write_bytes(PICKED)
        app = self.launch_to_desk(session.install_with_page_additions(PICKER_HTML, PICKER_SCRIPT, PICKER_CSS))

        window = app.windows()[0]
        activate(window)
        xdotool("mousemove", "--window", window, *PICKER, "click", "1")
        choose_in_gtk_chooser(app, "Choose Files", chosen)
        self.assertTrue(wait_for(lambda: f"GET /api/picked/{PICKED.hex()} 404" in session.log_text(), 20),
                        session.log_text() + app.shell_output()[-4000:])


class OutputFlows(Flow):
    def test_show_server_log_without_a_working_handler_shows_the_output_window_which_saves_it(self) -> None:
        session = self.session
        session.install_recording_handler(in_terminal=True)
        app = self.launch_to_desk()
        app.press("F10")
        app.press_more("l")  # File > Show Server Log
        output_window = lambda: xdotool("search", "--onlyvisible", "--name", "^Server Output$").split()
        self.assertTrue(wait_for(output_window, 10), app.shell_output())
        self.assertFalse(session.handed_to_desktop.exists())

        activate(output_window()[0])
        app.press_more("ctrl+shift+s")
        self.assertTrue(wait_for(lambda: xdotool("search", "--onlyvisible", "--name", "^Save Server Output$").split(), 10))
        time.sleep(0.5)
        app.press_more("Return")  # the suggested name in the home folder
        saved = session.home / "server-output.txt"
        self.assertTrue(wait_for(lambda: saved.exists() and "beacon page=desk" in saved.read_text(), 10), app.shell_output())
        self.assertRegex(saved.read_text(), r"(?m)^\u25b8 \d\d:\d\d:\d\d Ready on port 8765$")

        activate(output_window()[0])
        app.press_more("ctrl+w")
        self.assertTrue(wait_for(lambda: not output_window(), 10), "Ctrl+W left the output window shown")
        self.assertTrue(app.windows(), "Ctrl+W in the output window closed the studio window")


if __name__ == "__main__":
    unittest.main()
