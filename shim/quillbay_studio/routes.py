"""What each address answers. Handlers take the server's context and the
request's data and return a Response; the HTTP layer only sends it."""
from __future__ import annotations

import json
import os
import time
from dataclasses import dataclass, field
from urllib.parse import parse_qs

from .config import StudioConfig
from .install import install_pack
from .log import ServerLog, printable
from .files import read_at_most
from .packs import MAX_STYLESHEET_BYTES, PackError
from .pages import read_asset, render_page
from .themes import ThemeStore

NO_STORE = {"Cache-Control": "no-store"}
STATIC_TYPES = {"studio.css": "text/css; charset=utf-8",
                "studio.js": "text/javascript; charset=utf-8"}
PAGE_SECURITY = {
    "Content-Security-Policy": "default-src 'self'; img-src 'self' data:; "
                               "frame-ancestors 'none'; base-uri 'none'; form-action 'self'",
    "Referrer-Policy": "no-referrer",
}


@dataclass
class StudioContext:
    config: StudioConfig
    themes: ThemeStore
    log: ServerLog


@dataclass
class Response:
    status: int
    body: bytes = b""
    content_type: str | None = None
    headers: dict = field(default_factory=dict)


def json_response(status: int, document: dict) -> Response:
    return Response(status, json.dumps(document).encode("utf-8"),
                    "application/json", dict(NO_STORE))


def failure(status: int, message: str) -> Response:
    return json_response(status, {"ok": False, "error": message})


# Pages and assets

def desk_page(context: StudioContext, query: dict) -> Response:
    return _page(context, "desk")


def room_page(context: StudioContext, query: dict) -> Response:
    return _page(context, "room")


def _page(context: StudioContext, page: str) -> Response:
    text = render_page(page, context.config, context.themes.active_pack())
    return Response(200, text.encode("utf-8"), "text/html; charset=utf-8",
                    {**NO_STORE, **PAGE_SECURITY})


def room_without_slash(context: StudioContext, query: dict) -> Response:
    return Response(301, headers={"Location": "/room/"})


def static_asset(name: str):
    def handler(context: StudioContext, query: dict) -> Response:
        data = read_asset(context.config, name)
        if data is None:
            return failure(404, f"{name} is missing from the server's pages.")
        return Response(200, data, STATIC_TYPES[name], {"Cache-Control": "no-cache"})
    return handler


def active_stylesheet(context: StudioContext, query: dict) -> Response:
    descriptor = context.themes.open_active_stylesheet()
    css = b""
    if descriptor is not None:
        try:
            css = read_at_most(descriptor, MAX_STYLESHEET_BYTES)
        except OSError:
            pass
        finally:
            os.close(descriptor)
    return Response(200, css, "text/css; charset=utf-8", {"Cache-Control": "no-cache, no-store"})


# API

def identity(context: StudioContext, query: dict) -> Response:
    return json_response(200, {"app": "Quillbay", "pid": os.getpid()})


def beacon(context: StudioContext, query: dict) -> Response:
    page = (query.get("page") or [""])[0]
    if page not in ("desk", "room"):
        return failure(400, "The beacon names no known page.")
    context.log.line(f"beacon page={page} t={time.time():.6f}")
    return Response(204)


def session_export(context: StudioContext, query: dict) -> Response:
    config = context.config
    pack = context.themes.active_pack()
    text = (
        "Quillbay studio session\n"
        f"exported: {time.strftime('%Y-%m-%d %H:%M:%S %z')}\n"
        f"server: {config.base_url}\n"
        f"studio folder: {config.studio_dir}\n"
        f"theme: {pack.id if pack else 'none'}\n"
    )
    return Response(200, text.encode("utf-8"), "text/plain; charset=utf-8",
                    {**NO_STORE, "Content-Disposition": 'attachment; filename="session.txt"'})


def takes_export(context: StudioContext, query: dict) -> Response:
    # A fixed, recognisable binary: a header and 16 KiB of a byte ramp.
    data = b"QBTAKES\x00\x01" + bytes(range(256)) * 64
    return Response(200, data, "application/octet-stream", dict(NO_STORE))


def theme_catalog(context: StudioContext, query: dict) -> Response:
    return json_response(200, context.themes.catalog())


def activate_theme(context: StudioContext, request: dict) -> Response:
    pack_id = request.get("id")
    if not isinstance(pack_id, str) or not pack_id:
        return failure(400, "The request names no pack id.")
    try:
        pack = context.themes.activate(pack_id)
    except PackError as error:
        return failure(400, str(error))
    context.log.line(f"theme active id={printable(pack.id)}")
    return json_response(200, {"ok": True, "active": pack.id})


def install_theme(context: StudioContext, request: dict) -> Response:
    activate = request.get("activate", False)
    if not isinstance(activate, bool):
        return failure(400, "The member activate must be true or false.")
    try:
        manifest = install_pack(context.themes, request.get("path"), activate)
    except PackError as error:
        context.log.line(f"theme install refused: {printable(error)}")
        return failure(400, str(error))
    context.log.line(f"theme installed id={manifest.id} version={printable(manifest.version)}"
                     + (" (active)" if activate else ""))
    return json_response(200, {"ok": True, "installed": manifest.as_json(),
                               "active": context.themes.catalog()["active"]})


GET_ROUTES = {
    "/": desk_page,
    "/room/": room_page,
    "/room": room_without_slash,
    "/static/studio.css": static_asset("studio.css"),
    "/static/studio.js": static_asset("studio.js"),
    "/themes/active.css": active_stylesheet,
    "/api/pid": identity,
    "/api/beacon": beacon,
    "/api/themes": theme_catalog,
    "/api/export/session.txt": session_export,
    "/api/export/takes.bin": takes_export,
}

POST_ROUTES = {
    "/api/themes/active": activate_theme,
    "/api/themes/install": install_theme,
}


def parse_query(text: str) -> dict:
    return parse_qs(text, keep_blank_values=True, max_num_fields=20)
