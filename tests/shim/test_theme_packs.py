"""Theme catalog, activation, persistence and installation from folders and zips."""
import json
import os
import shutil
import stat

from studio_harness import StudioTestCase, manifest, write_pack, write_zip

STOCK = [{"id": "studio-night", "name": "Studio Night", "version": "1.0", "stock": True},
         {"id": "daylight", "name": "Daylight", "version": "1.0", "stock": True}]


class ThemePacksTest(StudioTestCase):
    def catalog(self) -> dict:
        return self.get("/api/themes").json()

    def activate(self, pack_id) -> dict:
        return self.request("POST", "/api/themes/active", json.dumps({"id": pack_id}).encode()).json()

    def active_css(self) -> str:
        answer = self.get("/themes/active.css")
        self.assertIn("no-store", answer.headers["Cache-Control"])
        return answer.text

    def test_activation_switches_the_stylesheet_and_survives_a_restart(self):
        self.assertEqual(self.catalog(), {"active": "studio-night", "packs": STOCK})
        self.assertIn("Studio Night", self.active_css())
        for pack_id in ("no-such-pack", 7, "../daylight"):
            self.assertOneSentence(self.activate(pack_id)["error"])
        self.assertEqual(self.activate("daylight"), {"ok": True, "active": "daylight"})
        # An interrupted install's work folder is cleared at start.
        leftover = write_pack(self.installed_dir / ".work-abc123" / "pack")
        self.assertEqual(self.stop_server(), 0)
        self.start_server()
        self.assertEqual(self.catalog(), {"active": "daylight", "packs": STOCK})
        self.assertIn("Daylight", self.active_css())
        self.assertFalse(leftover.parent.exists())

    def test_broken_packs_are_listed_with_an_error_and_a_broken_active_pack_falls_back(self):
        write_pack(self.installed_dir / "ember")
        self.assertIs(self.activate("ember")["ok"], True)
        write_pack(self.installed_dir / "bad-json", "bad-json")
        (self.installed_dir / "bad-json" / "manifest.json").write_text("{ nope")
        write_pack(self.installed_dir / "wrong-folder", "other-id")
        (self.installed_dir / "ember" / "theme.css").unlink()
        packs = self.catalog()["packs"]
        self.assertEqual([p["id"] for p in packs], ["studio-night", "daylight", "bad-json", "ember", "wrong-folder"])
        for pack in packs[2:]:
            self.assertOneSentence(pack["error"])
            self.assertIs(self.activate(pack["id"])["ok"], False, pack)
        self.assertEqual(self.catalog()["active"], "studio-night")
        self.assertIn("Studio Night", self.active_css())

    def test_install_from_a_folder_and_zips_then_unsafe_or_invalid_packs_are_refused_leaving_nothing_behind(self):
        answer = self.install(write_pack(self.temp / "Ember Pack"))
        self.assertEqual(answer["installed"], {"id": "ember", "name": "Ember", "version": "2.1"})
        self.assertEqual(self.catalog(), {"active": "ember", "packs": STOCK + [dict(answer["installed"], stock=False)]})
        self.assertEqual(self.active_css(), "/* ember */")

        self.activate("daylight")
        nested = write_zip(self.temp / "nested.zip", [
            ("ember/", b"", 0o40755), ("ember/manifest.json", manifest(), 0o104777),
            ("ember/theme.css", b"/* nested */"), ("ember/img/wave.svg", b"<svg/>")])
        self.assertEqual(self.install(nested, activate=False)["installed"]["id"], "ember")
        self.assertEqual(self.catalog()["active"], "daylight")
        mode = (self.installed_dir / "ember" / "manifest.json").stat().st_mode
        self.assertFalse(mode & (stat.S_ISUID | stat.S_IXUSR))

        flat = write_zip(self.temp / "flat.zip", [("manifest.json", manifest(version="3.0")), ("theme.css", b"/* flat */")])
        self.assertEqual(self.install(flat)["installed"]["version"], "3.0")
        self.assertEqual(self.active_css(), "/* flat */")
        # The reinstall replaced the whole pack, not just the files it names.
        self.assertFalse((self.installed_dir / "ember" / "img").exists())

        good = [("manifest.json", manifest()), ("theme.css", b"/* evil */")]
        zips = {
            "absolute path": ([("/tmp/evil.css", b"x")] + good, "absolute path"),
            "dot-dot": ([("img/../../evil.css", b"x")] + good, '".."'),
            "symlink": ([("link.css", b"/etc/passwd", 0o120777)] + good, "link"),
            "too many files": ([(f"f{i}.txt", b"") for i in range(250)] + good, "more than"),
            "too large": ([("big.bin", bytes(21 * 1024 * 1024))] + good, "larger than"),
            "dot-dot id": ([("manifest.json", manifest("..")), ("theme.css", b"")], "id"),
            "no manifest": ([("theme.css", b"")], "manifest.json"),
        }
        cases = [(write_zip(self.temp / f"{label}.zip", entries), words) for label, (entries, words) in zips.items()]
        (self.temp / "notes.zip").write_text("not a zip at all")
        linked = write_pack(self.temp / "linked")
        (linked / "extra.css").symlink_to(self.temp / "notes.zip")
        cases += [(self.temp / "notes.zip", "no pack folder or .zip"), ("relative/pack", "absolute"), (linked, "is a link"),
                  (write_pack(self.temp / "fake", "daylight"), "")]  # a stock pack cannot be replaced
        for path, words in cases:
            with self.subTest(path=path):
                answer = self.install(path)
                self.assertIs(answer["ok"], False, answer)
                self.assertOneSentence(answer["error"])
                self.assertIn(words, answer["error"])
                self.assertEqual(os.listdir(self.installed_dir), ["ember"])
                self.assertEqual((self.installed_dir / "ember" / "theme.css").read_text(), "/* flat */")
        self.assertEqual(self.catalog()["active"], "ember")
        self.assertFalse((self.temp / "evil.css").exists())

    def test_installed_packs_are_limited_in_number_and_total_size(self):
        for number in range(32):
            write_pack(self.installed_dir / f"p{number}", f"p{number}")
        refused = self.install(write_pack(self.temp / "ember"))["error"]
        self.assertOneSentence(refused)
        self.assertIn("32 packs", refused)
        self.assertIs(self.install(write_pack(self.temp / "p5", "p5"))["ok"], True)  # a replacement takes no room
        shutil.rmtree(self.installed_dir / "p5")
        with open(self.installed_dir / "p0" / "sparse.bin", "wb") as sparse:
            sparse.truncate(63 * 1024 * 1024)
        big = write_pack(self.temp / "big", "big")
        (big / "data.bin").write_bytes(bytes(2 * 1024 * 1024))
        self.assertIn("64 MB", self.install(big)["error"])
        self.assertIs(self.install(write_pack(self.temp / "ember"))["ok"], True)
        self.assertEqual(len(os.listdir(self.installed_dir)), 32)
