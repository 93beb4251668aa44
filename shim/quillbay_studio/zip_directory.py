"""What a .zip archive's end records claim about its central directory.

Read before zipfile parses the directory: zipfile builds an object for every
entry, so a directory of a million entries costs hundreds of MB before any
limit of ours could apply. The records are found the way zipfile finds them,
so the claims checked here are the ones it will act on.
"""
from __future__ import annotations

import struct
from dataclasses import dataclass

END_SIGNATURE = b"PK\x05\x06"
END_SIZE = 22
MAX_COMMENT = 0xFFFF
LOCATOR_SIGNATURE = b"PK\x06\x07"
LOCATOR_SIZE = 20
END64_SIGNATURE = b"PK\x06\x06"
END64_SIZE = 56


@dataclass(frozen=True)
class CentralDirectory:
    entries: int  # as claimed; zipfile reads `size` bytes whatever this says
    size: int


def read_central_directory(handle) -> CentralDirectory | None:
    """The claimed entry count and directory size, or None when there is no end record."""
    file_size = handle.seek(0, 2)
    tail_start = max(file_size - END_SIZE - MAX_COMMENT, 0)
    handle.seek(tail_start)
    tail = handle.read()
    if tail[-END_SIZE:-END_SIZE + 4] == END_SIGNATURE and tail[-2:] == b"\0\0":
        position = len(tail) - END_SIZE
    else:
        position = tail.rfind(END_SIGNATURE)
    if position < 0 or len(tail) - position < END_SIZE:
        return None
    entries, size = struct.unpack_from("<HL", tail, position + 10)
    return _zip64(handle, tail_start + position) or CentralDirectory(entries, size)


def _zip64(handle, end_offset: int) -> CentralDirectory | None:
    """zipfile takes the zip64 record that sits right before the locator, if any."""
    if end_offset < LOCATOR_SIZE + END64_SIZE:
        return None
    handle.seek(end_offset - LOCATOR_SIZE - END64_SIZE)
    data = handle.read(END64_SIZE + LOCATOR_SIZE)
    if data[END64_SIZE:END64_SIZE + 4] != LOCATOR_SIGNATURE or data[:4] != END64_SIGNATURE:
        return None
    entries, size = struct.unpack("<QQ", data[32:48])
    return CentralDirectory(entries, size)
