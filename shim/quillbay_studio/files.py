"""Opening files that someone else may be changing under us.

Each file is opened once, without following a link in its last component and
without blocking on a FIFO, and what was opened is checked with fstat; all
later reads use that descriptor, so a file swapped after the check is never
the one read.
"""
from __future__ import annotations

import errno
import os
import stat

READ_FLAGS = os.O_RDONLY | os.O_NOFOLLOW | os.O_NONBLOCK | os.O_CLOEXEC | os.O_NOCTTY
FOLDER_FLAGS = os.O_RDONLY | os.O_NOFOLLOW | os.O_DIRECTORY | os.O_CLOEXEC


class NotRegularFileError(OSError):
    """The name leads to a link, a folder, a FIFO, a device or a socket."""


def open_regular(name, dir_fd: int | None = None) -> tuple[int, os.stat_result]:
    """A descriptor of a regular file and its status; raises OSError otherwise."""
    try:
        descriptor = os.open(name, READ_FLAGS, dir_fd=dir_fd)
    except OSError as error:
        # ELOOP: a link; ENXIO: a socket; EISDIR is not raised for O_RDONLY.
        if error.errno in (errno.ELOOP, errno.ENXIO):
            raise NotRegularFileError(error.errno, os.strerror(error.errno)) from None
        raise
    try:
        info = os.fstat(descriptor)
        if not stat.S_ISREG(info.st_mode):
            raise NotRegularFileError(errno.EINVAL, "not a regular file")
    except BaseException:
        os.close(descriptor)
        raise
    return descriptor, info


def open_folder(name, dir_fd: int | None = None) -> int:
    """A descriptor of a folder that is not a link; raises OSError otherwise."""
    try:
        return os.open(name, FOLDER_FLAGS, dir_fd=dir_fd)
    except OSError as error:
        if error.errno in (errno.ELOOP, errno.ENOTDIR):
            raise NotRegularFileError(error.errno, os.strerror(error.errno)) from None
        raise


def read_at_most(descriptor: int, limit: int) -> bytes:
    """Up to `limit` bytes from the start of the file, whatever its offset."""
    parts, offset = [], 0
    while offset < limit:
        chunk = os.pread(descriptor, min(limit - offset, 1 << 20), offset)
        if not chunk:
            break
        parts.append(chunk)
        offset += len(chunk)
    return b"".join(parts)
