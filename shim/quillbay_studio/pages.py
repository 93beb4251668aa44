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
SCHEME = re.compile(r"[A-Za-z][A-Za-z0-9+.-]*://")
MASK = "***"


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
        rows.append(("Hub", without_secrets(config.hub) or "(empty)"))
    if config.takes is not None:
        rows.append(("Takes", config.takes or "(empty)"))
    return "\n".join(
        f'<div class="fact"><dt>{html.escape(label)}</dt><dd>{html.escape(value)}</dd></div>'
        for label, value in rows)


def without_secrets(address: str) -> str:
    """The address with its user name and password, query values and fragment masked.

    Everything up to the last "@" counts as credentials, since a password may
    hold "/" or "@" that were not escaped. When a "?" or "#" comes before that
    "@", the query or fragment may have begun there, so all after it is masked
    too. Query names stay, so the address still shows what it sets. The
    shell's diagnostics mask the hub address by the same rule.
    """
    scheme = SCHEME.match(address)
    head = scheme.group() if scheme else ""
    rest = address[len(head):]
    if "@" in rest:
        credentials, _, rest = rest.rpartition("@")
        head += MASK + "@"
        if "?" in credentials or "#" in credentials:
            return head + (MASK if rest else "")
    rest, hash_mark, fragment = rest.partition("#")
    location, question_mark, query = rest.partition("?")
    if question_mark:
        location += "?" + "&".join(_masked_field(field) for field in query.split("&"))
    return head + location + hash_mark + (MASK if fragment else "")


def _masked_field(field: str) -> str:
    name, equals, value = field.partition("=")
    if not equals:
        return MASK if field else ""
    return name + "=" + (MASK if value else "")


def read_asset(config: StudioConfig, name: str) -> bytes | None:
    path: Path = config.pages_dir / name
    try:
        return path.read_bytes()
    except OSError:
        return None
