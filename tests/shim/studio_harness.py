"""Gives each test a fresh data folder and the real studio server as a child process."""
import contextlib, http.client, json, os, resource, shutil, socket, subprocess, sys, tempfile, threading, time
import unittest, zipfile
from pathlib import Path

SHIM_DIR = Path(os.environ.get("QUILLBAY_SHIM_DIR") or Path(__file__).resolve().parents[2] / "shim")
OTHER_USER = 65534  # nobody
needs_root = unittest.skipUnless(os.geteuid() == 0, "acting as another user needs root")


@contextlib.contextmanager
def as_user(user: int, work):
    """Runs work() in a child process as `user`; gives what it returns (as JSON)
    while the child, and any connection it opened, lives on."""
    parent_end, child_end = socket.socketpair()
    pid = os.fork()
    if pid == 0:
        try:
            parent_end.close()
            os.setgroups([])
            os.setgid(user)
            os.setuid(user)
            child_end.sendall(json.dumps(work()).encode() + b"\n")
            child_end.recv(1)  # returns once the parent closes its end
        finally:
            os._exit(0)
    child_end.close()
    try:
        with parent_end, parent_end.makefile() as answer:
            line = answer.readline()
            if not line:
                raise AssertionError(f"the child acting as user {user} failed")
            yield json.loads(line)
    finally:
        os.waitpid(pid, 0)


@contextlib.contextmanager
def repeating(step, threads: int = 1):
    """Calls step() over and over on `threads` threads while the block runs; gives the list of ended calls."""
    stop, ended = threading.Event(), []
    workers = [threading.Thread(target=lambda: [ended.append(step()) for _ in iter(stop.is_set, True)], daemon=True)
               for _ in range(threads)]
    for worker in workers:
        worker.start()
    try:
        yield ended
    finally:
        stop.set()
        for worker in workers:
            worker.join()


def manifest(pack_id="ember", version="2.1", name=None) -> bytes:
    return json.dumps({"id": pack_id, "name": name or pack_id.title(), "version": version}).encode()


def write_pack(folder: Path, pack_id="ember", css="/* ember */") -> Path:
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "manifest.json").write_bytes(manifest(pack_id))
    (folder / "theme.css").write_text(css)
    return folder


def write_zip(path: Path, entries, method=zipfile.ZIP_DEFLATED) -> Path:
    """Entries are (name, data) or (name, data, mode)."""
    with zipfile.ZipFile(path, "w") as archive:
        for name, data, *mode in entries:
            info = zipfile.ZipInfo(name)
            info.compress_type, info.external_attr = method, (mode[0] if mode else 0o100644) << 16
            archive.writestr(info, data)
    return path


class StudioTestCase(unittest.TestCase):
    """Runs the server for each test, collecting its output lines in `self.lines`."""

    def setUp(self) -> None:
        self.temp = Path(tempfile.mkdtemp(prefix="quillbay-shim-test-"))
        self.addCleanup(shutil.rmtree, self.temp, True)
        self.state_dir, self.studio_dir = self.temp / "state", self.temp / "studio"
        self.installed_dir = self.state_dir / "themes"
        self.studio_dir.mkdir()
        self.addCleanup(lambda: self.assertFalse([line for line in self.lines if "Traceback" in line], self.lines))
        self.start_server()
        self.addCleanup(self.stop_server)

    def start_server(self, descriptor_limit: int = 0, environment: dict | None = None) -> None:
        for _ in range(3):  # the free port may be taken between the probe and the bind
            with socket.socket() as probe:
                probe.bind(("127.0.0.1", 0))
                self.port = probe.getsockname()[1]
            env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "STUDIO_PORT": str(self.port),
                   "STUDIO_STATE": str(self.state_dir), "QUILLBAY_BUNDLED": "1", "PYTHONUNBUFFERED": "1",
                   "PYTHONDONTWRITEBYTECODE": "1", "LANG": "C.UTF-8", **(environment or {})}
            self.lines = lines = []
            limit = descriptor_limit and (lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (descriptor_limit,) * 2))
            self.process = subprocess.Popen(
                [sys.executable, str(SHIM_DIR / "quillbay_server.py")], cwd=self.studio_dir, preexec_fn=limit or None,
                stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env)
            threading.Thread(target=lambda output=self.process.stdout: lines.extend(  # then closes the pipe
                raw.decode(errors="replace").rstrip("\n") for raw in output) or output.close(), daemon=True).start()
            if self.wait_for(lambda: self.process.poll() is None and self.get("/api/pid").status == 200, 10, OSError):
                return
            self.stop_server()
        raise AssertionError("the studio server did not start:\n" + "\n".join(self.lines))

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
            with contextlib.suppress(errors):
                if found := check():
                    return found
            time.sleep(0.03)

    def wait_for_line(self, text: str, timeout: float = 5.0):
        return self.wait_for(lambda: next((line for line in list(self.lines) if text in line), None), timeout)

    def request(self, method: str, path: str, body: bytes | None = None, headers: dict | None = None):
        with contextlib.closing(http.client.HTTPConnection("127.0.0.1", self.port, timeout=5)) as connection:
            connection.request(method, path, body, {"Host": f"127.0.0.1:{self.port}", **(headers or {})})
            answer = connection.getresponse()
            answer.text = answer.read().decode()
            answer.json = lambda: json.loads(answer.text)
            return answer

    def get(self, path: str, headers: dict | None = None):
        return self.request("GET", path, headers=headers)

    def post_json(self, path: str, document) -> object:
        return self.request("POST", path, json.dumps(document).encode())

    def install_answer(self, path, activate=True):
        return self.post_json("/api/themes/install", {"path": str(path), "activate": activate})

    def install(self, path, activate=True) -> dict:
        return self.install_answer(path, activate).json()

    def peak_memory_kb(self) -> int:
        return int(Path(f"/proc/{self.process.pid}/status").read_text().split("VmHWM:")[1].split()[0])

    def cpu_seconds(self) -> float:  # user and system time the server has used so far
        fields = Path(f"/proc/{self.process.pid}/stat").read_text().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def assertRefused(self, answer, words: str = "", status: int = 400) -> None:
        self.assertEqual(answer.status, status, answer.text)
        self.assertOneSentence(answer.json()["error"])
        self.assertIn(words, answer.json()["error"])

    def assertOneSentence(self, text: str) -> None:
        self.assertRegex(text, r"^[A-Z\w][^\n]*\.$")
        self.assertNotRegex(text[:-1], r"\. [A-Z]", f"more than one sentence: {text!r}")
