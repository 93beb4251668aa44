"""How many connections the server holds at once.

Every connection costs a thread and a descriptor, and anyone on the machine
can open them. Up to `limit` are served; when all slots are taken, the oldest
connection still waiting for its request is closed to make room, so idle
connections cannot keep a real request (such as the shell's identity probe)
out. When every slot is busy with a request, the newcomer is closed at once.
Connections of other users share a few slots of their own.
"""
from __future__ import annotations

import socket
import threading
import time

DEFAULT_LIMIT = 64
RESERVED_DESCRIPTORS = 64  # standard streams, the listener, files of an install


def limit_for_descriptors() -> int:
    """At most half of the descriptors left after our own needs, so accept never hits EMFILE."""
    try:
        import resource  # small, and only needed once at start
        soft, _ = resource.getrlimit(resource.RLIMIT_NOFILE)
    except (ImportError, OSError, ValueError):
        return DEFAULT_LIMIT
    if soft == resource.RLIM_INFINITY:
        return DEFAULT_LIMIT
    return max(4, min(DEFAULT_LIMIT, (soft - RESERVED_DESCRIPTORS) // 2))


class ConnectionSlots:
    def __init__(self, limit: int):
        self.limit = limit
        # Other users and peers whose user is unknown: they never take the room
        # our own user's requests need.
        self.foreign_limit = max(2, limit // 8)
        self._lock = threading.Lock()
        self._waiting: dict[socket.socket, float] = {}  # no request read yet, by arrival
        self._busy: set[socket.socket] = set()
        self._foreign: set[socket.socket] = set()
        self._closing = 0  # evicted, their threads not yet ended

    def admit(self, connection: socket.socket, foreign: bool) -> bool:
        """Takes a slot for a new connection, evicting an idle one if need be."""
        with self._lock:
            if foreign and len(self._foreign) >= self.foreign_limit and not self._evict_oldest(self._foreign):
                return False
            if len(self._waiting) + len(self._busy) >= self.limit and not self._evict_oldest(self._waiting):
                return False
            self._waiting[connection] = time.monotonic()
            if foreign:
                self._foreign.add(connection)
            return True

    def mark_busy(self, connection: socket.socket) -> None:
        """The connection's request has arrived; it is no longer a candidate for eviction."""
        with self._lock:
            if self._waiting.pop(connection, None) is not None:
                self._busy.add(connection)

    def release(self, connection: socket.socket) -> None:
        with self._lock:
            if self._waiting.pop(connection, None) is None and connection not in self._busy:
                self._closing -= 1
            self._busy.discard(connection)
            self._foreign.discard(connection)

    def _evict_oldest(self, among) -> bool:
        """Closes the longest-waiting connection of `among` that has sent no request yet."""
        candidates = [connection for connection in self._waiting if connection in among]
        if not candidates or self._closing >= self.limit:
            return False
        oldest = min(candidates, key=self._waiting.get)
        del self._waiting[oldest]
        self._foreign.discard(oldest)
        self._closing += 1
        _shut(oldest)
        return True


def _shut(connection: socket.socket) -> None:
    """Wakes the connection's thread, which then ends and releases the slot."""
    try:
        connection.shutdown(socket.SHUT_RDWR)
    except OSError:
        pass
