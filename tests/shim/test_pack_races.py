"""Packs changed by someone else while the server reads them, and readers
that ask for the active pack while it is being replaced."""
import os

from studio_harness import StudioTestCase, repeating, write_pack


def swap(stylesheet, make_other):
    """A step that replaces theme.css with something else, then with a plain file again."""
    temporary = stylesheet.parent.parent / "swap.tmp"  # outside the pack

    def step() -> None:
        make_other(temporary)
        os.replace(temporary, stylesheet)
        temporary.write_text("/* ember */")
        os.replace(temporary, stylesheet)
    return step


class PackSwapTest(StudioTestCase):
    def test_a_file_swapped_for_a_link_or_fifo_during_an_install_is_never_followed_or_waited_for(self):
        secret = self.temp / "private" / "notes.css"
        secret.parent.mkdir()
        secret.write_text("/* private notes of the studio user */")
        pack = write_pack(self.temp / "pack")
        installed = self.installed_dir / "ember" / "theme.css"
        for label, make_other in (("link to a private file", lambda path: path.symlink_to(secret)),
                                  ("fifo", os.mkfifo)):
            with self.subTest(label), repeating(swap(pack / "theme.css", make_other)) as swaps:
                for _ in range(60):
                    answer = self.post_json("/api/themes/install", {"path": str(pack), "activate": True})
                    self.assertIn(answer.status, (200, 400), answer.text)  # each within the 5 s timeout
                    self.assertEqual(installed.read_text() if installed.exists() else "/* ember */", "/* ember */")
            self.assertTrue(swaps)
            # Each install may have met the swap; once it stops, one succeeds.
            self.assertIs(self.install(pack)["ok"], True)
            self.assertEqual(self.get("/themes/active.css").text, "/* ember */", label)
            self.assertIs(self.post_json("/api/themes/active", {"id": "daylight"}).json()["ok"], True)

    def test_readers_see_the_old_or_the_new_pack_while_the_active_pack_is_reinstalled(self):
        versions = [write_pack(self.temp / name, css=f"/* {name} */") for name in ("one", "two")]
        self.assertIs(self.install(versions[0])["ok"], True)
        seen = []

        def read() -> None:
            css, catalog = self.get("/themes/active.css"), self.get("/api/themes")
            seen.append((css.status, css.text, catalog.status, catalog.json().get("active")))

        with repeating(read, threads=2):
            for round_number in range(40):
                self.assertIs(self.install(versions[round_number % 2])["ok"], True)
        self.assertGreater(len(seen), 10)
        self.assertEqual({entry for entry in seen if entry[0] != 200 or entry[1] not in ("/* one */", "/* two */")
                          or entry[2:] != (200, "ember")}, set())
