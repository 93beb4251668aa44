#include "server/PortChooser.hpp"

#include "server/ListenerCheck.hpp"
#include "server/ShellParent.hpp"
#include "server/StudioIdentity.hpp"
#include "support/HttpClient.hpp"

#include <glib.h>

#include <condition_variable>
#include <csignal>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quillbay {

namespace {

// Shared by the caller and the worker that asks; a late answer lands here unread.
struct IdentityCell {
    std::mutex mutex;
    std::condition_variable answered;
    bool done = false;
    std::optional<long long> pid;
};

ServerReason fallbackWarning(long long preferred, long long chosen)
{
    return ServerReason(ServerReason::Code::PortFallback, {std::to_string(preferred), std::to_string(chosen)});
}

} // namespace

PortChooser::Choice PortChooser::choose() const
{
    const long long preferred = ports_.preferred;
    if (isFree(preferred)) {
        g_debug("port: %lld is free: taking it", preferred);
        return {preferred, std::nullopt};
    }
    g_debug("port: %lld is taken: asking who holds it", preferred);
    if (auto orphan = orphanPid(preferred, timing_.identityRequestTimeout, timing_.identityWait)) {
        if (reclaimPreferred(*orphan)) {
            g_info("port: %lld reclaimed from our earlier server, pid %d: taking it", preferred, *orphan);
            return {preferred, std::nullopt};
        }
    }
    for (long long port = ports_.fallbackFirst; port <= ports_.fallbackLast; ++port) {
        if (isFree(port)) {
            g_info("port: %lld is held by another program: taking %lld, the first free fallback", preferred, port);
            return {port, fallbackWarning(preferred, port)};
        }
    }
    g_info("port: %lld and the fallbacks %lld to %lld are all taken: taking %lld anyway", preferred,
           ports_.fallbackFirst, ports_.fallbackLast, preferred);
    return {preferred, std::nullopt};
}

bool PortChooser::reclaimPreferred(pid_t orphan) const
{
    g_debug("port: %lld is held by pid %d, an orphaned server of ours: SIGTERM", ports_.preferred, orphan);
    ::kill(orphan, SIGTERM);
    for (int step = 0; step < timing_.politeSteps; ++step) {
        std::this_thread::sleep_for(timing_.politeStep);
        if (isFree(ports_.preferred))
            return true;
    }
    g_info("port: pid %d still holds %lld after SIGTERM: SIGKILL", orphan, ports_.preferred);
    ::kill(orphan, SIGKILL);
    std::this_thread::sleep_for(timing_.killWait);
    if (isFree(ports_.preferred))
        return true;
    g_info("port: %lld is still taken after SIGKILL to pid %d", ports_.preferred, orphan);
    return false;
}

bool PortChooser::isFree(long long port)
{
    if (port < 0 || port > 65535)
        return false;
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    int reuse = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

std::optional<pid_t> PortChooser::orphanPid(long long port, std::chrono::milliseconds requestTimeout,
                                            std::chrono::milliseconds wait)
{
    if (port < 0 || port > 65535)
        return std::nullopt;
    HttpRequest request;
    request.url = StudioIdentity::url(port);
    request.timeout = requestTimeout;

    auto cell = std::make_shared<IdentityCell>();
    try {
        std::thread([cell, request] {
            const auto identity = StudioIdentity::of(HttpClient::fetchBlocking(request));
            const auto pid = identity ? identity->pid : std::nullopt;
            std::lock_guard lock(cell->mutex);
            cell->pid = pid;
            cell->done = true;
            cell->answered.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return std::nullopt;
    }

    std::optional<long long> answer;
    {
        std::unique_lock lock(cell->mutex);
        if (cell->answered.wait_for(lock, wait, [&] { return cell->done; }))
            answer = cell->pid;
    }
    if (!answer) {
        g_debug("port: %lld gave no answer of ours naming a pid (waiting at most %lld ms): a stranger holds it", port,
                static_cast<long long>(wait.count()));
        return std::nullopt;
    }
    if (!ListenerCheck::mayReclaim(*answer, port)) {
        g_debug("port: the answer on %lld names pid %lld, which is not ours or does not hold the port", port, *answer);
        return std::nullopt;
    }
    auto pid = static_cast<pid_t>(*answer);
    if (ShellParent::isSupervised(pid)) {
        g_debug("port: pid %d on %lld belongs to a running shell: a stranger to us", pid, port);
        return std::nullopt;  // another shell's live server: a stranger to us
    }
    return pid;
}

} // namespace quillbay
