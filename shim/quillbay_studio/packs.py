"""Theme pack format: a folder with manifest.json and theme.css.

These checks are shared by the catalog (which lists broken packs with the
reason) and by the installer (which refuses them before writing anything).
"""
from __future__ import annotations

import json
import os
import re
import unicodedata
from dataclasses import dataclass
from pathlib import Path

from .files import NotRegularFileError, open_regular, read_at_most

MANIFEST_NAME = "manifest.json"
STYLESHEET_NAME = "theme.css"
PACK_ID_PATTERN = re.compile(r"[a-z0-9][a-z0-9._-]{0,63}")
MAX_MANIFEST_BYTES = 64 * 1024
MAX_STYLESHEET_BYTES = 2 * 1024 * 1024
MAX_TEXT_FIELD = 100
# Controls (DEL and C1 included), bidi and zero-width formatting, lone
# surrogates, line and paragraph separators: text that hides, reorders or
# breaks what a menu or the desk shows.
UNSHOWN_CATEGORIES = {"Cc", "Cf", "Cs", "Zl", "Zp"}


class PackError(Exception):
    """A pack cannot be used; the message is one sentence for the user."""


@dataclass(frozen=True)
class PackManifest:
    id: str
    name: str
    version: str

    def as_json(self) -> dict:
        return {"id": self.id, "name": self.name, "version": self.version}


@dataclass(frozen=True)
class ThemePack:
    """A pack as the catalog lists it; `error` is set when it cannot be used."""

    id: str
    folder: Path
    stock: bool
    manifest: PackManifest | None = None
    error: str | None = None

    @property
    def usable(self) -> bool:
        return self.error is None

    @property
    def stylesheet(self) -> Path:
        return self.folder / STYLESHEET_NAME

    def as_json(self) -> dict:
        entry = {"id": self.id}
        if self.manifest is not None:
            entry["name"] = self.manifest.name
            entry["version"] = self.manifest.version
        entry["stock"] = self.stock
        if self.error is not None:
            entry["error"] = self.error
        return entry


def parse_manifest(data: bytes) -> PackManifest:
    """Decodes and checks manifest bytes, raising PackError with the reason."""
    if len(data) > MAX_MANIFEST_BYTES:
        raise PackError(f"The manifest is larger than {MAX_MANIFEST_BYTES // 1024} KB.")
    try:
        document = json.loads(data.decode("utf-8"))
    except (UnicodeDecodeError, ValueError, RecursionError):
        raise PackError("The manifest is not valid JSON.") from None
    if not isinstance(document, dict):
        raise PackError("The manifest is not a JSON object.")
    pack_id = document.get("id")
    if not isinstance(pack_id, str) or not PACK_ID_PATTERN.fullmatch(pack_id):
        raise PackError(
            "The manifest's id must be 1 to 64 lowercase letters, digits, dots, "
            "dashes or underscores, starting with a letter or digit.")
    name = _text_field(document, "name")
    version = _text_field(document, "version")
    return PackManifest(pack_id, name, version)


def _text_field(document: dict, key: str) -> str:
    value = document.get(key)
    if not isinstance(value, str) or not value.strip():
        raise PackError(f"The manifest has no {key} text.")
    if len(value) > MAX_TEXT_FIELD:
        raise PackError(f"The manifest's {key} is longer than {MAX_TEXT_FIELD} characters.")
    unshown = next((c for c in value if unicodedata.category(c) in UNSHOWN_CATEGORIES), None)
    if unshown is not None:
        raise PackError(f"The manifest's {key} holds the invisible or control character U+{ord(unshown):04X}.")
    return value


def check_stylesheet_size(size: int) -> None:
    if size > MAX_STYLESHEET_BYTES:
        raise PackError(
            f"The stylesheet is larger than {MAX_STYLESHEET_BYTES // (1024 * 1024)} MB.")


def _open_pack_file(folder: Path, name: str, what: str) -> tuple[int, int]:
    """A descriptor of one of the pack's own files, and its size."""
    try:
        return open_regular(folder / name)
    except FileNotFoundError:
        raise PackError(f"The pack has no {what}.") from None
    except NotRegularFileError:
        raise PackError(f"The pack's {what} is not a regular file.") from None
    except OSError as error:
        raise PackError(f"The pack's {what} cannot be read ({error.strerror}).") from None


def read_pack_folder(folder: Path) -> PackManifest:
    """Checks an unpacked pack folder; returns its manifest or raises PackError."""
    descriptor, _ = _open_pack_file(folder, MANIFEST_NAME, MANIFEST_NAME)
    try:
        data = read_at_most(descriptor, MAX_MANIFEST_BYTES + 1)
    except OSError as error:
        raise PackError(f"The manifest cannot be read ({error.strerror}).") from None
    finally:
        os.close(descriptor)
    manifest = parse_manifest(data)
    descriptor, info = _open_pack_file(folder, STYLESHEET_NAME, f"{STYLESHEET_NAME} stylesheet")
    os.close(descriptor)
    check_stylesheet_size(info.st_size)
    return manifest


def load_pack(folder: Path, stock: bool) -> ThemePack:
    """Reads a pack folder for the catalog; a broken pack keeps its folder name as id."""
    try:
        manifest = read_pack_folder(folder)
    except PackError as error:
        return ThemePack(folder.name, folder, stock, error=str(error))
    if manifest.id != folder.name:
        return ThemePack(
            folder.name, folder, stock,
            error=f"The manifest's id {manifest.id} does not match the folder name.")
    return ThemePack(manifest.id, folder, stock, manifest=manifest)
