#include "server/PortChooser.hpp"

#include "server/ListenerCheck.hpp"
#include "server/ShellParent.hpp"
#include "support/HttpClient.hpp"
#include "support/Json.hpp"

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

std::optional<long long> namedPid(const HttpResponse& response)
{
    if (response.body.empty())
        return std::nullopt;
    auto document = parseJson(response.body);
    if (!document || stringMember(*document, "app") != "Quillbay")
        return std::nullopt;
    return integerMember(*document, "pid");
}

std::string warningLine(long long preferred, long long chosen)
{
    return "warning: port " + std::to_string(preferred) + " is in use by another program; using " +
           std::to_string(chosen) + ". Desk projects stored under the usual port will not be visible until it is free.";
}

} // namespace

PortChooser::Choice PortChooser::choose() const
{
    if (isFree(ports_.preferred))
        return {ports_.preferred, std::nullopt};
    if (auto orphan = orphanPid(ports_.preferred, timing_.identityRequestTimeout, timing_.identityWait)) {
        if (reclaimPreferred(*orphan))
            return {ports_.preferred, std::nullopt};
    }
    for (long long port = ports_.fallbackFirst; port <= ports_.fallbackLast; ++port) {
        if (isFree(port))
            return {port, warningLine(ports_.preferred, port)};
    }
    return {ports_.preferred, std::nullopt};
}

bool PortChooser::reclaimPreferred(pid_t orphan) const
{
    ::kill(orphan, SIGTERM);
    for (int step = 0; step < timing_.politeSteps; ++step) {
        std::this_thread::sleep_for(timing_.politeStep);
        if (isFree(ports_.preferred))
            return true;
    }
    ::kill(orphan, SIGKILL);
    std::this_thread::sleep_for(timing_.killWait);
    return isFree(ports_.preferred);
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
    request.url = "http://127.0.0.1:" + std::to_string(port) + "/api/pid";
    request.timeout = requestTimeout;

    auto cell = std::make_shared<IdentityCell>();
    try {
        std::thread([cell, request] {
            auto pid = namedPid(HttpClient::fetchBlocking(request));
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
    if (!answer || !ListenerCheck::mayReclaim(*answer, port))
        return std::nullopt;
    auto pid = static_cast<pid_t>(*answer);
    if (ShellParent::isSupervised(pid))
        return std::nullopt;  // another shell's live server: a stranger to us
    return pid;
}

} // namespace quillbay
