"""Malformed requests and archives: each gets a one-sentence 400 and one log
line, never a 500, a dropped connection, a traceback or a memory spike."""
import random
import struct

from studio_harness import StudioTestCase, manifest, write_zip

CENTRAL_ENTRY = b"PK\x01\x02"


def zip_bytes(path, entries) -> bytes:
    return write_zip(path, entries).read_bytes()


def many_entries_zip(path, count: int, claimed: int):
    """A zip64 archive whose directory lists `count` one-byte-named entries and claims `claimed`."""
    entry = struct.pack("<4s4B4HL2L5H2L", CENTRAL_ENTRY, 20, 3, 20, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0) + b"a"
    size = len(entry) * count
    end64 = struct.pack("<4sQ2H2L4Q", b"PK\x06\x06", 44, 45, 45, 0, 0, claimed, claimed, size, 0)
    locator = struct.pack("<4sLQL", b"PK\x06\x07", 0, size, 1)
    end = struct.pack("<4s4H2LH", b"PK\x05\x06", 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0)
    path.write_bytes(entry * count + end64 + locator + end)
    return path


class HostileInputTest(StudioTestCase):
    def assertRefusedInOneLine(self, answer, words: str = "") -> None:
        self.assertEqual(answer.status, 400, answer.text)
        error = answer.json()["error"]
        self.assertOneSentence(error)
        self.assertIn(words, error)

    def test_malformed_requests_and_archives_get_one_sentence_and_one_log_line(self):
        for headers, body, words in (({}, b"[" * 30000 + b"]" * 30000, "JSON object"),  # nested too deep
                                     ({"Content-Length": "\u00b2"}, b"{}", "Content-Length")):  # a non-ASCII digit
            self.assertRefusedInOneLine(self.request("POST", "/api/themes/active", body, headers), words)
        self.assertRefusedInOneLine(self.get("http://[::1/api/pid"), "address")

        good = [("manifest.json", manifest()), ("theme.css", b"/* ember */")]
        archives = {
            "empty entry name": (zip_bytes(self.temp / "a.zip", [("", b"x")] + good), "without a name"),
            "path 1,500 folders deep": (zip_bytes(self.temp / "b.zip", [("a/" * 1500 + "x.css", b"")] + good),
                                        "folders deep"),
            "manifest nested 30,000 deep": (zip_bytes(self.temp / "c.zip", [
                ("manifest.json", b"[" * 30000 + b"]" * 30000), good[1]]), "not valid JSON"),
            "id with a trailing newline": (zip_bytes(self.temp / "d.zip", [
                ("manifest.json", manifest("ember\n")), good[1]]), "id must be"),
        }
        log_size = len("\n".join(self.lines))
        for label, (data, words) in archives.items():
            with self.subTest(label):
                (self.temp / "hostile.zip").write_bytes(data)
                self.assertRefusedInOneLine(
                    self.post_json("/api/themes/install", {"path": str(self.temp / "hostile.zip")}), words)
        self.assertEqual(self.get("/api/themes").json()["packs"][2:], [])
        self.assertEqual(self.post_json("/api/themes/active", {"id": "daylight\n"}).status, 400)
        self.assertEqual(self.get("/api/pid").status, 200)
        self.assertFalse([line for line in self.lines if len(line) > 1000])
        self.assertLess(len("\n".join(self.lines)) - log_size, 6000)

    def test_archives_with_a_huge_directory_are_refused_before_it_is_read(self):
        peak = self.process_status("VmHWM")
        for claimed, words in ((200_000, "more than 200 files"), (3, "list of entries")):
            with self.subTest(claimed=claimed):
                path = many_entries_zip(self.temp / "many.zip", 200_000, claimed)
                self.assertRefusedInOneLine(self.post_json("/api/themes/install", {"path": str(path)}), words)
        # Reading that directory costs zipfile about 100 MB.
        self.assertLess(self.process_status("VmHWM") - peak, 30_000)

    def test_byte_flipped_archives_never_fail_the_server(self):
        entries = [("ember/", b""), ("ember/manifest.json", manifest()), ("ember/theme.css", b"/* ember */" * 20),
                   ("ember/img/wave.svg", b"<svg/>")]
        base = zip_bytes(self.temp / "base.zip", entries)
        path = self.temp / "flipped.zip"
        generator = random.Random(1509)
        statuses = set()
        for _ in range(300):
            data = bytearray(base)
            for _ in range(generator.randint(1, 4)):
                data[generator.randrange(len(data))] ^= generator.randint(1, 255)
            path.write_bytes(data)
            answer = self.post_json("/api/themes/install", {"path": str(path)})  # never a dropped connection
            statuses.add(answer.status)
            self.assertLess(answer.status, 500, bytes(data).hex())
            self.assertIs(answer.json()["ok"], answer.status == 200)
        self.assertEqual(statuses, {200, 400})
