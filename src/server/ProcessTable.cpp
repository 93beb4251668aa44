#include "server/ProcessTable.hpp"

#include "support/SafeFile.hpp"

#include <cerrno>
#include <charconv>
#include <map>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillbay {

namespace {

constexpr std::size_t kReadLimit = 16 * 1024 * 1024;

std::string procPath(pid_t pid, const char* leaf)
{
    return "/proc/" + std::to_string(pid) + "/" + leaf;
}

template <typename Number>
std::optional<Number> parseNumber(std::string_view text)
{
    Number value{};
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// Calls `each` with every numeric entry name of /proc or /proc/PID/fd.
template <typename Each>
void forEachNumericEntry(const std::string& folder, Each&& each)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    while (dirent* entry = ::readdir(dir)) {
        if (auto number = parseNumber<long>(entry->d_name))
            each(*number, entry->d_name, ::dirfd(dir));
    }
    ::closedir(dir);
}

} // namespace

std::optional<std::string> ProcessTable::readText(const std::string& path)
{
    SafeFile file = SafeFile::open(path, O_RDONLY);
    if (!file.isOpen())
        return std::nullopt;
    return readFrom(file.fd());
}

std::optional<std::string> ProcessTable::readFrom(int fd)
{
    std::string text;
    char chunk[8192];
    for (;;) {
        ssize_t count = ::read(fd, chunk, sizeof chunk);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 || text.size() > kReadLimit)
            return std::nullopt;  // e.g. ESRCH: the process ended while we read
        if (count == 0)
            return text;
        text.append(chunk, static_cast<std::size_t>(count));
    }
}

std::optional<ProcessTable::Status> ProcessTable::parseStatus(const std::string& statLine)
{
    // "pid (comm) S ppid ..."; comm may hold spaces and parentheses, so cut at the last ')'.
    auto close = statLine.rfind(')');
    if (close == std::string::npos || close + 4 > statLine.size() || statLine[close + 1] != ' ')
        return std::nullopt;
    std::string_view rest(statLine);
    rest.remove_prefix(close + 2);
    Status status;
    status.state = rest[0];
    rest.remove_prefix(1);
    if (rest.empty() || rest[0] != ' ')
        return std::nullopt;
    rest.remove_prefix(1);
    auto parent = parseNumber<pid_t>(rest.substr(0, rest.find(' ')));
    if (!parent)
        return std::nullopt;
    status.parent = *parent;
    return status;
}

std::optional<ProcessTable::Status> ProcessTable::status(pid_t pid)
{
    if (pid <= 0)
        return std::nullopt;
    auto text = readText(procPath(pid, "stat"));
    return text ? parseStatus(*text) : std::nullopt;
}

bool ProcessTable::isRunning(pid_t pid)
{
    auto found = status(pid);
    return found && found->state != 'Z';
}

std::optional<uid_t> ProcessTable::owner(pid_t pid)
{
    struct stat info {};
    if (pid <= 0 || ::stat(("/proc/" + std::to_string(pid)).c_str(), &info) != 0)
        return std::nullopt;
    return info.st_uid;
}

std::optional<std::string> ProcessTable::executable(pid_t pid)
{
    if (pid <= 0)
        return std::nullopt;
    char target[4096];
    ssize_t length = ::readlink(procPath(pid, "exe").c_str(), target, sizeof target);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target)
        return std::nullopt;
    return std::string(target, static_cast<std::size_t>(length));
}

std::set<unsigned long> ProcessTable::socketInodes(pid_t pid)
{
    std::set<unsigned long> inodes;
    if (pid <= 0)
        return inodes;
    forEachNumericEntry(procPath(pid, "fd"), [&](long, const char* name, int folder) {
        char target[64];
        ssize_t length = ::readlinkat(folder, name, target, sizeof target - 1);
        if (length <= 0)
            return;
        std::string_view link(target, static_cast<std::size_t>(length));
        if (!link.starts_with("socket:[") || !link.ends_with("]"))
            return;
        if (auto inode = parseNumber<unsigned long>(link.substr(8, link.size() - 9)))
            inodes.insert(*inode);
    });
    return inodes;
}

std::vector<pid_t> ProcessTable::treeOf(pid_t root)
{
    std::multimap<pid_t, pid_t> children;
    forEachNumericEntry("/proc", [&](long pid, const char*, int) {
        if (auto found = status(static_cast<pid_t>(pid)))
            children.emplace(found->parent, static_cast<pid_t>(pid));
    });
    // The table is read while it changes; the seen set keeps a torn read from looping.
    std::vector<pid_t> tree{root};
    std::set<pid_t> seen{root};
    for (std::size_t next = 0; next < tree.size(); ++next) {
        auto [first, last] = children.equal_range(tree[next]);
        for (auto child = first; child != last; ++child) {
            if (seen.insert(child->second).second)
                tree.push_back(child->second);
        }
    }
    return tree;
}

} // namespace quillbay
