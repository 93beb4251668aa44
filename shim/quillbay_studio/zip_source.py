"""Copies a pack out of a .zip archive whose entries are all checked first."""
from __future__ import annotations

import stat
import zipfile
from pathlib import PurePosixPath

from .packs import MANIFEST_NAME, STYLESHEET_NAME, PackError
from .staging import MAX_DEPTH, MAX_ENTRIES, MAX_FILES, Staging, shown
from .zip_directory import read_central_directory
from .zip_entry import READABLE_METHODS, EntryReader

IGNORED_ZIP_PREFIX = "__MACOSX/"
# Room for a Mac's __MACOSX twin of every entry, and for long names.
MAX_ARCHIVE_ENTRIES = MAX_ENTRIES * 2
MAX_DIRECTORY_BYTES = MAX_ARCHIVE_ENTRIES * 1024


def check_directory_claims(handle) -> bool:
    """False when there is no archive; refuses one whose directory is too big before zipfile reads it."""
    directory = read_central_directory(handle)
    if directory is None:
        return False
    if directory.entries > MAX_ARCHIVE_ENTRIES:
        raise PackError(f"The pack holds more than {MAX_FILES} files.")
    if directory.size > MAX_DIRECTORY_BYTES:
        raise PackError(f"The archive's list of entries is larger than a pack of {MAX_FILES} files needs.")
    return True


def copy_zip_pack(archive: zipfile.ZipFile, descriptor: int, staging: Staging) -> None:
    """Copies the pack out of `archive`, whose file `descriptor` its entries are read from."""
    entries = [info for info in archive.infolist() if not info.filename.startswith(IGNORED_ZIP_PREFIX)]
    if len(entries) > MAX_ENTRIES:
        raise PackError(f"The pack holds more than {MAX_FILES} files.")
    paths = [_checked_path(info) for info in entries]
    root = _pack_root(paths)
    files, seen = [], set()
    for info, path in zip(entries, paths):
        if path.is_relative_to(root) and path != root:
            relative = path.relative_to(root)
            if relative in seen:
                raise PackError(f"The archive holds {shown(relative)} more than once.")
            seen.add(relative)
            if not info.is_dir():
                staging.count(relative, info.file_size)
                files.append((info, relative))
    for name in (MANIFEST_NAME, STYLESHEET_NAME):
        if PurePosixPath(name) not in seen:
            what = "manifest.json" if name == MANIFEST_NAME else f"{name} stylesheet"
            raise PackError(f"The pack has no {what} at its top level.")
    for info, relative in files:
        staging.copy(relative, EntryReader(descriptor, info).read, info.file_size)


def _checked_path(info: zipfile.ZipInfo) -> PurePosixPath:
    name = info.filename
    if not name.strip("/"):
        raise PackError("The archive has an entry without a name.")
    if "\0" in name:
        raise PackError(f"The archive entry {shown(name)} has a null character in its name.")
    if name.startswith("/") or "\\" in name or (len(name) > 1 and name[1] == ":"):
        raise PackError(f"The archive entry {shown(name)} has an absolute path.")
    path = PurePosixPath(name)
    if ".." in path.parts:
        raise PackError(f"The archive entry {shown(name)} points outside the pack with \"..\".")
    if len(path.parts) > MAX_DEPTH + 1:
        raise PackError(f"The archive entry {shown(name)} is more than {MAX_DEPTH} folders deep.")
    mode = info.external_attr >> 16
    if stat.S_ISLNK(mode):
        raise PackError(f"The archive entry {shown(name)} is a link, which packs may not hold.")
    if stat.S_IFMT(mode) not in (0, stat.S_IFREG, stat.S_IFDIR):
        raise PackError(f"The archive entry {shown(name)} is not a plain file or folder.")
    if info.flag_bits & 0x1:
        raise PackError(f"The archive entry {shown(name)} is encrypted.")
    if info.compress_type not in READABLE_METHODS:
        raise PackError(f"The archive entry {shown(name)} is compressed with a method other than deflate.")
    return path


def _pack_root(paths: list[PurePosixPath]) -> PurePosixPath:
    """The pack may sit at the archive's top level or inside one top folder."""
    names = set(paths)
    if PurePosixPath(MANIFEST_NAME) in names:
        return PurePosixPath(".")
    tops = {path.parts[0] for path in names}
    if len(tops) == 1:
        top = PurePosixPath(tops.pop())
        if top / MANIFEST_NAME in names:
            return top
    return PurePosixPath(".")
