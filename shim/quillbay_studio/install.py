"""Installs a theme pack from a folder or a .zip archive.

The named folder or archive is opened once; its files are copied into a
private work folder inside the installed-pack folder, checked there (where
nobody else can change them) and renamed into place, so a failure at any step
leaves nothing behind.
"""
from __future__ import annotations

import os
import shutil
import stat
import struct
import tempfile
import zipfile
import zlib
from pathlib import Path

from .folder_source import FolderCopier
from .log import printable
from .packs import PackError, PackManifest, read_pack_folder
from .staging import Staging
from .themes import WORK_FOLDER_PREFIX, ThemeStore
from .zip_source import check_directory_claims, copy_zip_pack

SOURCE_FLAGS = os.O_RDONLY | os.O_NONBLOCK | os.O_CLOEXEC | os.O_NOCTTY
# What zipfile raises for archives that lie about their own layout.
DAMAGED_ZIP_ERRORS = (zipfile.BadZipFile, zipfile.LargeZipFile, EOFError, zlib.error,
                      struct.error, ValueError, OverflowError, OSError)


def install_pack(store: ThemeStore, path_text: str, activate: bool) -> PackManifest:
    """Installs (and optionally activates) a pack; raises PackError with one sentence."""
    path = _checked_source_path(path_text)
    descriptor, kind = _open_source(path)
    try:
        store.installed_dir.mkdir(parents=True, exist_ok=True)
        work = Path(tempfile.mkdtemp(prefix=WORK_FOLDER_PREFIX, dir=store.installed_dir))
        try:
            staging = Staging(work / "pack")
            staging.root.mkdir()
            if kind == stat.S_IFDIR:
                _copy_folder(descriptor, staging)
            else:
                _copy_zip(descriptor, path, staging)
            return _put_in_place(store, staging, work, activate)
        finally:
            shutil.rmtree(work, ignore_errors=True)
    finally:
        os.close(descriptor)


def _checked_source_path(path_text: object) -> Path:
    if not isinstance(path_text, str) or not path_text:
        raise PackError("The request names no pack path.")
    if "\0" in path_text:
        raise PackError("The pack path contains a null character.")
    path = Path(path_text)
    if not path.is_absolute():
        raise PackError("The pack path must be absolute.")
    return path


def _open_source(path: Path) -> tuple[int, int]:
    """The folder or archive the caller named, opened once (a link the caller named is followed).

    Every way of not being a pack gets the same answer, so the answer does not
    tell whether something the caller cannot see exists.
    """
    try:
        descriptor = os.open(path, SOURCE_FLAGS)
    except (OSError, ValueError):
        raise _unusable(path) from None
    kind = stat.S_IFMT(os.fstat(descriptor).st_mode)
    if kind not in (stat.S_IFDIR, stat.S_IFREG):
        os.close(descriptor)
        raise _unusable(path)
    return descriptor, kind


def _unusable(path: Path) -> PackError:
    return PackError(f"There is no pack folder or .zip archive the server can open at {printable(path, 200)}.")


def _copy_folder(folder_fd: int, staging: Staging) -> None:
    try:
        FolderCopier(folder_fd, staging)
    except OSError as error:
        raise PackError(f"The pack could not be copied ({error.strerror or error}).") from None


def _copy_zip(descriptor: int, path: Path, staging: Staging) -> None:
    shown = printable(path.name, 120)
    try:
        with open(descriptor, "rb", closefd=False) as handle:
            if not check_directory_claims(handle):
                raise _unusable(path)
            with zipfile.ZipFile(handle) as archive:
                copy_zip_pack(archive, descriptor, staging)
    except NotImplementedError:  # such as a newer zip version than zipfile knows
        raise PackError(f"{shown} uses a .zip feature this server cannot read.") from None
    except DAMAGED_ZIP_ERRORS:
        # Writing into our own work folder fails only on a full or broken disk;
        # anything else here is the archive contradicting itself.
        raise PackError(f"{shown} is a damaged .zip archive.") from None


def _put_in_place(store: ThemeStore, staging: Staging, work: Path, activate: bool) -> PackManifest:
    manifest = read_pack_folder(staging.root)
    if manifest.id in store.stock_ids():
        raise PackError(f"The id {manifest.id} belongs to a stock pack and cannot be replaced.")
    with store.write_lock:
        store.check_room(manifest.id, staging.total)
        try:
            store.replace_pack(manifest.id, staging.root, work / "replaced")
        except OSError as error:
            raise PackError(f"The pack could not be written ({error.strerror or error}).") from None
        if activate:
            store.activate_locked(manifest.id)
    return manifest
