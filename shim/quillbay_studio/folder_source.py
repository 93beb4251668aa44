"""Copies a pack out of a folder that another user may be changing meanwhile.

The folder is walked through descriptors: every folder and file is opened
relative to its parent's descriptor without following links, checked with
fstat and copied from that same descriptor. Links are refused without looking
at where they lead, so an answer never tells whether a path elsewhere exists.
"""
from __future__ import annotations

import os
from pathlib import PurePosixPath

from .files import NotRegularFileError, open_folder, open_regular
from .packs import PackError
from .staging import MAX_DEPTH, MAX_ENTRIES, MAX_FILES, Staging, shown


class FolderCopier:
    def __init__(self, folder_fd: int, staging: Staging):
        self.staging = staging
        self.entries = 0
        self._copy_folder(folder_fd, PurePosixPath())

    def _copy_folder(self, folder_fd: int, relative: PurePosixPath) -> None:
        with os.scandir(folder_fd) as scan:
            entries = sorted(scan, key=lambda entry: entry.name)
        self.entries += len(entries)
        if self.entries > MAX_ENTRIES:
            raise PackError(f"The pack holds more than {MAX_FILES} files.")
        for entry in entries:
            path = relative / entry.name
            if entry.is_symlink():
                raise PackError(f"The pack file {shown(path)} is a link, which packs may not hold.")
            if entry.is_dir(follow_symlinks=False):
                self._copy_subfolder(folder_fd, entry.name, path)
            else:
                self._copy_file(folder_fd, entry.name, path)

    def _copy_subfolder(self, parent_fd: int, name: str, path: PurePosixPath) -> None:
        if len(path.parts) > MAX_DEPTH:
            raise PackError(f"The pack folder {shown(path)} is more than {MAX_DEPTH} folders deep.")
        try:
            folder_fd = open_folder(name, dir_fd=parent_fd)
        except NotRegularFileError:
            raise PackError(f"The pack folder {shown(path)} changed while it was being read.") from None
        except OSError as error:
            raise PackError(f"The pack folder {shown(path)} cannot be read ({error.strerror}).") from None
        try:
            self.staging.make_folder(path)
            self._copy_folder(folder_fd, path)
        finally:
            os.close(folder_fd)

    def _copy_file(self, parent_fd: int, name: str, path: PurePosixPath) -> None:
        try:
            descriptor, info = open_regular(name, dir_fd=parent_fd)
        except NotRegularFileError:
            raise PackError(f"The pack file {shown(path)} is not a plain file.") from None
        except OSError as error:
            raise PackError(f"The pack file {shown(path)} cannot be read ({error.strerror}).") from None
        try:
            self.staging.count(path, info.st_size)
            self.staging.copy(path, lambda size: os.read(descriptor, size), info.st_size)
        finally:
            os.close(descriptor)
