"""Other users of the machine reach 127.0.0.1 too: they learn that this is
the studio server and nothing more."""
import json
import os
import socket
import sys
import unittest

from studio_harness import OTHER_USER, SHIM_DIR, StudioTestCase, as_user, needs_root, write_pack

sys.path.insert(0, str(SHIM_DIR))
from quillbay_studio.peer_owner import netlink_owner, proc_owner  # noqa: E402


@needs_root
class OtherUserTest(StudioTestCase):
    def test_other_users_get_one_refusal_for_everything_but_the_identity(self):
        pack = write_pack(self.temp / "pack")
        requests = [("POST", "/api/themes/install", {"path": str(pack), "activate": True}),
                    ("POST", "/api/themes/active", {"id": "daylight"}), ("GET", "/", None),
                    ("GET", "/themes/active.css", None), ("GET", "/api/themes", None), ("GET", "/api/pid/x", None),
                    ("GET", "/api/pid", None)]

        def ask():
            return [(answer.status, answer.text) for answer in (
                self.request(method, path, body and json.dumps(body).encode()) for method, path, body in requests)]

        with as_user(OTHER_USER, ask) as answers:
            *refused, identity = answers
        for request, (status, body) in zip(requests, refused):
            with self.subTest(request[1]):
                self.assertEqual(status, 403)
                self.assertEqual(json.loads(body).keys(), {"ok", "error"})
                self.assertOneSentence(json.loads(body)["error"])
        self.assertEqual(json.loads(identity[1]), {"app": "Quillbay", "pid": self.process.pid})
        self.assertEqual(self.get("/api/themes").json()["active"], "studio-night")
        self.assertEqual(os.listdir(self.installed_dir), [])


@needs_root
class PeerOwnerTest(unittest.TestCase):
    def test_both_lookups_name_the_peer_user_and_nobody_once_it_has_closed(self):
        with socket.create_server(("127.0.0.1", 0)) as listener:
            held = []
            for user in (0, OTHER_USER):
                with as_user(user, lambda: held.append(socket.create_connection(listener.getsockname()))):
                    connection, _ = listener.accept()
                    ends = connection.getpeername(), connection.getsockname()
                    self.assertEqual((netlink_owner(*ends), proc_owner(*ends)), (user, user))
                self.assertEqual((netlink_owner(*ends), proc_owner(*ends)), (None, None))
                connection.close()
