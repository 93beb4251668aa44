#pragma once

#include <set>
#include <string>

#include <sys/types.h>

namespace quillbay {

// Who holds the socket that takes connections to 127.0.0.1:port, from /proc.
// An answer on the port says nothing about who gave it; these checks do.
class ListenerCheck {
public:
    // Whether a pid named by a server's identity answer may be signalled: a
    // positive 32-bit value, a process of the current user other than us, and
    // the holder of a listening socket on `port`.
    static bool mayReclaim(long long pid, long long port);

    // Whether `root` or a process below it holds every socket listening for
    // 127.0.0.1:port, and there is at least one.
    static bool heldByTree(pid_t root, long long port);

    // The inodes of the sockets in a /proc/net/tcp or tcp6 table that listen
    // on `port` at 127.0.0.1 or a wildcard address (those that would take a
    // connection to 127.0.0.1:port).
    static std::set<unsigned long> listeningInodes(const std::string& table, long long port);

private:
    static std::set<unsigned long> loopbackListeners(long long port);
};

} // namespace quillbay
