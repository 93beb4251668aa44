"""Other users of the machine reach 127.0.0.1 too: they learn that this is
the studio server and nothing more, and cannot crowd its own user out."""
import json
import os
import socket
import subprocess
import sys
import time
import unittest

from studio_harness import OTHER_USER, OTHER_USER_PYTHON, SHIM_DIR, StudioTestCase, needs_root, write_pack

sys.path.insert(0, str(SHIM_DIR))
from quillbay_studio.peer_owner import netlink_owner, proc_owner  # noqa: E402


@needs_root
class OtherUserTest(StudioTestCase):
    def test_other_users_get_one_refusal_for_everything_but_the_identity(self):
        pack = write_pack(self.temp / "pack")
        requests = [["POST", "/api/themes/install", {"path": str(pack), "activate": True}],
                    ["POST", "/api/themes/active", {"id": "daylight"}], ["GET", "/", None],
                    ["GET", "/themes/active.css", None], ["GET", "/api/themes", None], ["GET", "/api/pid/x", None]]
        *refused, identity = self.as_other_user(requests + [["GET", "/api/pid", None]])
        for request, (status, body) in zip(requests, refused):
            with self.subTest(request[1]):
                self.assertEqual(status, 403)
                self.assertEqual(json.loads(body).keys(), {"ok", "error"})
                self.assertOneSentence(json.loads(body)["error"])
        self.assertEqual(json.loads(identity[1]), {"app": "Quillbay", "pid": self.process.pid})
        self.assertEqual(self.get("/api/themes").json()["active"], "studio-night")
        self.assertEqual(os.listdir(self.installed_dir), [])

    def test_a_flood_of_another_user_leaves_room_for_the_identity_probe(self):
        # As large as a stylesheet may be: more than the kernel buffers for a reader that does not read.
        css = "/*" + "x" * (2 * 1024 * 1024 - 4) + "*/"
        self.assertIs(self.install(write_pack(self.temp / "big", css=css))["ok"], True)
        self.assertEqual(self.as_other_user([["GET", "/api/pid", None]], hold=150)[0][0], 200)
        started = time.monotonic()
        for _ in range(5):
            self.assertEqual(self.get("/api/pid").status, 200)
        self.assertLess(time.monotonic() - started, 5)


@needs_root
class PeerOwnerTest(unittest.TestCase):
    def test_both_lookups_name_the_peer_user_and_nobody_once_it_has_closed(self):
        with socket.create_server(("127.0.0.1", 0)) as listener:
            code = f"import socket, sys; s = socket.create_connection(('127.0.0.1', {listener.getsockname()[1]}))" \
                   "; sys.stdin.read()"
            for user in (0, OTHER_USER):
                client = subprocess.Popen([OTHER_USER_PYTHON, "-c", code], user=user, stdin=subprocess.PIPE, cwd="/")
                connection, _ = listener.accept()
                with connection:
                    ends = connection.getpeername(), connection.getsockname()
                    self.assertEqual((netlink_owner(*ends), proc_owner(*ends)), (user, user))
                    client.communicate(b"")
                    self.assertEqual((netlink_owner(*ends), proc_owner(*ends)), (None, None))
