"""Identity, pages, beacon, exports, request log and shutdown of the studio server."""
import os
import re
import signal
import socket
import subprocess
import sys
import time

from studio_harness import SERVER_SCRIPT, StudioTestCase


class IdentityAndPagesTest(StudioTestCase):
    shared_server = True
    server_env = {"STUDIO_HUB": "hub <one>", "STUDIO_TAKES": ""}

    def test_identity_names_the_app_and_the_server_pid(self):
        answer = self.server.get("/api/pid")
        self.assertEqual(answer.status, 200)
        self.assertEqual(answer.json(), {"app": "Quillbay", "pid": self.server.process.pid})

    def test_pages_say_what_they_are_link_each_other_and_the_theme(self):
        for path, page, other in (("/", "desk", "/room/"), ("/room/", "room", "/")):
            with self.subTest(page=page):
                answer = self.server.get(path)
                self.assertEqual(answer.status, 200)
                self.assertTrue(answer.headers["Content-Type"].startswith("text/html"))
                html = answer.text
                self.assertIn(f'data-page="{page}"', html)
                self.assertIn(f'href="{other}"', html)
                self.assertIn('href="/themes/active.css"', html)
                self.assertIn(str(self.server.port), html)
                self.assertIn(str(self.studio_dir.resolve()), html)
                # Values from the environment are escaped, and an empty one is still shown.
                self.assertIn("hub &lt;one&gt;", html)
                self.assertIn("(empty)", html)
        self.assertEqual(self.server.get("/room").headers["Location"], "/room/")

    def test_beacon_is_logged_with_page_and_time(self):
        before = time.time()
        self.assertEqual(self.server.get("/api/beacon?page=room").status, 204)
        line = self.server.wait_for_line(lambda text: text.startswith("beacon page=room"))
        self.assertIsNotNone(line)
        stamp = float(re.fullmatch(r"beacon page=room t=(\d+\.\d{6})", line).group(1))
        self.assertLessEqual(before - 1, stamp)
        self.assertLessEqual(stamp, time.time() + 1)
        self.assertEqual(self.server.get("/api/beacon?page=%0Afake").status, 400)

    def test_page_script_sends_the_beacon_on_load(self):
        script = self.server.get("/static/studio.js").text
        self.assertIn('addEventListener("load"', script)
        self.assertIn("/api/beacon?page=", script)

    def test_every_request_is_one_log_line_with_method_path_status(self):
        self.server.get("/nowhere%0D%0Ainjected?x=1")
        self.server.post_json("/api/themes/active", {"id": "nope"})
        self.assertIsNotNone(self.server.wait_for_line(lambda t: t == "GET /nowhere%0D%0Ainjected 404"))
        self.assertIsNotNone(self.server.wait_for_line(lambda t: t == "POST /api/themes/active 400"))

    def test_exports_one_to_save_and_one_the_browser_cannot_show(self):
        desk = self.server.get("/").text
        self.assertRegex(desk, r'href="/api/export/session.txt" download')
        self.assertIn('href="/api/export/takes.bin"', desk)
        session = self.server.get("/api/export/session.txt")
        self.assertEqual(session.status, 200)
        self.assertTrue(session.headers["Content-Type"].startswith("text/plain"))
        self.assertEqual(session.headers["Content-Disposition"], 'attachment; filename="session.txt"')
        takes = self.server.get("/api/export/takes.bin")
        self.assertEqual(takes.headers["Content-Type"], "application/octet-stream")
        self.assertGreater(len(takes.body), 1000)

    def test_room_asks_for_the_microphone_only_on_a_click(self):
        self.assertIn('id="mic-button"', self.server.get("/room/").text)
        script = self.server.get("/static/studio.js").text
        self.assertIn("getUserMedia({ audio: true })", script)
        self.assertLess(script.index('addEventListener("click"'), script.index("getUserMedia({"))


class ShutdownTest(StudioTestCase):
    def assertExitsPromptly(self, expected_line: str):
        started = time.monotonic()
        code = self.server.process.wait(timeout=5)
        self.assertEqual(code, 0)
        self.assertLess(time.monotonic() - started, 2.0)
        self.assertIsNotNone(self.server.wait_for_line(lambda text: expected_line in text, 1))

    def test_end_of_standard_input_ends_the_server_with_code_0(self):
        self.server.process.stdin.close()
        self.assertExitsPromptly("end of standard input")

    def test_sigterm_ends_the_server_with_code_0(self):
        self.server.process.send_signal(signal.SIGTERM)
        self.assertExitsPromptly("SIGTERM")

    def test_sigterm_during_a_slow_request_still_exits_promptly(self):
        stalled = socket.create_connection(("127.0.0.1", self.server.port))
        stalled.sendall(b"POST /api/themes/active HTTP/1.1\r\nHost: 127.0.0.1\r\n")
        try:
            self.server.process.send_signal(signal.SIGTERM)
            self.assertExitsPromptly("SIGTERM")
        finally:
            stalled.close()


class ListeningTest(StudioTestCase):
    shared_server = True

    def test_a_taken_port_ends_with_a_message_instead_of_hanging(self):
        holder = socket.socket()
        holder.bind(("127.0.0.1", 0))
        holder.listen()
        port = holder.getsockname()[1]
        try:
            env = {"PATH": os.environ.get("PATH", ""), "STUDIO_PORT": str(port),
                   "PYTHONDONTWRITEBYTECODE": "1",
                   "STUDIO_STATE": str(self.state_dir)}
            result = subprocess.run([sys.executable, str(SERVER_SCRIPT)], cwd=self.studio_dir,
                                    env=env, stdin=subprocess.PIPE, capture_output=True, timeout=10)
        finally:
            holder.close()
        self.assertNotEqual(result.returncode, 0)
        self.assertIn(f"cannot listen on 127.0.0.1:{port}", result.stdout.decode())

    def test_listens_on_127_0_0_1_only(self):
        # Every 127/8 address reaches this host; a server bound to all
        # addresses would answer on 127.0.0.2 as well.
        with self.assertRaises(ConnectionRefusedError):
            socket.create_connection(("127.0.0.2", self.server.port), timeout=2).close()
