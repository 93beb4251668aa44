"""Theme catalog, activation, persistence and installation from folders and zips."""
import json
import os
import stat
import zipfile
from pathlib import Path

from studio_harness import StudioTestCase

STOCK = [
    {"id": "studio-night", "name": "Studio Night", "version": "1.0", "stock": True},
    {"id": "daylight", "name": "Daylight", "version": "1.0", "stock": True},
]


def manifest(pack_id="ember", name="Ember", version="2.1") -> bytes:
    return json.dumps({"id": pack_id, "name": name, "version": version}).encode()


def write_pack(folder: Path, pack_id="ember", css="body { color: red; }", name="Ember") -> Path:
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "manifest.json").write_bytes(manifest(pack_id, name))
    (folder / "theme.css").write_text(css)
    return folder


def write_zip(path: Path, entries) -> Path:
    """entries: (name, data) or (name, data, unix mode)."""
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
        for name, data, *mode in entries:
            info = zipfile.ZipInfo(name)
            info.external_attr = (mode[0] if mode else 0o100644) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, data)
    return path


class ThemeTestCase(StudioTestCase):
    @property
    def installed_dir(self) -> Path:
        return self.state_dir / "themes"

    def catalog(self) -> dict:
        answer = self.server.get("/api/themes")
        self.assertEqual(answer.status, 200)
        return answer.json()

    def activate(self, pack_id) -> dict:
        return self.server.post_json("/api/themes/active", {"id": pack_id}).json()

    def install(self, path, activate=True) -> dict:
        return self.server.post_json("/api/themes/install",
                                     {"path": str(path), "activate": activate}).json()

    def active_css(self) -> str:
        answer = self.server.get("/themes/active.css")
        self.assertIn("no-store", answer.headers["Cache-Control"])
        return answer.text


class CatalogAndActivationTest(ThemeTestCase):
    def test_fresh_catalog_lists_the_stock_packs_with_night_active(self):
        self.assertEqual(self.catalog(), {"active": "studio-night", "packs": STOCK})
        self.assertIn("Studio Night", self.active_css())

    def test_activation_switches_stylesheet_and_pages_and_survives_restart(self):
        self.assertEqual(self.activate("daylight"), {"ok": True, "active": "daylight"})
        self.assertEqual(self.catalog()["active"], "daylight")
        self.assertIn("Daylight", self.active_css())
        self.assertIn("<strong>Daylight</strong>", self.server.get("/room/").text)
        self.restart_server()
        self.assertEqual(self.catalog()["active"], "daylight")
        self.assertIn("Daylight", self.active_css())

    def test_unknown_and_malformed_ids_are_refused_without_changing_the_active_pack(self):
        for pack_id in ("no-such-pack", "", 7, None, "../daylight"):
            with self.subTest(pack_id=pack_id):
                answer = self.activate(pack_id)
                self.assertIs(answer["ok"], False)
                self.assertOneSentence(answer["error"])
        self.assertEqual(self.catalog()["active"], "studio-night")

    def test_broken_installed_packs_are_listed_with_an_error_and_cannot_be_activated(self):
        self.installed_dir.mkdir(parents=True, exist_ok=True)
        write_pack(self.installed_dir / "aaa-good", "aaa-good", name="Good")
        (self.installed_dir / "no-css").mkdir()
        (self.installed_dir / "no-css" / "manifest.json").write_bytes(manifest("no-css"))
        write_pack(self.installed_dir / "bad-json", "bad-json")
        (self.installed_dir / "bad-json" / "manifest.json").write_text("{ nope")
        write_pack(self.installed_dir / "wrong-folder", "other-id")
        write_pack(self.installed_dir / "daylight", "daylight")  # shadowing a stock pack
        packs = self.catalog()["packs"]
        self.assertEqual(packs[:2], STOCK)
        self.assertEqual([p["id"] for p in packs[2:]],
                         ["aaa-good", "bad-json", "daylight", "no-css", "wrong-folder"])
        self.assertNotIn("error", packs[2])
        self.assertIs(packs[2]["stock"], False)
        for pack in packs[3:]:
            with self.subTest(pack=pack["id"]):
                self.assertOneSentence(pack["error"])
                self.assertIs(pack["stock"], False)
                answer = self.activate(pack["id"]) if pack["id"] != "daylight" else None
                if answer:
                    self.assertIs(answer["ok"], False)
        self.assertEqual(self.catalog()["active"], "studio-night")

    def test_a_stored_pack_that_broke_falls_back_to_the_default(self):
        write_pack(self.installed_dir / "ember")
        self.assertIs(self.activate("ember")["ok"], True)
        (self.installed_dir / "ember" / "theme.css").unlink()
        self.assertEqual(self.catalog()["active"], "studio-night")
        self.assertIn("Studio Night", self.active_css())


class InstallTest(ThemeTestCase):
    def test_install_from_a_folder_activates_and_lists_the_pack(self):
        source = write_pack(self.temp / "Ember Pack", css="/* ember */")
        answer = self.install(source)
        self.assertEqual(answer["ok"], True)
        self.assertEqual(answer["installed"], {"id": "ember", "name": "Ember", "version": "2.1"})
        catalog = self.catalog()
        self.assertEqual(catalog["active"], "ember")
        self.assertEqual(catalog["packs"][2],
                         {"id": "ember", "name": "Ember", "version": "2.1", "stock": False})
        self.assertEqual(self.active_css(), "/* ember */")
        self.assertEqual(sorted(os.listdir(self.installed_dir)), ["ember"])

    def test_install_from_a_zip_with_the_pack_in_a_top_folder_or_at_the_root(self):
        nested = write_zip(self.temp / "nested.zip", [
            ("ember/", b"", 0o40755), ("ember/manifest.json", manifest()),
            ("ember/theme.css", b"/* nested */"), ("ember/img/wave.svg", b"<svg/>")])
        answer = self.install(nested, activate=False)
        self.assertEqual(answer["installed"]["id"], "ember")
        self.assertEqual(self.catalog()["active"], "studio-night")
        self.assertTrue((self.installed_dir / "ember" / "img" / "wave.svg").is_file())

        flat = write_zip(self.temp / "flat.zip", [
            ("manifest.json", manifest(version="3.0")), ("theme.css", b"/* flat */")])
        self.assertEqual(self.install(flat)["installed"]["version"], "3.0")
        self.assertEqual(self.active_css(), "/* flat */")
        # The reinstall replaced the whole pack, not just the files it names.
        self.assertFalse((self.installed_dir / "ember" / "img").exists())
        self.assertEqual(sorted(os.listdir(self.installed_dir)), ["ember"])

    def test_a_stock_pack_cannot_be_replaced(self):
        answer = self.install(write_pack(self.temp / "fake", "daylight", css="/* fake */"))
        self.assertIs(answer["ok"], False)
        self.assertOneSentence(answer["error"])
        self.activate("daylight")
        self.assertIn("Daylight", self.active_css())
        self.assertEqual(os.listdir(self.installed_dir), [])


class RefusedInstallTest(ThemeTestCase):
    def setUp(self):
        super().setUp()
        self.assertIs(self.install(write_pack(self.temp / "keeper-src", "keeper",
                                              css="/* keeper */"))["ok"], True)

    def assertRefusedLeavingNothing(self, path, expected_words):
        answer = self.install(path)
        self.assertIs(answer["ok"], False, answer)
        self.assertOneSentence(answer["error"])
        self.assertIn(expected_words, answer["error"])
        self.assertEqual(os.listdir(self.installed_dir), ["keeper"])
        self.assertEqual((self.installed_dir / "keeper" / "theme.css").read_text(), "/* keeper */")
        self.assertEqual(self.catalog()["active"], "keeper")

    def test_unsafe_or_invalid_zips_are_refused_before_anything_is_written(self):
        good = [("manifest.json", manifest("keeper")), ("theme.css", b"/* evil */")]
        cases = {
            "absolute path": ([("/tmp/evil.css", b"x")] + good, "absolute path"),
            "dot-dot": ([("../evil.css", b"x")] + good, '".."'),
            "dot-dot inside": ([("img/../../evil.css", b"x")] + good, '".."'),
            "symlink": ([("link.css", b"/etc/passwd", 0o120777)] + good, "link"),
            "too many files": ([(f"f{i}.txt", b"") for i in range(250)] + good, "more than"),
            "too large": ([("big.bin", bytes(21 * 1024 * 1024))] + good, "larger than"),
            "manifest not json": ([("manifest.json", b"{"), ("theme.css", b"")], "not valid JSON"),
            "bad id": ([("manifest.json", manifest("Bad Id")), ("theme.css", b"")], "id"),
            "dot-dot id": ([("manifest.json", manifest("..")), ("theme.css", b"")], "id"),
            "no name": ([("manifest.json", b'{"id": "keeper", "version": "1"}'),
                         ("theme.css", b"")], "name"),
            "no manifest": ([("theme.css", b"")], "manifest.json"),
            "no stylesheet": ([("manifest.json", manifest("keeper"))], "theme.css"),
        }
        for label, (entries, words) in cases.items():
            with self.subTest(label):
                self.assertRefusedLeavingNothing(write_zip(self.temp / f"{label}.zip", entries), words)
        self.assertFalse((self.temp / "evil.css").exists())

    def test_paths_that_are_no_pack_are_refused(self):
        (self.temp / "notes.zip").write_text("not a zip at all")
        cases = [(self.temp / "notes.zip", "not a .zip"), (self.temp / "missing", "Nothing exists"),
                 ("relative/pack", "absolute"), ("", "no pack path")]
        for path, words in cases:
            with self.subTest(path=path):
                self.assertRefusedLeavingNothing(path, words)

    def test_folders_with_links_out_of_the_pack_are_refused(self):
        outside = self.temp / "secret.txt"
        outside.write_text("secret")
        linked = write_pack(self.temp / "linked", "keeper")
        (linked / "extra.css").symlink_to(outside)
        self.assertRefusedLeavingNothing(linked, "links outside")
        folder_link = write_pack(self.temp / "folder-link", "keeper")
        (folder_link / "assets").symlink_to(self.temp)
        self.assertRefusedLeavingNothing(folder_link, "link")

    def test_a_refused_replacement_keeps_the_installed_pack(self):
        broken = write_pack(self.temp / "broken", "keeper")
        (broken / "theme.css").unlink()
        (broken / "theme.css").mkdir()
        self.assertRefusedLeavingNothing(broken, "theme.css")


class InstallCleanupTest(ThemeTestCase):
    def test_work_folders_left_by_an_interrupted_install_are_removed_at_start(self):
        leftover = self.installed_dir / ".work-abc123" / "pack"
        write_pack(leftover)
        self.restart_server()
        self.assertFalse(leftover.parent.exists())
        self.assertEqual(len(self.catalog()["packs"]), 2)

    def test_zip_entries_keep_no_special_permissions(self):
        archive = write_zip(self.temp / "modes.zip", [
            ("manifest.json", manifest(), 0o104777), ("theme.css", b"")])
        self.assertIs(self.install(archive)["ok"], True)
        mode = (self.installed_dir / "ember" / "manifest.json").stat().st_mode
        self.assertFalse(mode & (stat.S_ISUID | stat.S_IXUSR))
