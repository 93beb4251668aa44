"""The server answers only to its own host names and refuses cross-origin POSTs."""
from studio_harness import StudioTestCase


class HostGuardTest(StudioTestCase):
    shared_server = True

    def test_foreign_host_headers_are_refused(self):
        port = self.server.port
        for host in (f"evil.example:{port}", f"127.0.0.1:{port + 1}", "127.0.0.1",
                     f"localhost.evil.example:{port}", f"127.0.0.1:{port}.evil.example"):
            with self.subTest(host=host):
                answer = self.server.get("/api/pid", headers={"Host": host})
                self.assertEqual(answer.status, 403)
                self.assertIs(answer.json()["ok"], False)
        for host in (f"127.0.0.1:{port}", f"localhost:{port}", f"LocalHost:{port}"):
            with self.subTest(host=host):
                self.assertEqual(self.server.get("/api/pid", headers={"Host": host}).status, 200)

    def test_a_foreign_host_cannot_change_state_either(self):
        answer = self.server.post_json("/api/themes/active", {"id": "daylight"},
                                       headers={"Host": "rebound.example"})
        self.assertEqual(answer.status, 403)
        self.assertEqual(self.server.get("/api/themes").json()["active"], "studio-night")


class OriginGuardTest(StudioTestCase):
    def activate(self, headers):
        return self.server.post_json("/api/themes/active", {"id": "daylight"}, headers=headers)

    def test_cross_origin_posts_are_refused_and_change_nothing(self):
        port = self.server.port
        refused = [
            {"Origin": "null"},
            {"Origin": "http://evil.example"},
            {"Origin": f"http://127.0.0.1:{port + 1}"},
            {"Origin": f"https://127.0.0.1:{port}"},
            {"Sec-Fetch-Site": "cross-site"},
            # Another port of 127.0.0.1 is the same site to a browser.
            {"Sec-Fetch-Site": "same-site"},
            {"Origin": f"http://127.0.0.1:{port}", "Sec-Fetch-Site": "cross-site"},
        ]
        for headers in refused:
            with self.subTest(headers=headers):
                answer = self.activate(headers)
                self.assertEqual(answer.status, 403)
                self.assertIs(answer.json()["ok"], False)
                self.assertOneSentence(answer.json()["error"])
        self.assertEqual(self.server.get("/api/themes").json()["active"], "studio-night")

    def test_own_origin_and_the_shell_without_origin_are_accepted(self):
        port = self.server.port
        for headers in ({}, {"Origin": f"http://127.0.0.1:{port}", "Sec-Fetch-Site": "same-origin"},
                        {"Origin": f"http://localhost:{port}"}, {"Sec-Fetch-Site": "none"}):
            with self.subTest(headers=headers):
                self.assertEqual(self.activate(headers).json(), {"ok": True, "active": "daylight"})


class RequestBodyTest(StudioTestCase):
    def test_bodies_are_bounded_and_must_be_json_objects(self):
        cases = [
            (b"x" * (65 * 1024), {}, 413),
            (b'{"id": "daylight"}', {"Content-Length": None}, 411),
            (b'{"id": "daylight"', {}, 400),
            (b'["daylight"]', {}, 400),
            (b"\xff\xfe", {}, 400),
        ]
        for body, headers, status in cases:
            with self.subTest(body=body[:20], status=status):
                answer = self.server.request("POST", "/api/themes/active", body, headers)
                self.assertEqual(answer.status, status)
                self.assertIs(answer.json()["ok"], False)
        self.assertEqual(self.server.get("/api/themes").json()["active"], "studio-night")
