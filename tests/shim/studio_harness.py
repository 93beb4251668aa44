"""Gives each test a fresh data folder and the real studio server as a child process."""
import http.client
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest
from pathlib import Path

SHIM_DIR = Path(os.environ.get("QUILLBAY_SHIM_DIR") or Path(__file__).resolve().parents[2] / "shim")


class Answer:
    def __init__(self, response):
        self.status, self.headers, self.body = response.status, response.headers, response.read()
        self.text = self.body.decode("utf-8")

    def json(self):
        return json.loads(self.text)


class StudioTestCase(unittest.TestCase):
    """The server's output lines are collected in `self.lines`."""
    server_env: dict = {}

    def setUp(self) -> None:
        self.temp = Path(tempfile.mkdtemp(prefix="quillbay-shim-test-"))
        self.addCleanup(shutil.rmtree, self.temp, True)
        self.state_dir, self.studio_dir = self.temp / "state", self.temp / "studio"
        self.studio_dir.mkdir()
        self.start_server()
        self.addCleanup(self.stop_server)

    def start_server(self) -> None:
        for _ in range(3):  # the free port may be taken between the probe and the bind
            with socket.socket() as probe:
                probe.bind(("127.0.0.1", 0))
                self.port = probe.getsockname()[1]
            env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "STUDIO_PORT": str(self.port),
                   "STUDIO_STATE": str(self.state_dir), "QUILLBAY_BUNDLED": "1", "PYTHONUNBUFFERED": "1",
                   "PYTHONDONTWRITEBYTECODE": "1", "LANG": "C.UTF-8", **self.server_env}
            self.lines = []
            self.process = subprocess.Popen(
                [sys.executable, str(SHIM_DIR / "quillbay_server.py")], cwd=self.studio_dir, env=env,
                stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            threading.Thread(target=self._collect, args=(self.process, self.lines), daemon=True).start()
            if self._wait_until_listening():
                return
            self.stop_server()
        raise AssertionError("the studio server did not start:\n" + "\n".join(self.lines))

    @staticmethod
    def _collect(process, lines) -> None:
        with process.stdout:
            for raw in process.stdout:
                lines.append(raw.decode("utf-8", "replace").rstrip("\n"))

    def _wait_until_listening(self) -> bool:
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and self.process.poll() is None:
            try:
                return self.get("/api/pid").status == 200
            except OSError:
                time.sleep(0.03)
        return False

    def stop_server(self) -> int:
        self.process.terminate()
        try:
            return self.process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            self.process.kill()
            return self.process.wait()
        finally:
            self.process.stdin.close()

    def restart_server(self) -> None:
        self.assertEqual(self.stop_server(), 0)
        self.start_server()

    def wait_for_line(self, predicate, timeout: float = 5.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            found = next((line for line in list(self.lines) if predicate(line)), None)
            if found is not None:
                return found
            time.sleep(0.02)
        return None

    def request(self, method: str, path: str, body: bytes | None = None, headers: dict | None = None):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=5)
        try:
            connection.request(method, path, body, {"Host": f"127.0.0.1:{self.port}", **(headers or {})})
            return Answer(connection.getresponse())
        finally:
            connection.close()

    def get(self, path: str, headers: dict | None = None) -> Answer:
        return self.request("GET", path, headers=headers)

    def post_json(self, path: str, document) -> Answer:
        return self.request("POST", path, json.dumps(document).encode())

    def assertOneSentence(self, text: str) -> None:
        self.assertRegex(text, r"^[A-Z\w][^\n]*\.$")
        self.assertNotRegex(text[:-1], r"\. [A-Z]", f"more than one sentence: {text!r}")
