#pragma once

#include "tests/support/TestSupport.hpp"

#include <csignal>
#include <optional>
#include <thread>

#include <poll.h>
#include <sys/wait.h>

namespace quillbay::testing {

// A child whose input stays open (its end tells a fake server to leave), read by line, killed and reaped at the end.
class TestProcess {
public:
    explicit TestProcess(Args argv)
    {
        std::vector<char*> raw;
        for (auto& arg : argv)
            raw.push_back(arg.data());
        raw.push_back(nullptr);
        if (!g_spawn_async_with_pipes(nullptr, raw.data(), nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr, &pid_,
                                      &input_, &output_, nullptr, nullptr))
            pid_ = -1;
    }
    ~TestProcess()
    {
        ::close(input_), ::close(output_);
        if (pid_ > 0 && !status_)
            ::kill(pid_, SIGKILL), ::waitpid(pid_, nullptr, 0);
    }
    pid_t pid() const { return pid_; }
    void send(const std::string& line) { (void)!::write(input_, (line + "\n").data(), line.size() + 1); }

    // Output lines up to and including the first that starts with `prefix`.
    Args readUntil(const std::string& prefix, std::chrono::milliseconds limit)
    {
        Args seen;
        for (auto deadline = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < deadline;) {
            if (auto newline = buffer_.find('\n'); newline != std::string::npos) {
                seen.push_back(buffer_.substr(0, newline));
                buffer_.erase(0, newline + 1);
                if (seen.back().starts_with(prefix))
                    return seen;
                continue;
            }
            pollfd ready{output_, POLLIN, 0};
            char chunk[4096];
            ssize_t count = ::poll(&ready, 1, 50) > 0 ? ::read(output_, chunk, sizeof chunk) : 0;
            if (count < 0 || (count == 0 && ready.revents))
                break;
            buffer_.append(chunk, static_cast<std::size_t>(count));
        }
        seen.push_back("<no line starting with '" + prefix + "'>");
        return seen;
    }

    // The raw wait status once it ended within `limit`.
    std::optional<int> waitForExit(std::chrono::milliseconds limit)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (int status = 0; !status_ && pid_ > 0; std::this_thread::sleep_for(5ms)) {
            if (::waitpid(pid_, &status, WNOHANG) == pid_)
                status_ = status;
            else if (std::chrono::steady_clock::now() >= deadline)
                break;
        }
        return status_;
    }
    bool running() { return !waitForExit(0ms); }

private:
    pid_t pid_ = -1;
    int input_ = -1, output_ = -1;
    std::string buffer_;
    std::optional<int> status_;
};

} // namespace quillbay::testing
