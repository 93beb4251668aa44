"""Theme catalog, activation, installation from folders and zips, hostile archives, limits and races."""
import bz2, os, random, shutil, stat, struct, zipfile, zlib

from studio_harness import StudioTestCase, manifest, repeating, write_pack, write_zip

STOCK = [{"id": "studio-night", "name": "Studio Night", "version": "1.0", "stock": True},
         {"id": "daylight", "name": "Daylight", "version": "1.0", "stock": True}]


def many_entries_zip(path, count: int, claimed: int):
    """A zip64 archive whose directory lists `count` one-byte-named entries and claims `claimed`."""
    entry = struct.pack("<4s4B4HL2L5H2L", b"PK\x01\x02", 20, 3, 20, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0) + b"a"
    size = len(entry) * count
    end64 = struct.pack("<4sQ2H2L4Q", b"PK\x06\x06", 44, 45, 45, 0, 0, claimed, claimed, size, 0)
    locator = struct.pack("<4sLQL", b"PK\x06\x07", 0, size, 1)
    end = struct.pack("<4s4H2LH", b"PK\x05\x06", 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0)
    path.write_bytes(entry * count + end64 + locator + end)
    return path


def raw_zip(path, entries):
    """Entries are (name, method, data as stored, unpacked size as declared), written as given."""
    body = directory = b""
    for name, method, data, size in entries:
        fields = struct.pack("<5H3L2H", 20, 0, method, 0, 0, zlib.crc32(data), len(data), size, len(name), 0)
        directory += b"PK\x01\x02\x14\x00" + fields + struct.pack("<3H2L", 0, 0, 0, 0o100644 << 16, len(body)) + name
        body += b"PK\x03\x04" + fields + name + data
    path.write_bytes(body + directory + struct.pack("<4s4H2LH", b"PK\x05\x06", 0, 0, len(entries), len(entries),
                                                    len(directory), len(body), 0))
    return path


class ThemePacksTest(StudioTestCase):
    def catalog(self) -> dict:
        return self.get("/api/themes").json()

    def activate(self, pack_id) -> dict:
        return self.post_json("/api/themes/active", {"id": pack_id}).json()

    def active_css(self) -> str:
        answer = self.get("/themes/active.css")
        self.assertIn("no-store", answer.headers["Cache-Control"])
        return answer.text

    def test_activation_survives_a_restart_and_broken_packs_are_listed_and_fall_back(self):
        self.assertEqual(self.catalog(), {"active": "studio-night", "packs": STOCK})
        self.assertIn("Studio Night", self.active_css())
        for pack_id in ("no-such-pack", 7, "../daylight", "daylight\n"):
            self.assertOneSentence(self.activate(pack_id)["error"])
        self.assertEqual(self.activate("daylight"), {"ok": True, "active": "daylight"})
        leftover = write_pack(self.installed_dir / ".work-abc123" / "pack")  # an interrupted install's, gone at start
        self.assertEqual(self.stop_server(), 0)
        self.start_server()
        self.assertEqual(self.catalog(), {"active": "daylight", "packs": STOCK})
        self.assertIn("Daylight", self.active_css())
        self.assertFalse(leftover.parent.exists())
        # Broken packs are listed with an error, and a broken active pack falls back.
        write_pack(self.installed_dir / "ember")
        self.assertIs(self.activate("ember")["ok"], True)
        (write_pack(self.installed_dir / "bad-json", "bad-json") / "manifest.json").write_text("{ nope")
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
        self.assertFalse(os.stat(self.installed_dir / "ember/manifest.json").st_mode & (stat.S_ISUID | stat.S_IXUSR))
        flat = write_zip(self.temp / "flat.zip", [("manifest.json", manifest(version="3.0")),
                                                  ("theme.css", b"/* flat */")])
        self.assertEqual(self.install(flat)["installed"]["version"], "3.0")
        self.assertEqual(self.active_css(), "/* flat */")
        self.assertFalse((self.installed_dir / "ember" / "img").exists())  # the reinstall replaced the whole pack

        good = [("manifest.json", manifest()), ("theme.css", b"/* evil */")]
        zips = [([("/tmp/evil.css", b"x")] + good, "absolute path"), ([("img/../../evil.css", b"x")] + good, '".."'),
                ([("link.css", b"/etc/passwd", 0o120777)] + good, "link"),
                ([(f"f{i}.txt", b"") for i in range(250)] + good, "more than"),
                ([("big.bin", bytes(21 * 1024 * 1024))] + good, "larger than"),
                ([("manifest.json", manifest("..")), ("theme.css", b"")], "id"), ([("theme.css", b"")], "manifest.json"),
                ([("", b"x")] + good, "without a name"), ([("a/" * 1500 + "x.css", b"")] + good, "folders deep"),
                ([("manifest.json", b"[" * 30000 + b"]" * 30000), good[1]], "not valid JSON"),
                ([("manifest.json", manifest("ember\n")), good[1]], "id must be")]
        zips += [([("manifest.json", manifest(name=f"Ember{c}")), good[1]], f"U+{ord(c):04X}") for c in "\x7f\u202e\u200b"]
        cases = [(write_zip(self.temp / f"{n}.zip", entries), words) for n, (entries, words) in enumerate(zips)]
        # 200 files, stored rather than deflated, are accepted.
        cases += [(write_zip(self.temp / "200.zip", [(f"f{i}.txt", b"") for i in range(198)] + [
            ("manifest.json", manifest(name="\u00c9mber\u00a0\u591c \U0001f525")), ("theme.css", b"/* flat */")],
            zipfile.ZIP_STORED), None)]
        # 64 MB of zeros in a few bytes, said to unpack to 100: bzip2 is refused unread, deflate read no further than 101.
        cases += [(raw_zip(self.temp / f"bomb{method}.zip", [(b"manifest.json", 0, manifest(), len(manifest())),
                                                             (b"theme.css", method, stream, 100)]), words)
                  for method, stream, words in ((12, bz2.compress(bytes(64 << 20)), "method other than deflate"),
                                                (8, zlib.compress(bytes(64 << 20), 9, wbits=-15), "more data"))]
        (self.temp / "notes.zip").write_text("not a zip at all")
        (write_pack(self.temp / "linked") / "extra.css").symlink_to(self.temp / "notes.zip")
        cases += [(self.temp / "notes.zip", "no pack folder or .zip"), ("relative/pack", "absolute"),
                  (self.temp / "linked", "is a link"),
                  (write_pack(self.temp / "fake", "daylight"), "")]  # a stock pack cannot be replaced
        # Archives whose directory is huge are refused before it is read, which costs zipfile about 100 MB.
        cases += [(many_entries_zip(self.temp / f"many{claimed}.zip", 200_000, claimed), words)
                  for claimed, words in ((200_000, "more than 200 files"), (3, "list of entries"))]
        peak, log_size = self.peak_memory_kb(), len("\n".join(self.lines))
        for path, words in cases:
            with self.subTest(path=path):
                if words is None:
                    self.assertEqual(self.install(path).get("error"), None)
                else:
                    self.assertRefused(self.install_answer(path), words)
                self.assertEqual(os.listdir(self.installed_dir), ["ember"])
                self.assertEqual((self.installed_dir / "ember" / "theme.css").read_text(), "/* flat */")
        self.assertEqual(self.catalog()["active"], "ember")
        self.assertFalse((self.temp / "evil.css").exists())
        self.assertFalse([line for line in self.lines if len(line) > 1000])
        self.assertLess(len("\n".join(self.lines)) - log_size, 400 * len(cases))
        self.assertLess(self.peak_memory_kb() - peak, 30_000)

    def test_byte_flipped_archives_never_fail_the_server(self):
        base = write_zip(self.temp / "base.zip", [("ember/", b""), ("ember/manifest.json", manifest()),
                                                  ("ember/theme.css", b"/* ember */" * 20)]).read_bytes()
        generator, statuses = random.Random(1509), set()
        for _ in range(300):
            data = bytearray(base)
            for _ in range(generator.randint(1, 4)):
                data[generator.randrange(len(data))] ^= generator.randint(1, 255)
            (self.temp / "flipped.zip").write_bytes(data)
            answer = self.install_answer(self.temp / "flipped.zip")  # never a dropped connection
            statuses.add((answer.status, answer.json()["ok"]))
        self.assertEqual(statuses, {(200, True), (400, False)})

    def test_installed_packs_are_limited_in_number_and_total_size(self):
        for number in range(32):
            write_pack(self.installed_dir / f"p{number}", f"p{number}")
        self.assertRefused(self.install_answer(write_pack(self.temp / "ember")), "32 packs")
        self.assertIs(self.install(write_pack(self.temp / "p5", "p5"))["ok"], True)  # a replacement takes no room
        shutil.rmtree(self.installed_dir / "p5")
        os.truncate(self.installed_dir / "p0" / "theme.css", 63 * 1024 * 1024)  # sparse, yet counted
        (write_pack(self.temp / "big", "big") / "data.bin").write_bytes(bytes(2 * 1024 * 1024))
        self.assertRefused(self.install_answer(self.temp / "big"), "64 MB")
        self.assertIs(self.install(write_pack(self.temp / "ember"))["ok"], True)
        self.assertEqual(len(os.listdir(self.installed_dir)), 32)

    def test_a_file_swapped_for_a_link_or_fifo_during_an_install_is_never_followed_or_waited_for(self):
        (secret := self.temp / "private" / "notes.css").parent.mkdir()
        secret.write_text("/* private notes of the studio user */")
        pack, temporary, installed = write_pack(self.temp / "pack"), self.temp / "t", self.installed_dir / "ember/theme.css"
        for label, make_other in (("link to a private file", lambda path: path.symlink_to(secret)), ("fifo", os.mkfifo)):
            def swap() -> None:  # theme.css becomes something else, then a plain file again
                make_other(temporary)
                os.replace(temporary, pack / "theme.css")
                temporary.write_text("/* ember */")
                os.replace(temporary, pack / "theme.css")
            with self.subTest(label), repeating(swap) as swaps:
                for _ in range(60):
                    answer = self.install_answer(pack)
                    self.assertIn(answer.status, (200, 400), answer.text)  # each within the 5 s timeout
                    self.assertEqual(installed.read_text() if installed.exists() else "/* ember */", "/* ember */")
            self.assertTrue(swaps)
            self.assertIs(self.install(pack)["ok"], True)  # once the swapping stops, an install succeeds
            self.assertEqual(self.get("/themes/active.css").text, "/* ember */", label)
            self.assertIs(self.activate("daylight")["ok"], True)

    def test_readers_see_the_old_or_the_new_pack_while_the_active_pack_is_reinstalled(self):
        versions = [write_pack(self.temp / name, css=f"/* {name} */") for name in ("one", "two")]
        self.assertIs(self.install(versions[0])["ok"], True)
        answers = []
        with repeating(lambda: answers.append((self.get("/themes/active.css"), self.get("/api/themes"))), threads=2):
            for round_number in range(40):
                self.assertIs(self.install(versions[round_number % 2])["ok"], True)
        self.assertGreater(len(answers), 10)
        seen = {(css.status, css.text, themes.status, themes.json().get("active")) for css, themes in answers}
        self.assertLessEqual(seen, {(200, "/* one */", 200, "ember"), (200, "/* two */", 200, "ember")})
