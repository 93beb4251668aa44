"""The desk and room pages, filled from templates in shim/pages/."""
from __future__ import annotations

import html
import os
import re
from pathlib import Path
from string import Template

from .config import StudioConfig
from .packs import ThemePack

PAGE_TEMPLATES = {"desk": "desk.html", "room": "room.html"}
CREDENTIALS = re.compile(r"(?P<scheme>[A-Za-z][A-Za-z0-9+.-]*://)?.*@(?P<rest>[^@]*)", re.DOTALL)


def render_page(page: str, config: StudioConfig, theme: ThemePack | None) -> str:
    template = Template((config.pages_dir / PAGE_TEMPLATES[page]).read_text(encoding="utf-8"))
    return template.substitute(
        server_facts=server_facts_html(config),
        theme_name=html.escape(theme.manifest.name if theme else "none"),
        theme_version=html.escape(f"version {theme.manifest.version}" if theme else ""),
        theme_id=html.escape(theme.id if theme else ""),
        pid=os.getpid(),
    )


def server_facts_html(config: StudioConfig) -> str:
    rows = [
        ("Address", config.base_url),
        ("Port", str(config.port)),
        ("Studio folder", str(config.studio_dir)),
        ("Data folder", str(config.state_dir)),
        ("Interpreter", "bundled with Quillbay" if config.bundled else "started by hand"),
    ]
    if config.hub is not None:
        rows.append(("Hub", without_credentials(config.hub) or "(empty)"))
    if config.takes is not None:
        rows.append(("Takes", config.takes or "(empty)"))
    return "\n".join(
        f'<div class="fact"><dt>{html.escape(label)}</dt><dd>{html.escape(value)}</dd></div>'
        for label, value in rows)


def without_credentials(address: str) -> str:
    """The address with any user name and password before its host masked.

    Everything up to the last "@" counts as credentials, since a password may
    hold "/" or "@" that were not escaped; an "@" in a path is masked too.
    """
    match = CREDENTIALS.fullmatch(address)
    return f"{match['scheme'] or ''}***@{match['rest']}" if match else address


def read_asset(config: StudioConfig, name: str) -> bytes | None:
    path: Path = config.pages_dir / name
    try:
        return path.read_bytes()
    except OSError:
        return None
