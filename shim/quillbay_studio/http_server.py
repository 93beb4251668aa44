"""The HTTP layer: guards every request, dispatches it to a route, sends the answer."""
from __future__ import annotations

import errno
import json
import os
import sys
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from typing import NamedTuple
from urllib.parse import urlsplit

from .connection_slots import ConnectionSlots, limit_for_descriptors
from .log import printable
from .peer_owner import PeerOwners
from .routes import (GET_ROUTES, POST_ROUTES, Response, StudioContext, failure,
                     parse_query)
from .security import MAX_BODY_BYTES, host_allowed, post_refusal

# accept() fails with these until descriptors or memory are freed; retrying at
# once would spin, because the listener stays readable.
RESOURCE_ERRORS = (errno.EMFILE, errno.ENFILE, errno.ENOBUFS, errno.ENOMEM)
ACCEPT_PAUSE_SECONDS = 0.25
# Other users of the machine may learn only whether this is the studio server.
OPEN_TO_OTHER_USERS = ("GET", "/api/pid")
OTHER_USER_REFUSAL = "This studio server serves only the user who started it."


class Peer(NamedTuple):
    """A client's address, and whether the kernel says its socket is held by our own user."""
    host: str
    port: int
    own_user: bool


class StudioHTTPServer(ThreadingHTTPServer):
    allow_reuse_address = True
    daemon_threads = True
    request_queue_size = 128

    def __init__(self, port: int, context: StudioContext, connection_limit: int | None = None):
        self.studio = context
        self.slots = ConnectionSlots(connection_limit or limit_for_descriptors())
        self._accept_failure_logged = 0.0
        super().__init__(("127.0.0.1", port), StudioRequestHandler)
        self.owners = PeerOwners(self.socket)

    def get_request(self):
        try:
            return super().get_request()
        except OSError as error:
            if error.errno in RESOURCE_ERRORS:
                self._log_accept_failure(error)
                time.sleep(ACCEPT_PAUSE_SECONDS)
            raise

    def _log_accept_failure(self, error: OSError) -> None:
        now = time.monotonic()
        if now - self._accept_failure_logged >= 60:
            self._accept_failure_logged = now
            self.studio.log.line(f"http: cannot accept connections for now ({error.strerror}).")

    def process_request(self, request, client_address) -> None:
        own_user = self.owners.of_peer(request) == os.geteuid()
        if not self.slots.admit(request, foreign=not own_user):
            self.shutdown_request(request)
            return
        super().process_request(request, Peer(*client_address[:2], own_user))

    def process_request_thread(self, request, client_address) -> None:
        try:
            super().process_request_thread(request, client_address)
        finally:
            self.slots.release(request)

    def handle_error(self, request, client_address) -> None:
        self.studio.log.line("http: connection failed: " + fault_summary())


class StudioRequestHandler(BaseHTTPRequestHandler):
    server_version = "QuillbayStudio/1.0"
    sys_version = ""
    timeout = 15  # a client that stops sending mid-request is dropped

    @property
    def studio(self) -> StudioContext:
        return self.server.studio

    def do_GET(self) -> None:
        if not self._user_checked():
            return
        self.server.slots.mark_busy(self.connection)
        if not self._host_checked():
            return
        target = self._target()
        if target is None:
            return
        route = GET_ROUTES.get(target.path)
        if route is None:
            self._send(failure(404, "There is nothing at this address."))
            return
        try:
            query = parse_query(target.query)
        except ValueError:
            self._send(failure(400, "The query has too many fields."))
            return
        self._send(self._run(route, query))

    def do_POST(self) -> None:
        if not self._user_checked() or not self._host_checked():
            return
        refusal = post_refusal(self.headers, self.studio.config)
        if refusal:
            self._send(failure(403, refusal))
            return
        target = self._target()
        if target is None:
            return
        route = POST_ROUTES.get(target.path)
        if route is None:
            self._send(failure(404, "There is nothing at this address."))
            return
        request = self._read_json_body()
        self.server.slots.mark_busy(self.connection)
        if isinstance(request, Response):
            self._send(request)
            return
        self._send(self._run(route, request))

    def _target(self):
        """The parsed request address, or None after answering that it cannot be parsed."""
        target = parsed_target(self.path)
        if target is None:
            self._send(failure(400, "The address of the request is malformed."))
        return target

    def _user_checked(self) -> bool:
        """Answers another user's request, or one whose user is unknown, with a refusal alone."""
        if self.client_address.own_user:
            return True
        target = parsed_target(self.path)
        if target is not None and (self.command, target.path) == OPEN_TO_OTHER_USERS:
            return True
        self.close_connection = True
        self._send(failure(403, OTHER_USER_REFUSAL))
        return False

    def _host_checked(self) -> bool:
        if host_allowed(self.headers, self.studio.config):
            return True
        self._send(failure(403, "This server answers only to 127.0.0.1 and localhost on its own port."))
        return False

    def _read_json_body(self) -> dict | Response:
        if self.headers.get("Transfer-Encoding"):
            return failure(411, "The request body needs a Content-Length.")
        length_text = self.headers.get("Content-Length")
        if length_text is None:
            return failure(411, "The request body needs a Content-Length.")
        length_text = length_text.strip()
        # str.isdigit() also accepts digits such as "²" that int() refuses.
        if not (length_text.isascii() and length_text.isdigit()):
            return failure(400, "The Content-Length is not a number.")
        length = int(length_text)
        if length > MAX_BODY_BYTES:
            return failure(413, f"The request body is larger than {MAX_BODY_BYTES // 1024} KB.")
        data = self.rfile.read(length)
        try:
            document = json.loads(data.decode("utf-8"))
        except (UnicodeDecodeError, ValueError, RecursionError):
            document = None
        if not isinstance(document, dict):
            return failure(400, "The request body is not a JSON object.")
        return document

    def _run(self, route, argument) -> Response:
        try:
            return route(self.studio, argument)
        except Exception:  # a fault in one route must not take the connection down silently
            self.studio.log.line(f"fault in {self.command} {self._logged_path()}: {fault_summary()}")
            return failure(500, "The studio server failed on this request; see its log.")

    def _send(self, response: Response) -> None:
        self.send_response(response.status)
        if response.content_type:
            self.send_header("Content-Type", response.content_type)
        self.send_header("Content-Length", str(len(response.body)))
        self.send_header("X-Content-Type-Options", "nosniff")
        for name, value in response.headers.items():
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(response.body)

    def _logged_path(self) -> str | None:
        # A request that failed to parse has no command or path yet.
        if not self.command:
            return None
        target = parsed_target(self.path)
        return target.path if target else self.path

    def log_request(self, code="-", size="-") -> None:
        self.studio.log.request(self.command, self._logged_path(), getattr(code, "value", code))

    def log_message(self, format: str, *args) -> None:
        self.studio.log.line("http: " + printable(format % args))


def parsed_target(path: str):
    try:
        return urlsplit(path)
    except ValueError:  # such as an unclosed "[" of an IPv6 address
        return None


def fault_summary() -> str:
    """The current exception on one line: its type, message and where it was raised."""
    kind, error, trace = sys.exc_info()
    while trace is not None and trace.tb_next is not None:
        trace = trace.tb_next
    where = f" at {trace.tb_frame.f_code.co_filename.rsplit('/', 1)[-1]}:{trace.tb_lineno}" if trace else ""
    name = kind.__name__ if kind else "unknown fault"
    return printable(f"{name}: {error}{where}")
