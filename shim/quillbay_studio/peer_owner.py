"""Which user holds the other end of a loopback TCP connection.

Anyone on the machine can connect to 127.0.0.1, but the kernel records the
user that created every socket. The peer of a loopback connection is a socket
on this host: the one whose local endpoint is the connection's remote one. Its
owner is asked of the socket diagnostics netlink interface, or read from
/proc/net/tcp and tcp6 where that interface cannot find our own listener.

A peer socket that no process holds any more (closed, or in TIME_WAIT) has no
owner; the kernel reports user 0 for it, so it counts as unknown.
"""
from __future__ import annotations

import os
import socket
import struct

Endpoint = tuple[str, int]

NETLINK_SOCK_DIAG = 4
SOCK_DIAG_BY_FAMILY = 20
NLM_F_REQUEST = 1
NLMSG_ERROR = 2
NO_COOKIE = 0xFFFFFFFF
ALL_STATES = 0xFFFFFFFF
MESSAGE_HEADER = struct.Struct("=IHHII")
REQUEST_HEADER = struct.Struct("=BBBBI")  # family, protocol, extensions, padding, states
SOCKET_PORTS_AND_ADDRESSES = struct.Struct("!HH16s16s")
SOCKET_INTERFACE_AND_COOKIE = struct.Struct("=III")
# In the answer: message header, family/state/timer/retransmits, socket id,
# expiry and queues, then the owner and the inode.
OWNER_AND_INODE = struct.Struct("=II")
OWNER_OFFSET = MESSAGE_HEADER.size + 4 + 48 + 12
ANSWER_SECONDS = 1.0

PROC_TABLES = ("/proc/net/tcp", "/proc/net/tcp6")
MAX_PROC_TABLE_BYTES = 64 * 1024 * 1024


class PeerOwners:
    """Finds the owner of a connection's peer, by the one way that works on this host."""

    def __init__(self, listener: socket.socket):
        own = listener.getsockname()
        self._lookup = netlink_owner if _quietly(netlink_owner, own, ("0.0.0.0", 0)) == os.geteuid() \
            else proc_owner

    def of_peer(self, connection: socket.socket) -> int | None:
        """The user id that holds the connection's other end, or None when it cannot be told."""
        try:
            peer, ours = connection.getpeername(), connection.getsockname()
        except OSError:
            return None
        return _quietly(self._lookup, peer, ours)


def netlink_owner(local: Endpoint, remote: Endpoint) -> int | None:
    """The owner of the TCP socket with these endpoints, asked of the kernel by its address."""
    request = (REQUEST_HEADER.pack(socket.AF_INET, socket.IPPROTO_TCP, 0, 0, ALL_STATES)
               + SOCKET_PORTS_AND_ADDRESSES.pack(local[1], remote[1], _ipv4(local[0]), _ipv4(remote[0]))
               + SOCKET_INTERFACE_AND_COOKIE.pack(0, NO_COOKIE, NO_COOKIE))
    message = MESSAGE_HEADER.pack(MESSAGE_HEADER.size + len(request), SOCK_DIAG_BY_FAMILY,
                                  NLM_F_REQUEST, 1, 0) + request
    with socket.socket(socket.AF_NETLINK, socket.SOCK_RAW, NETLINK_SOCK_DIAG) as diag:
        diag.settimeout(ANSWER_SECONDS)
        diag.sendto(message, (0, 0))
        answer = diag.recv(4096)
    if MESSAGE_HEADER.unpack_from(answer)[1] != SOCK_DIAG_BY_FAMILY:
        return None  # NLMSG_ERROR: no such socket
    owner, inode = OWNER_AND_INODE.unpack_from(answer, OWNER_OFFSET)
    return owner if inode else None


def proc_owner(local: Endpoint, remote: Endpoint) -> int | None:
    """The same, read from the kernel's tables of TCP sockets."""
    wanted = {(_proc_endpoint(local, mapped), _proc_endpoint(remote, mapped)) for mapped in (False, True)}
    for table in PROC_TABLES:
        try:
            with open(table, "rb") as rows:
                text = rows.read(MAX_PROC_TABLE_BYTES).decode("ascii", "replace")
        except OSError:
            continue
        for row in text.splitlines()[1:]:
            fields = row.split()
            if len(fields) > 9 and (fields[1], fields[2]) in wanted:
                return int(fields[7]) if fields[9] != "0" else None
    return None


def _ipv4(address: str) -> bytes:
    return socket.inet_aton(address) + bytes(12)


def _proc_endpoint(endpoint: Endpoint, mapped: bool) -> str:
    """An endpoint as the tables print it: the address's 32-bit words in host order, then the port."""
    raw = socket.inet_pton(socket.AF_INET6, "::ffff:" + endpoint[0]) if mapped else socket.inet_aton(endpoint[0])
    words = struct.unpack(f"={len(raw) // 4}I", raw)
    return "".join(f"{word:08X}" for word in words) + f":{endpoint[1]:04X}"


def _quietly(lookup, local: Endpoint, remote: Endpoint) -> int | None:
    try:
        return lookup(local, remote)
    except (OSError, ValueError, struct.error):
        return None
