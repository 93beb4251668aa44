"""Gives each test a fresh data folder and the real studio server as a child process."""
import contextlib
import http.client
import json
import os
import resource
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import zipfile
from pathlib import Path

SHIM_DIR = Path(os.environ.get("QUILLBAY_SHIM_DIR") or Path(__file__).resolve().parents[2] / "shim")
OTHER_USER = 65534  # nobody
needs_root = unittest.skipUnless(os.geteuid() == 0, "acting as another user needs root")


@contextlib.contextmanager
def as_user(user: int, work):
    """Runs work() in a child process as `user`; gives what it returns (as JSON)
    while the child, and any connection it opened, lives on."""
    answer_pipe, end_pipe = os.pipe(), os.pipe()
    pid = os.fork()
    if pid == 0:
        try:
            os.close(end_pipe[1])
            os.setgroups([])
            os.setgid(user)
            os.setuid(user)
            os.write(answer_pipe[1], json.dumps(work()).encode() + b"\n")
            os.read(end_pipe[0], 1)
        finally:
            os._exit(0)
    os.close(answer_pipe[1])
    os.close(end_pipe[0])
    try:
        with os.fdopen(answer_pipe[0]) as answer:
            line = answer.readline()
        if not line:
            raise AssertionError(f"the child acting as user {user} failed")
        yield json.loads(line)
    finally:
        os.close(end_pipe[1])
        os.waitpid(pid, 0)


@contextlib.contextmanager
def repeating(step, threads: int = 1):
    """Calls step() over and over on `threads` threads while the block runs; gives the list of ended calls."""
    stop, ended = threading.Event(), []

    def run() -> None:
        while not stop.is_set():
            step()
            ended.append(1)

    workers = [threading.Thread(target=run, daemon=True) for _ in range(threads)]
    for worker in workers:
        worker.start()
    try:
        yield ended
    finally:
        stop.set()
        for worker in workers:
            worker.join()


def manifest(pack_id="ember", version="2.1") -> bytes:
    return json.dumps({"id": pack_id, "name": pack_id.title(), "version": version}).encode()


def write_pack(folder: Path, pack_id="ember", css="/* ember */") -> Path:
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "manifest.json").write_bytes(manifest(pack_id))
    (folder / "theme.css").write_text(css)
    return folder


def write_zip(path: Path, entries) -> Path:
    """Entries are (name, data) or (name, data, mode)."""
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
        for name, data, *mode in entries:
            info = zipfile.ZipInfo(name)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = (mode[0] if mode else 0o100644) << 16
            archive.writestr(info, data)
    return path


class StudioTestCase(unittest.TestCase):
    """The server's output lines are collected in `self.lines`."""

    def setUp(self) -> None:
        self.temp = Path(tempfile.mkdtemp(prefix="quillbay-shim-test-"))
        self.addCleanup(shutil.rmtree, self.temp, True)
        self.state_dir, self.studio_dir = self.temp / "state", self.temp / "studio"
        self.installed_dir = self.state_dir / "themes"
        self.studio_dir.mkdir()
        self.addCleanup(lambda: self.assertFalse([line for line in self.lines if "Traceback" in line], self.lines))
        self.start_server()
        self.addCleanup(self.stop_server)

    def start_server(self, descriptor_limit: int | None = None, environment: dict | None = None) -> None:
        limit_descriptors = None
        if descriptor_limit:
            def limit_descriptors():
                resource.setrlimit(resource.RLIMIT_NOFILE, (descriptor_limit, descriptor_limit))
        for _ in range(3):  # the free port may be taken between the probe and the bind
            with socket.socket() as probe:
                probe.bind(("127.0.0.1", 0))
                self.port = probe.getsockname()[1]
            env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "STUDIO_PORT": str(self.port),
                   "STUDIO_STATE": str(self.state_dir), "QUILLBAY_BUNDLED": "1", "PYTHONUNBUFFERED": "1",
                   "PYTHONDONTWRITEBYTECODE": "1", "LANG": "C.UTF-8", **(environment or {})}
            self.lines = []
            self.process = subprocess.Popen(
                [sys.executable, str(SHIM_DIR / "quillbay_server.py")], cwd=self.studio_dir, env=env,
                stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                preexec_fn=limit_descriptors)
            threading.Thread(target=self._collect, args=(self.process.stdout, self.lines), daemon=True).start()
            if self.wait_for(lambda: self.process.poll() is None and self.get("/api/pid").status == 200, 10, OSError):
                return
            self.stop_server()
        raise AssertionError("the studio server did not start:\n" + "\n".join(self.lines))

    @staticmethod
    def _collect(output, lines) -> None:
        with output:
            lines.extend(raw.decode(errors="replace").rstrip("\n") for raw in output)

    def stop_server(self) -> int:
        self.process.terminate()
        self.process.stdin.close()
        try:
            return self.process.wait(timeout=5)
        finally:
            self.process.kill()  # a no-op once it has ended

    @staticmethod
    def wait_for(check, timeout: float = 5.0, errors=()):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            try:
                if found := check():
                    return found
            except errors:
                pass
            time.sleep(0.03)
        return None

    def wait_for_line(self, text: str, timeout: float = 5.0):
        return self.wait_for(lambda: next((line for line in list(self.lines) if text in line), None), timeout)

    def request(self, method: str, path: str, body: bytes | None = None, headers: dict | None = None):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=5)
        try:
            connection.request(method, path, body, {"Host": f"127.0.0.1:{self.port}", **(headers or {})})
            answer = connection.getresponse()
            answer.text = answer.read().decode()
            answer.json = lambda: json.loads(answer.text)
            return answer
        finally:
            connection.close()

    def get(self, path: str, headers: dict | None = None):
        return self.request("GET", path, headers=headers)

    def post_json(self, path: str, document) -> object:
        return self.request("POST", path, json.dumps(document).encode())

    def install(self, path, activate=True) -> dict:
        return self.post_json("/api/themes/install", {"path": str(path), "activate": activate}).json()

    def process_status(self, field: str) -> int:
        """A number from /proc/PID/status of the server, such as VmHWM (peak memory in kB)."""
        with open(f"/proc/{self.process.pid}/status") as status:
            line = next(line for line in status if line.startswith(field + ":"))
        return int(line.split()[1])

    def cpu_seconds(self) -> float:
        """User and system CPU time the server has used so far."""
        with open(f"/proc/{self.process.pid}/stat") as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def assertOneSentence(self, text: str) -> None:
        self.assertRegex(text, r"^[A-Z\w][^\n]*\.$")
        self.assertNotRegex(text[:-1], r"\. [A-Z]", f"more than one sentence: {text!r}")
