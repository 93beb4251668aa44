"""The HTTP layer: guards every request, dispatches it to a route, sends the answer."""
from __future__ import annotations

import json
import traceback
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import urlsplit

from .routes import (GET_ROUTES, POST_ROUTES, Response, StudioContext, failure,
                     parse_query)
from .security import MAX_BODY_BYTES, host_allowed, post_refusal


class StudioHTTPServer(ThreadingHTTPServer):
    allow_reuse_address = True
    daemon_threads = True

    def __init__(self, port: int, context: StudioContext):
        self.studio = context
        super().__init__(("127.0.0.1", port), StudioRequestHandler)


class StudioRequestHandler(BaseHTTPRequestHandler):
    server_version = "QuillbayStudio/1.0"
    sys_version = ""
    timeout = 15  # a client that stops sending mid-request is dropped

    @property
    def studio(self) -> StudioContext:
        return self.server.studio

    def do_GET(self) -> None:
        if not self._host_checked():
            return
        target = urlsplit(self.path)
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
        if not self._host_checked():
            return
        refusal = post_refusal(self.headers, self.studio.config)
        if refusal:
            self._send(failure(403, refusal))
            return
        route = POST_ROUTES.get(urlsplit(self.path).path)
        if route is None:
            self._send(failure(404, "There is nothing at this address."))
            return
        request = self._read_json_body()
        if isinstance(request, Response):
            self._send(request)
            return
        self._send(self._run(route, request))

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
        if not length_text.strip().isdigit():
            return failure(400, "The Content-Length is not a number.")
        length = int(length_text)
        if length > MAX_BODY_BYTES:
            return failure(413, f"The request body is larger than {MAX_BODY_BYTES // 1024} KB.")
        data = self.rfile.read(length)
        try:
            document = json.loads(data.decode("utf-8"))
        except (UnicodeDecodeError, ValueError):
            document = None
        if not isinstance(document, dict):
            return failure(400, "The request body is not a JSON object.")
        return document

    def _run(self, route, argument) -> Response:
        try:
            return route(self.studio, argument)
        except Exception:  # a fault in one route must not take the connection down silently
            for line in traceback.format_exc().splitlines():
                self.studio.log.line(line)
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

    def log_request(self, code="-", size="-") -> None:
        # A request that failed to parse has no command or path yet.
        path = urlsplit(self.path).path if self.command else None
        self.studio.log.request(self.command, path, getattr(code, "value", code))

    def log_message(self, format: str, *args) -> None:
        self.studio.log.line("http: " + (format % args))
