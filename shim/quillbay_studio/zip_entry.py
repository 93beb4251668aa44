"""Reads one file out of a .zip archive, never inflating more than is asked for.

zipfile inflates bzip2 and lzma entries without any bound, so a few bytes
that claim a 100-byte file can fill memory. Only stored and deflated entries
are read, and by this reader rather than zipfile's: straight from the
archive's descriptor, each call returning at most the bytes asked for, the
end checked against the size and CRC the archive's directory gives.
"""
from __future__ import annotations

import os
import struct
import zipfile
import zlib

READABLE_METHODS = (zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED)
LOCAL_SIGNATURE = b"PK\x03\x04"
LOCAL_HEADER = struct.Struct("<4s22xHH")  # signature, fixed fields, name and extra field lengths
RAW_CHUNK = 64 * 1024


class EntryReader:
    def __init__(self, descriptor: int, info: zipfile.ZipInfo):
        if info.compress_type not in READABLE_METHODS:
            raise zipfile.BadZipFile("unreadable compression method")
        header = os.pread(descriptor, LOCAL_HEADER.size, info.header_offset)
        if len(header) < LOCAL_HEADER.size or header[:4] != LOCAL_SIGNATURE:
            raise zipfile.BadZipFile("no local header where the directory says")
        _, name_length, extra_length = LOCAL_HEADER.unpack(header)
        self._descriptor = descriptor
        self._offset = info.header_offset + LOCAL_HEADER.size + name_length + extra_length
        self._raw_left = info.compress_size
        self._info = info
        self._inflater = zlib.decompressobj(-zlib.MAX_WBITS) if info.compress_type == zipfile.ZIP_DEFLATED else None
        self._crc = 0
        self._size = 0

    def read(self, limit: int) -> bytes:
        """Up to `limit` bytes of the file; b"" at its end, once that end has been checked."""
        data = self._raw(limit) if self._inflater is None else self._inflate(limit)
        if not data:
            self._check_end()
        self._crc = zlib.crc32(data, self._crc)
        self._size += len(data)
        return data

    def _raw(self, limit: int) -> bytes:
        data = os.pread(self._descriptor, max(min(limit, self._raw_left), 0), self._offset)
        self._offset += len(data)
        self._raw_left -= len(data)
        return data

    def _inflate(self, limit: int) -> bytes:
        # Stored blocks of nothing inflate to nothing; the loop ends with the compressed data.
        while not self._inflater.eof:
            pending = self._inflater.unconsumed_tail or self._raw(RAW_CHUNK)
            # With nothing left to read, this still gives what the inflater holds back.
            data = self._inflater.decompress(pending, limit)
            if data or not pending:
                return data
        return b""

    def _check_end(self) -> None:
        ended = self._inflater is None or self._inflater.eof
        if not ended or self._size != self._info.file_size or self._crc != self._info.CRC:
            raise zipfile.BadZipFile("the entry's data does not match its size or CRC")
