#include "server/ListenerCheck.hpp"

#include "server/ProcessTable.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cstdint>
#include <sstream>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <unistd.h>

namespace quillbay {

namespace {

constexpr const char* kListenState = "0A";

std::optional<std::uint32_t> hexWord(std::string_view text)
{
    std::uint32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// The table prints each 32-bit word of the address as the kernel holds it
// (network byte order read as a host integer), so htonl() gives the same form.
bool takesLoopback(std::string_view address)
{
    const std::uint32_t loopback = htonl(INADDR_LOOPBACK);
    if (address.size() == 8) {
        auto word = hexWord(address);
        return word && (*word == loopback || *word == 0);
    }
    if (address.size() != 32)
        return false;
    std::array<std::uint32_t, 4> words{};
    for (std::size_t i = 0; i < words.size(); ++i) {
        auto word = hexWord(address.substr(i * 8, 8));
        if (!word)
            return false;
        words[i] = *word;
    }
    const bool unspecified = std::all_of(words.begin(), words.end(), [](std::uint32_t w) { return w == 0; });
    const bool mappedLoopback = words[0] == 0 && words[1] == 0 && words[2] == htonl(0xFFFF) && words[3] == loopback;
    return unspecified || mappedLoopback;
}

// "0100007F:1E6D" -> address "0100007F", port 0x1E6D
bool listensOn(std::string_view local, long long port)
{
    auto colon = local.rfind(':');
    if (colon == std::string_view::npos)
        return false;
    auto localPort = hexWord(local.substr(colon + 1));
    return localPort && *localPort == port && takesLoopback(local.substr(0, colon));
}

std::string tableText(const char* path)
{
    return ProcessTable::readText(path).value_or(std::string());
}

} // namespace

bool ListenerCheck::mayReclaim(long long pid, long long port)
{
    if (pid <= 0 || pid > INT_MAX)
        return false;
    auto process = static_cast<pid_t>(pid);
    if (process == ::getpid() || ProcessTable::owner(process) != ::getuid())
        return false;
    std::set<unsigned long> listening = loopbackListeners(port);
    std::set<unsigned long> held = ProcessTable::socketInodes(process);
    return std::any_of(listening.begin(), listening.end(), [&](unsigned long inode) { return held.count(inode); });
}

bool ListenerCheck::heldByTree(pid_t root, long long port)
{
    std::set<unsigned long> listening = loopbackListeners(port);
    if (root <= 0 || listening.empty())
        return false;
    auto release = [&](pid_t member) {
        for (unsigned long inode : ProcessTable::socketInodes(member))
            listening.erase(inode);
        return listening.empty();
    };
    if (release(root))
        return true;  // the usual case: no need to walk the whole table
    for (pid_t member : ProcessTable::treeOf(root)) {
        if (member != root && release(member))
            return true;
    }
    return false;
}

std::set<unsigned long> ListenerCheck::loopbackListeners(long long port)
{
    std::set<unsigned long> inodes = listeningInodes(tableText("/proc/net/tcp"), port);
    inodes.merge(listeningInodes(tableText("/proc/net/tcp6"), port));
    return inodes;
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
        if (state == kListenState && inode != 0 && listensOn(local, port))
            inodes.insert(inode);
    }
    return inodes;
}

} // namespace quillbay
