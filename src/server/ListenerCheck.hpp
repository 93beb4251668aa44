#pragma once

#include <set>
#include <string>

#include <sys/types.h>

namespace quillbay {

// Whether a pid named by a server's identity answer may be signalled: it must
// be a positive 32-bit value, a process of the current user, and the holder
// of a listening TCP socket on `port`. The answer itself is untrusted.
class ListenerCheck {
public:
    static bool mayReclaim(long long pid, long long port);

    // The socket inodes listening on `port` in a /proc/net/tcp style table.
    static std::set<unsigned long> listeningInodes(const std::string& table, long long port);

private:
    static bool ownedByCurrentUser(pid_t pid);
    static bool holdsAnyInode(pid_t pid, const std::set<unsigned long>& inodes);
};

} // namespace quillbay
