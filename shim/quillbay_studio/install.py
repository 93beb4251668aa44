"""Installs a theme pack from a folder or a .zip archive.

Everything is checked before anything is written; the pack is then unpacked
into a work folder inside the installed-pack folder and renamed into place, so
a failure at any step leaves nothing behind.
"""
from __future__ import annotations

import os
import shutil
import stat
import tempfile
import zipfile
import zlib
from dataclasses import dataclass
from pathlib import Path, PurePosixPath

from .packs import (MANIFEST_NAME, STYLESHEET_NAME, PackError, PackManifest,
                    check_stylesheet_size, parse_manifest, read_pack_folder)
from .themes import WORK_FOLDER_PREFIX, ThemeStore

MAX_FILES = 200
MAX_TOTAL_BYTES = 20 * 1024 * 1024
COPY_CHUNK = 64 * 1024
IGNORED_ZIP_PREFIX = "__MACOSX/"


@dataclass(frozen=True)
class PackFile:
    """One file of a checked pack: where it goes inside the pack, and its size."""

    relative: PurePosixPath
    size: int
    source: object  # a ZipInfo or a Path


def install_pack(store: ThemeStore, path_text: str, activate: bool) -> PackManifest:
    """Installs (and optionally activates) a pack; raises PackError with one sentence."""
    source = _checked_source_path(path_text)
    if source.is_dir():
        return _install(store, FolderSource(source), activate)
    if not source.is_file():
        raise PackError(f"{source.name} is neither a folder nor a .zip archive.")
    if not zipfile.is_zipfile(source):
        raise PackError(f"{source.name} is not a .zip archive.")
    try:
        with zipfile.ZipFile(source) as archive:
            return _install(store, ZipSource(archive), activate)
    except (zipfile.BadZipFile, zipfile.LargeZipFile, EOFError, zlib.error):
        raise PackError(f"{source.name} is a damaged .zip archive.") from None
    except NotImplementedError:
        raise PackError(f"{source.name} uses a compression method this server cannot read.") from None


def _checked_source_path(path_text: object) -> Path:
    if not isinstance(path_text, str) or not path_text:
        raise PackError("The request names no pack path.")
    if "\0" in path_text:
        raise PackError("The pack path contains a null character.")
    path = Path(path_text)
    if not path.is_absolute():
        raise PackError("The pack path must be absolute.")
    if not path.exists():
        raise PackError(f"Nothing exists at {path_text}.")
    return path.resolve()


def _install(store: ThemeStore, source, activate: bool) -> PackManifest:
    files = source.files()
    _check_limits(files)
    manifest = parse_manifest(source.read(_find(files, MANIFEST_NAME)))
    check_stylesheet_size(_find(files, STYLESHEET_NAME).size)
    if manifest.id in store.stock_ids():
        raise PackError(f"The id {manifest.id} belongs to a stock pack and cannot be replaced.")
    with store.write_lock:
        _place(store, manifest, source, files)
        if activate:
            store.activate_locked(manifest.id)
    return manifest


def _check_limits(files: list[PackFile]) -> None:
    if len(files) > MAX_FILES:
        raise PackError(f"The pack holds more than {MAX_FILES} files.")
    if sum(item.size for item in files) > MAX_TOTAL_BYTES:
        raise PackError(f"The pack is larger than {MAX_TOTAL_BYTES // (1024 * 1024)} MB unpacked.")


def _find(files: list[PackFile], name: str) -> PackFile:
    for item in files:
        if item.relative == PurePosixPath(name):
            return item
    what = "manifest.json" if name == MANIFEST_NAME else f"{name} stylesheet"
    raise PackError(f"The pack has no {what} at its top level.")


def _place(store: ThemeStore, manifest: PackManifest, source, files: list[PackFile]) -> None:
    store.installed_dir.mkdir(parents=True, exist_ok=True)
    work = Path(tempfile.mkdtemp(prefix=WORK_FOLDER_PREFIX, dir=store.installed_dir))
    try:
        staged = work / "pack"
        staged.mkdir()
        for item in files:
            _write_file(staged, item, source)
        read_pack_folder(staged)  # the unpacked copy must pass the same checks
        target = store.installed_dir / manifest.id
        if target.exists() or target.is_symlink():
            os.rename(target, work / "replaced")
        os.rename(staged, target)
    except OSError as error:
        raise PackError(f"The pack could not be written ({error.strerror or error}).") from None
    finally:
        shutil.rmtree(work, ignore_errors=True)


def _write_file(root: Path, item: PackFile, source) -> None:
    destination = root.joinpath(*item.relative.parts)
    destination.parent.mkdir(parents=True, exist_ok=True)
    written = 0
    with source.open(item) as reader, open(destination, "xb") as writer:
        while chunk := reader.read(COPY_CHUNK):
            written += len(chunk)
            # Sizes in a zip's directory are claims; hold the data to them.
            if written > item.size:
                raise PackError(f"{item.relative} holds more data than its archive entry says.")
            writer.write(chunk)


class ZipSource:
    def __init__(self, archive: zipfile.ZipFile):
        self.archive = archive

    def files(self) -> list[PackFile]:
        entries = [info for info in self.archive.infolist()
                   if not info.filename.startswith(IGNORED_ZIP_PREFIX)]
        if len(entries) > MAX_FILES * 2:
            raise PackError(f"The pack holds more than {MAX_FILES} files.")
        for info in entries:
            _check_zip_entry(info)
        root = _zip_pack_root(entries)
        files = []
        for info in entries:
            if info.is_dir():
                continue
            relative = PurePosixPath(info.filename).relative_to(root)
            files.append(PackFile(relative, info.file_size, info))
        return files

    def read(self, item: PackFile) -> bytes:
        with self.archive.open(item.source) as handle:
            return handle.read(item.size + 1)

    def open(self, item: PackFile):
        return self.archive.open(item.source)


def _check_zip_entry(info: zipfile.ZipInfo) -> None:
    name = info.filename
    if name.startswith("/") or "\\" in name or (len(name) > 1 and name[1] == ":"):
        raise PackError(f"The archive entry {name} has an absolute path.")
    if ".." in PurePosixPath(name).parts:
        raise PackError(f"The archive entry {name} points outside the pack with \"..\".")
    mode = info.external_attr >> 16
    if stat.S_ISLNK(mode):
        raise PackError(f"The archive entry {name} is a link, which packs may not hold.")
    if stat.S_IFMT(mode) not in (0, stat.S_IFREG, stat.S_IFDIR):
        raise PackError(f"The archive entry {name} is not a plain file or folder.")
    if info.flag_bits & 0x1:
        raise PackError(f"The archive entry {name} is encrypted.")


def _zip_pack_root(entries: list[zipfile.ZipInfo]) -> PurePosixPath:
    """The pack may sit at the archive's top level or inside one top folder."""
    names = {PurePosixPath(info.filename) for info in entries}
    if PurePosixPath(MANIFEST_NAME) in names:
        return PurePosixPath(".")
    tops = {path.parts[0] for path in names if path.parts}
    if len(tops) == 1:
        top = PurePosixPath(tops.pop())
        if top / MANIFEST_NAME in names:
            return top
    return PurePosixPath(".")


class FolderSource:
    def __init__(self, folder: Path):
        self.folder = folder

    def files(self) -> list[PackFile]:
        files = []
        entries = 0
        for current, folders, names in os.walk(self.folder):
            here = Path(current)
            entries += len(folders) + len(names)
            if entries > MAX_FILES * 2:
                raise PackError(f"The pack holds more than {MAX_FILES} files.")
            for name in folders:
                if (here / name).is_symlink():
                    raise PackError(f"The pack folder holds a link to a folder ({name}).")
            files.extend(self._file(here / name) for name in names)
        return files

    def _file(self, path: Path) -> PackFile:
        relative = PurePosixPath(path.relative_to(self.folder).as_posix())
        if path.is_symlink():
            target = path.resolve()
            if not target.is_relative_to(self.folder):
                raise PackError(f"The pack file {relative} links outside the pack folder.")
            path = target
        info = path.stat()
        if not stat.S_ISREG(info.st_mode):
            raise PackError(f"The pack file {relative} is not a plain file.")
        return PackFile(relative, info.st_size, path)

    def read(self, item: PackFile) -> bytes:
        with open(item.source, "rb") as handle:
            return handle.read(item.size + 1)

    def open(self, item: PackFile):
        return open(item.source, "rb")
