"""The server's output: one line per event on standard output, flushed at once."""
from __future__ import annotations

import sys
import threading

MAX_FIELD = 300


def printable(text: object, limit: int = MAX_FIELD) -> str:
    """One line of text: control characters escaped, long values cut."""
    value = str(text)
    if len(value) > limit:
        value = value[:limit] + "..."
    return "".join(c if c.isprintable() else f"\\x{ord(c):02x}" if ord(c) < 0x100
                   else f"\\u{ord(c):04x}" for c in value)


class ServerLog:
    def __init__(self, stream=None):
        self.stream = stream if stream is not None else sys.stdout
        self.lock = threading.Lock()

    def line(self, text: str) -> None:
        with self.lock:
            try:
                self.stream.write(text + "\n")
                self.stream.flush()
            except (OSError, ValueError):
                pass  # nobody reads our output any more; keep serving

    def request(self, method: str | None, path: str | None, status: object) -> None:
        self.line(f"{printable(method or '-')} {printable(path or '-')} {status}")
