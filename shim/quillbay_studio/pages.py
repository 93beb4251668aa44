"""The desk and room pages, filled from templates in shim/pages/."""
from __future__ import annotations

import html
import os
from pathlib import Path
from string import Template

from .config import StudioConfig
from .packs import ThemePack

PAGE_TEMPLATES = {"desk": "desk.html", "room": "room.html"}


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
        rows.append(("Hub", config.hub or "(empty)"))
    if config.takes is not None:
        rows.append(("Takes", config.takes or "(empty)"))
    return "\n".join(
        f'<div class="fact"><dt>{html.escape(label)}</dt><dd>{html.escape(value)}</dd></div>'
        for label, value in rows)


def read_asset(config: StudioConfig, name: str) -> bytes | None:
    path: Path = config.pages_dir / name
    try:
        return path.read_bytes()
    except OSError:
        return None
