#include "ServerTestSupport.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace quillbay;
using namespace quillbay::testing;

namespace {

// quillbay-supervise as a child: commands in, protocol lines out.
class Supervisor {
public:
    explicit Supervisor(const std::string& resources)
    {
        int input[2], output[2];
        if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input[0], 0);
        posix_spawn_file_actions_adddup2(&actions, output[1], 1);
        std::string tool = std::string(QUILLBAY_BIN_DIR) + "/quillbay-supervise";
        std::vector<char*> argv{tool.data(), const_cast<char*>("--resources"), const_cast<char*>(resources.c_str()),
                                nullptr};
        if (posix_spawn(&pid_, tool.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(input[0]);
        ::close(output[1]);
        commands_ = input[1];
        lines_ = output[0];
    }

    ~Supervisor()
    {
        if (commands_ >= 0)
            ::close(commands_);
        if (lines_ >= 0)
            ::close(lines_);
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    void send(const std::string& command)
    {
        std::string line = command + "\n";
        ASSERT_EQ(::write(commands_, line.data(), line.size()), static_cast<ssize_t>(line.size()));
    }

    // Every line up to and including the first that starts with `prefix`.
    std::vector<std::string> readUntil(const std::string& prefix, std::chrono::milliseconds limit)
    {
        std::vector<std::string> seen;
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            auto newline = buffer_.find('\n');
            if (newline != std::string::npos) {
                seen.push_back(buffer_.substr(0, newline));
                buffer_.erase(0, newline + 1);
                if (seen.back().rfind(prefix, 0) == 0)
                    return seen;
                continue;
            }
            pollfd ready{lines_, POLLIN, 0};
            if (::poll(&ready, 1, 50) <= 0)
                continue;
            char chunk[4096];
            ssize_t count = ::read(lines_, chunk, sizeof chunk);
            if (count <= 0)
                break;
            buffer_.append(chunk, static_cast<std::size_t>(count));
        }
        seen.push_back("<no line starting with '" + prefix + "'>");
        return seen;
    }

    std::optional<int> waitForExit(std::chrono::milliseconds limit)
    {
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (!status_ && std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_)
                status_ = status;
            else
                ::usleep(10000);
        }
        return status_;
    }

    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int commands_ = -1;
    int lines_ = -1;
    std::string buffer_;
    std::optional<int> status_;
};

pid_t serverPid(const std::vector<std::string>& lines)
{
    for (const auto& line : lines) {
        const std::string marker = "log fake studio server pid=";
        if (line.rfind(marker, 0) == 0)
            return static_cast<pid_t>(std::atoi(line.c_str() + marker.size()));
    }
    return 0;
}

class SuperviseTool : public ::testing::Test {
protected:
    void SetUp() override { setenv("XDG_DATA_HOME", data.path().c_str(), 1); }
    TempDir data;
};

} // namespace

TEST_F(SuperviseTool, ReportsTheStartAndQuitsCleanly)
{
    FakeResources resources({});
    Supervisor tool(resources.resourceDir());
    auto lines = tool.readUntil("state ready", 10s);
    ASSERT_EQ(lines.back(), "state ready") << ::testing::PrintToString(lines);
    EXPECT_EQ(lines.front(), "state starting");
    EXPECT_EQ(lines[1].rfind("port 87", 0), 0u) << lines[1];
    pid_t server = serverPid(lines);
    ASSERT_GT(server, 0);
    EXPECT_EQ(readFile(data.path() + "/Quillbay/logs/server.log").rfind("fake studio server pid=", 0), 0u)
        << "the studio folder follows the user's data folder";

    tool.send("quit");
    EXPECT_EQ(tool.readUntil("state idle", 2s).back(), "state idle");
    auto status = tool.waitForExit(5s);
    ASSERT_TRUE(status);
    ASSERT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    EXPECT_FALSE(processExists(server));
}

TEST_F(SuperviseTool, RestartsOnCommandAndQuitsAtEndOfInputOrOnSignal)
{
    FakeResources resources({"--lines", "2"});
    Supervisor tool(resources.resourceDir());
    ASSERT_EQ(tool.readUntil("state ready", 10s).back(), "state ready");

    tool.send("restart");
    auto lines = tool.readUntil("state ready", 10s);
    ASSERT_EQ(lines.back(), "state ready") << ::testing::PrintToString(lines);
    // The old server's last words may come between the states; the states keep their order.
    std::vector<std::string> changes;
    for (const auto& line : lines) {
        if (line.rfind("log ", 0) != 0)
            changes.push_back(line.rfind("port ", 0) == 0 ? "port" : line);
    }
    EXPECT_EQ(changes, (std::vector<std::string>{"state idle", "state starting", "port", "state ready"}));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "log line 2"), lines.end());

    ::kill(tool.pid(), SIGTERM);
    auto status = tool.waitForExit(5s);
    ASSERT_TRUE(status);
    ASSERT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 0);
}

TEST_F(SuperviseTool, AServerDoesNotOutliveAKilledShell)
{
    // This server stays on end of input; only the death signal can end it.
    FakeResources resources({"--ignore-eof"});
    Supervisor tool(resources.resourceDir());
    auto lines = tool.readUntil("state ready", 10s);
    ASSERT_EQ(lines.back(), "state ready");
    pid_t server = serverPid(lines);
    ASSERT_GT(server, 0);

    ::kill(tool.pid(), SIGKILL);
    ASSERT_TRUE(tool.waitForExit(2s));
    EXPECT_TRUE(runUntil([&] { return !processExists(server); }, 2s));
    if (processExists(server))
        ::kill(server, SIGKILL);
}
