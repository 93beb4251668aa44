"""Packs changed by someone else while the server reads them, and readers
that ask for the active pack while it is being replaced."""
import json
import os
import threading
from pathlib import Path

from studio_harness import StudioTestCase

SECRET = "/* private notes of the studio user */"


def write_pack(folder: Path, pack_id="ember", css="/* ember */") -> Path:
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "manifest.json").write_text(json.dumps({"id": pack_id, "name": "Ember", "version": "1.0"}))
    (folder / "theme.css").write_text(css)
    return folder


def swap_in_link(temporary: Path, secret: Path) -> None:
    os.symlink(secret, temporary)


def swap_in_fifo(temporary: Path, secret: Path) -> None:
    os.mkfifo(temporary)


class Swapper:
    """Replaces a pack's theme.css with a plain file and with something else, in turn, until stopped."""

    def __init__(self, stylesheet: Path, make_other, secret: Path):
        self.stop = threading.Event()
        self.swaps = 0
        self.thread = threading.Thread(target=self._run, args=(stylesheet, make_other, secret), daemon=True)

    def _run(self, stylesheet, make_other, secret) -> None:
        temporary = stylesheet.parent.parent / "swap.tmp"  # outside the pack
        while not self.stop.is_set():
            make_other(temporary, secret)
            os.replace(temporary, stylesheet)
            temporary.write_text("/* ember */")
            os.replace(temporary, stylesheet)
            self.swaps += 1

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc) -> None:
        self.stop.set()
        self.thread.join()


class PackSwapTest(StudioTestCase):
    def setUp(self) -> None:
        super().setUp()
        self.secret = self.temp / "private" / "notes.css"
        self.secret.parent.mkdir()
        self.secret.write_text(SECRET)
        self.secret.chmod(0o600)

    def test_a_file_swapped_for_a_link_or_fifo_during_an_install_is_never_followed_or_waited_for(self):
        pack = write_pack(self.temp / "pack")
        installed = self.installed_dir / "ember" / "theme.css"
        for label, make_other in (("link to a private file", swap_in_link), ("fifo", swap_in_fifo)):
            with self.subTest(label), Swapper(pack / "theme.css", make_other, self.secret) as swapper:
                copies = set()
                for _ in range(60):
                    answer = self.post_json("/api/themes/install", {"path": str(pack), "activate": True})
                    self.assertIn(answer.status, (200, 400), answer.text)  # each within the 5 s timeout
                    copies.add(installed.read_text() if installed.exists() else "/* ember */")
                served = self.get("/themes/active.css").text
            self.assertGreater(swapper.swaps, 0)
            self.assertEqual(copies, {"/* ember */"}, label)
            self.assertEqual(served, "/* ember */", label)
            # The write lock was released: activations still go through.
            self.assertEqual(self.post_json("/api/themes/active", {"id": "daylight"}).json()["ok"], True)

    def test_refusals_do_not_tell_whether_something_exists_where_the_caller_may_not_look(self):
        missing = self.temp / "private" / "missing.css"
        answers = []
        for target in (self.secret, missing):
            pack = write_pack(self.temp / "packs" / target.name)
            (pack / "extra.css").symlink_to(target)
            answers.append(self.install(pack)["error"].replace(target.name, "NAME"))
        (self.temp / "private" / "plain.txt").write_text("not a pack")
        os.mkfifo(self.temp / "private" / "pipe")
        for name in ("plain.txt", "missing.zip", "notes.css/", "pipe"):
            answers.append(self.install(self.temp / "private" / name)["error"].replace(name.rstrip("/"), "NAME"))
        self.assertEqual(len(set(answers[:2])), 1, answers)
        self.assertEqual(len(set(answers[2:])), 1, answers)
        fifo = write_pack(self.temp / "fifo-pack")
        (fifo / "theme.css").unlink()
        os.mkfifo(fifo / "theme.css")
        self.assertIn("not a plain file", self.install(fifo)["error"])

    def test_readers_see_the_old_or_the_new_pack_while_the_active_pack_is_reinstalled(self):
        versions = [write_pack(self.temp / name, css=f"/* {name} */") for name in ("one", "two")]
        self.assertIs(self.install(versions[0])["ok"], True)
        seen, done = [], threading.Event()

        def read() -> None:
            while not done.is_set():
                css, catalog = self.get("/themes/active.css"), self.get("/api/themes")
                seen.append((css.status, css.text, catalog.status, catalog.json().get("active")))

        readers = [threading.Thread(target=read) for _ in range(2)]
        for reader in readers:
            reader.start()
        try:
            for round_number in range(40):
                self.assertIs(self.install(versions[round_number % 2])["ok"], True)
        finally:
            done.set()
            for reader in readers:
                reader.join()
        self.assertGreater(len(seen), 10)
        self.assertEqual({entry for entry in seen if entry[0] != 200 or entry[1] not in ("/* one */", "/* two */")
                          or entry[2:] != (200, "ember")}, set())
