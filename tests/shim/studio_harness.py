"""Starts the real studio server as a child process for the tests."""
from __future__ import annotations

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

SHIM_DIR = Path(os.environ.get("QUILLBAY_SHIM_DIR")
                or Path(__file__).resolve().parents[2] / "shim")
SERVER_SCRIPT = SHIM_DIR / "quillbay_server.py"
START_TIMEOUT = 10.0


def free_port() -> int:
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Answer:
    def __init__(self, status: int, headers, body: bytes):
        self.status = status
        self.headers = headers
        self.body = body

    def json(self):
        return json.loads(self.body.decode("utf-8"))

    @property
    def text(self) -> str:
        return self.body.decode("utf-8")


class StudioServer:
    """One running server; its output lines are collected in `lines`."""

    def __init__(self, state_dir: Path, studio_dir: Path, extra_env: dict | None = None):
        self.state_dir = state_dir
        self.studio_dir = studio_dir
        self.extra_env = extra_env or {}
        self.lines: list[str] = []
        self.lines_changed = threading.Condition()
        self.process: subprocess.Popen | None = None
        self.port = 0

    def start(self) -> "StudioServer":
        for _ in range(3):  # the free port may be taken between the probe and the bind
            self.port = free_port()
            self._launch()
            if self._wait_until_listening():
                return self
            self.stop()
        raise AssertionError("the studio server did not start:\n" + "\n".join(self.lines))

    def _launch(self) -> None:
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "STUDIO_PORT": str(self.port),
               "STUDIO_STATE": str(self.state_dir), "QUILLBAY_BUNDLED": "1",
               "PYTHONUNBUFFERED": "1", "PYTHONDONTWRITEBYTECODE": "1", "LANG": "C.UTF-8",
               **self.extra_env}
        self.lines = []
        self.process = subprocess.Popen(
            [sys.executable, str(SERVER_SCRIPT)], cwd=self.studio_dir, env=env,
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        threading.Thread(target=self._collect, args=(self.process,), daemon=True).start()

    def _collect(self, process: subprocess.Popen) -> None:
        for raw in process.stdout:
            with self.lines_changed:
                self.lines.append(raw.decode("utf-8", "replace").rstrip("\n"))
                self.lines_changed.notify_all()

    def _wait_until_listening(self) -> bool:
        deadline = time.monotonic() + START_TIMEOUT
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                return False
            try:
                if self.get("/api/pid").status == 200:
                    return True
            except OSError:
                time.sleep(0.03)
        return False

    def wait_for_line(self, predicate, timeout: float = 5.0) -> str | None:
        deadline = time.monotonic() + timeout
        with self.lines_changed:
            while True:
                for line in self.lines:
                    if predicate(line):
                        return line
                remaining = deadline - time.monotonic()
                if remaining <= 0:
                    return None
                self.lines_changed.wait(remaining)

    def request(self, method: str, path: str, body: bytes | None = None,
                headers: dict | None = None) -> Answer:
        headers = dict(headers or {})
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=5)
        try:
            connection.putrequest(method, path, skip_host=True, skip_accept_encoding=True)
            if "Host" not in headers:
                headers["Host"] = f"127.0.0.1:{self.port}"
            if body is not None:
                headers.setdefault("Content-Length", str(len(body)))
            for name, value in headers.items():
                if value is not None:
                    connection.putheader(name, value)
            connection.endheaders(body)
            response = connection.getresponse()
            return Answer(response.status, response.headers, response.read())
        finally:
            connection.close()

    def get(self, path: str, headers: dict | None = None) -> Answer:
        return self.request("GET", path, headers=headers)

    def post_json(self, path: str, document, headers: dict | None = None) -> Answer:
        return self.request("POST", path, json.dumps(document).encode("utf-8"), headers)

    def stop(self) -> int | None:
        if self.process is None:
            return None
        if self.process.poll() is None:
            self.process.terminate()
        try:
            code = self.process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            self.process.kill()
            code = self.process.wait()
        self.process.stdin.close()
        self.process.stdout.close()
        self.process = None
        return code


class StudioTestCase(unittest.TestCase):
    """Gives each test a fresh data folder and a running server in `self.server`.

    Classes whose tests change nothing set `shared_server` to start one server
    for all their tests."""

    server_env: dict = {}
    shared_server = False

    @classmethod
    def setUpClass(cls) -> None:
        if cls.shared_server:
            cls._start_fresh(cls)

    @classmethod
    def tearDownClass(cls) -> None:
        if cls.shared_server:
            cls._stop_and_clean(cls)

    def setUp(self) -> None:
        if not self.shared_server:
            self._start_fresh(self)

    def tearDown(self) -> None:
        if not self.shared_server:
            self._stop_and_clean(self)

    @staticmethod
    def _start_fresh(holder) -> None:
        holder.temp = Path(tempfile.mkdtemp(prefix="quillbay-shim-test-"))
        holder.state_dir = holder.temp / "state"
        holder.studio_dir = holder.temp / "studio"
        holder.studio_dir.mkdir()
        holder.server = StudioServer(holder.state_dir, holder.studio_dir, holder.server_env).start()

    @staticmethod
    def _stop_and_clean(holder) -> None:
        holder.server.stop()
        shutil.rmtree(holder.temp, ignore_errors=True)

    def restart_server(self) -> None:
        self.assertEqual(self.server.stop(), 0)
        self.server = StudioServer(self.state_dir, self.studio_dir, self.server_env).start()

    def assertOneSentence(self, text: str) -> None:
        self.assertIsInstance(text, str)
        self.assertNotIn("\n", text)
        self.assertRegex(text, r"^[A-Z\w].*\.$")
        self.assertNotRegex(text[:-1], r"\. [A-Z]", f"more than one sentence: {text!r}")
