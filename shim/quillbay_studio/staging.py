"""The private work folder a pack is copied into before it is checked and
renamed into place, and the limits every pack is held to while it is copied."""
from __future__ import annotations

import os
from pathlib import Path, PurePosixPath

from .log import printable
from .packs import PackError

MAX_FILES = 200
MAX_ENTRIES = MAX_FILES * 2  # files and folders, before the files are counted
MAX_TOTAL_BYTES = 20 * 1024 * 1024
MAX_DEPTH = 16
COPY_CHUNK = 64 * 1024
WRITE_FLAGS = os.O_WRONLY | os.O_CREAT | os.O_EXCL | os.O_NOFOLLOW | os.O_CLOEXEC


def shown(relative: PurePosixPath | str) -> str:
    return printable(relative, 120)


class Staging:
    def __init__(self, root: Path):
        self.root = root
        self.files = 0
        self.total = 0

    def count(self, relative: PurePosixPath, size: int) -> None:
        """Admits one more file of `size` bytes, or raises PackError."""
        if len(relative.parts) > MAX_DEPTH:
            raise PackError(f"The pack file {shown(relative)} is more than {MAX_DEPTH} folders deep.")
        self.files += 1
        self.total += size
        if self.files > MAX_FILES:
            raise PackError(f"The pack holds more than {MAX_FILES} files.")
        if self.total > MAX_TOTAL_BYTES:
            raise PackError(f"The pack is larger than {MAX_TOTAL_BYTES // (1024 * 1024)} MB unpacked.")

    def make_folder(self, relative: PurePosixPath) -> None:
        try:
            self.root.joinpath(*relative.parts).mkdir(parents=True, exist_ok=True)
        except OSError as error:
            raise _unwritable(error) from None

    def copy(self, relative: PurePosixPath, read, size: int) -> None:
        """Writes the file from read(n) calls, holding the data to the size it was counted with."""
        self.make_folder(relative.parent)
        try:
            descriptor = os.open(self.root.joinpath(*relative.parts), WRITE_FLAGS, 0o644)
        except OSError as error:
            raise _unwritable(error) from None
        try:
            written = 0
            while chunk := read(min(COPY_CHUNK, size - written + 1)):
                written += len(chunk)
                if written > size:
                    raise PackError(f"The pack file {shown(relative)} holds more data than its size says.")
                _write_all(descriptor, chunk)
        finally:
            os.close(descriptor)


def _write_all(descriptor: int, data: bytes) -> None:
    view = memoryview(data)
    try:
        while view:
            view = view[os.write(descriptor, view):]
    except OSError as error:
        raise _unwritable(error) from None


def _unwritable(error: OSError) -> PackError:
    return PackError(f"The pack could not be written ({error.strerror or error}).")
