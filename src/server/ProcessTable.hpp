#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include <sys/types.h>

namespace quillbay {

// What /proc says about processes. A process can end between any two reads,
// so every answer may be empty; a vanished process simply counts as gone.
// Nothing here throws.
class ProcessTable {
public:
    struct Status {
        char state = '?';  // 'R', 'S', ..., 'Z' for a zombie
        pid_t parent = 0;
    };

    // The whole file, read with read(2); empty when it cannot be opened or read.
    static std::optional<std::string> readText(const std::string& path);
    // The rest of an open file; empty on a read error (ESRCH once its process has gone).
    static std::optional<std::string> readFrom(int fd);

    static std::optional<Status> status(pid_t pid);
    // Exists and is not a zombie.
    static bool isRunning(pid_t pid);
    static std::optional<uid_t> owner(pid_t pid);
    // The target of /proc/PID/exe, as the kernel shows it.
    static std::optional<std::string> executable(pid_t pid);
    // The inodes of the sockets the process holds open.
    static std::set<unsigned long> socketInodes(pid_t pid);
    // `root` and every process below it, found through the parent links.
    static std::vector<pid_t> treeOf(pid_t root);

    // The state and parent fields of a /proc/PID/stat line.
    static std::optional<Status> parseStatus(const std::string& statLine);
};

} // namespace quillbay
