#include "server/ListenerCheck.hpp"

#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

namespace quillbay {

namespace {

constexpr const char* kListenState = "0A";

std::string readWhole(const std::string& path)
{
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// "0100007F:1E6D" -> 0x1E6D
long long portOf(const std::string& localAddress)
{
    auto colon = localAddress.rfind(':');
    if (colon == std::string::npos)
        return -1;
    try {
        return std::stoll(localAddress.substr(colon + 1), nullptr, 16);
    } catch (...) {
        return -1;
    }
}

} // namespace

bool ListenerCheck::mayReclaim(long long pid, long long port)
{
    if (pid <= 0 || pid > INT_MAX)
        return false;
    auto process = static_cast<pid_t>(pid);
    if (process == getpid() || !ownedByCurrentUser(process))
        return false;
    std::set<unsigned long> inodes = listeningInodes(readWhole("/proc/net/tcp"), port);
    inodes.merge(listeningInodes(readWhole("/proc/net/tcp6"), port));
    return !inodes.empty() && holdsAnyInode(process, inodes);
}

std::set<unsigned long> ListenerCheck::listeningInodes(const std::string& table, long long port)
{
    std::set<unsigned long> inodes;
    std::istringstream lines(table);
    std::string line;
    std::getline(lines, line);  // header
    while (std::getline(lines, line)) {
        // sl local_address rem_address st tx_queue:rx_queue tr:tm->when retrnsmt uid timeout inode
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout;
        unsigned long inode = 0;
        if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode))
            continue;
        if (state == kListenState && portOf(local) == port && inode != 0)
            inodes.insert(inode);
    }
    return inodes;
}

bool ListenerCheck::ownedByCurrentUser(pid_t pid)
{
    struct stat info {};
    std::string path = "/proc/" + std::to_string(pid);
    return ::stat(path.c_str(), &info) == 0 && info.st_uid == getuid();
}

bool ListenerCheck::holdsAnyInode(pid_t pid, const std::set<unsigned long>& inodes)
{
    std::error_code error;
    std::filesystem::directory_iterator entry("/proc/" + std::to_string(pid) + "/fd", error);
    for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        std::error_code linkError;
        std::string target = std::filesystem::read_symlink(entry->path(), linkError).string();
        if (linkError || target.rfind("socket:[", 0) != 0)
            continue;
        try {
            if (inodes.count(std::stoul(target.substr(8))))
                return true;
        } catch (...) {
        }
    }
    return false;
}

} // namespace quillbay
