#pragma once

// Runs tests/fixtures/theme_server.py as a child process on an ephemeral
// port of 127.0.0.1 and stops it again.

#include "support/HttpClient.hpp"
#include "support/Json.hpp"

#include <glib.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <string>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillbay::testing {

class ThemeServerFixture {
public:
    ThemeServerFixture()
    {
        int out[2];
        if (pipe(out) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            const char* script = QUILLBAY_FIXTURES_DIR "/theme_server.py";
            execlp("python3", "python3", script, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        FILE* stream = fdopen(out[0], "r");
        if (stream && fscanf(stream, "%ld", &port_) != 1)
            port_ = 0;
        if (stream)
            fclose(stream);
    }
    ~ThemeServerFixture()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }

    long port() const { return port_; }
    std::string base(const std::string& caseName) const
    {
        return "http://127.0.0.1:" + std::to_string(port_) + "/" + caseName + "/";
    }
    // Everything the server received so far, oldest first.
    nlohmann::json requests() const
    {
        HttpRequest request;
        request.url = "http://127.0.0.1:" + std::to_string(port_) + "/_requests";
        auto answer = parseJson(HttpClient::fetchBlocking(request).body);
        return answer ? *answer : nlohmann::json::array();
    }

private:
    pid_t pid_ = -1;
    long port_ = 0;
};

// A port on 127.0.0.1 where nothing listens (bound, then released).
inline long unusedPort()
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

// Runs the default main context until `done` holds or `limit` passes.
inline bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        g_main_context_iteration(nullptr, FALSE);
        g_usleep(1000);
    }
    return true;
}

} // namespace quillbay::testing
