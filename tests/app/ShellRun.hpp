#pragma once

// The real `quillbay` binary (or another program) as a child in a process group
// of its own, with its own home and XDG folders and no session bus unless a
// test starts a private one.

#include "ShellFixture.hpp"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/wait.h>

#include <thread>
#include <vector>

namespace quillbay::testing {

inline const std::string kShell = std::string(QUILLBAY_BIN_DIR) + "/quillbay";

// The numbers `command` prints (process or window ids).
inline std::vector<unsigned long> numbersFrom(const std::string& command)
{
    std::vector<unsigned long> found;
    FILE* out = popen(command.c_str(), "r");
    for (unsigned long number = 0; out && std::fscanf(out, "%lu", &number) == 1;)
        found.push_back(number);
    if (out)
        pclose(out);
    return found;
}

// Shown windows titled Quillbay of the shell `pid` (GTK also keeps unmapped helper
// windows with that name, and other tests may show theirs on the same display).
inline std::vector<unsigned long> shellWindows(pid_t pid)
{
    return numbersFrom("xdotool search --onlyvisible --pid " + std::to_string(pid) + " --name '^Quillbay$'");
}

// Ctrl+W in the shell's window: the same close request as the title bar's close
// button. (A close message sent by hand without a window manager is not always
// answered by the toolkit under Xvfb, so the tests close the window by its key.)
inline bool closeWithCtrlW(pid_t shell)
{
    const auto windows = shellWindows(shell);
    if (windows.empty())
        return false;
    // Without a window manager the keyboard follows the pointer.
    const std::string window = std::to_string(windows.at(0));
    return std::system(("xdotool mousemove --window " + window + " 300 300 windowfocus " + window +
                        " 2>/dev/null; xdotool key --clearmodifiers ctrl+w").c_str()) == 0;
}

// The environment of a child: `base` with `changes` ("NAME=VALUE" sets NAME,
// "NAME=" removes it).
inline std::vector<std::string> changedEnvironment(std::vector<std::string> base, const std::vector<std::string>& changes)
{
    for (const auto& change : changes) {
        const std::string name = change.substr(0, change.find('=') + 1);
        std::erase_if(base, [&](const std::string& entry) { return entry.starts_with(name); });
        if (change.size() > name.size())
            base.push_back(change);
    }
    return base;
}

// `argv` run in a process group of its own, its output appended to `output`.
// The group (the web engine's helpers join the shell's) is killed and waited
// for when the run ends: it may outlive the child for a moment, writing into
// its folders.
class GroupRun {
public:
    GroupRun(std::vector<std::string> argv, std::vector<std::string> environment, const std::string& output)
    {
        std::vector<char*> args, envp;
        for (auto& arg : argv)
            args.push_back(arg.data());
        args.push_back(nullptr);
        for (auto& entry : environment)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        const int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        pid_ = fork();
        if (pid_ == 0) {
            setpgid(0, 0);
            dup2(fd, 1);
            dup2(fd, 2);
            execve(args[0], args.data(), envp.data());
            _exit(127);
        }
        setpgid(pid_, pid_);
        group_ = pid_;
        close(fd);
    }
    GroupRun(const GroupRun&) = delete;
    GroupRun& operator=(const GroupRun&) = delete;
    ~GroupRun()
    {
        if (pid_ > 0) {
            kill(-group_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        const bool ended = runUntil([this] { return kill(-group_, 0) != 0 && errno == ESRCH; }, 10s);
        EXPECT_TRUE(ended) << "processes of the group of " << group_ << " still run";
    }

    // True when the child ended within `limit` with status 0.
    bool exitsCleanly(std::chrono::milliseconds limit)
    {
        int status = 0;
        if (!runUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, limit))
            return false;
        pid_ = -1;
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    pid_t pid_ = -1;

private:
    pid_t group_ = -1;
};

// The shell with its home, XDG folders and start-up trace under `home`.
// Without a bus address it runs with no session bus; `changes` adjust its
// environment (see changedEnvironment).
class ShellRun : public GroupRun {
public:
    explicit ShellRun(std::string home, const std::string& binary = kShell, std::string bus = {},
                      const std::vector<std::string>& changes = {})
        : GroupRun({binary}, shellEnvironment(home, bus, changes), (prepare(home), home + "/shell.out")),
          home_(std::move(home))
    {
    }

    std::string output() const { return readFile(home_ + "/shell.out"); }
    bool logShows(const std::string& text, std::chrono::milliseconds limit) const
    {
        return runUntil([&] { return readFile(home_ + "/data/Quillbay/logs/server.log").find(text) != std::string::npos; }, limit);
    }
    // True once the shell has noted start-up `step` (see QUILLBAY_STARTUP_TRACE).
    bool reached(const std::string& step, std::chrono::milliseconds limit) const
    {
        return runUntil([&] { return readFile(home_ + "/startup-trace").find(step + " ") != std::string::npos; }, limit);
    }
    // The studio servers this shell started.
    std::vector<unsigned long> servers() const { return numbersFrom("pgrep -P " + std::to_string(pid_) + " -f quillbay_server.py"); }

private:
    static void prepare(const std::string& home) { g_mkdir_with_parents(home.c_str(), 0700); }

    static std::vector<std::string> shellEnvironment(const std::string& home, const std::string& bus,
                                                     const std::vector<std::string>& changes)
    {
        std::vector<std::string> entries{"HOME=" + home, "XDG_DATA_HOME=" + home + "/data",
                                         "XDG_CONFIG_HOME=" + home + "/config", "XDG_CACHE_HOME=" + home + "/cache",
                                         "PATH=/usr/bin:/bin", "LANG=C.UTF-8", "NO_AT_BRIDGE=1",
                                         "QUILLBAY_STARTUP_TRACE=" + home + "/startup-trace",
                                         "DBUS_SESSION_BUS_ADDRESS=" + (bus.empty() ? "unix:path=" + home + "/none" : bus)};
        for (const char* name : {"DISPLAY", "XAUTHORITY"})
            if (const char* value = std::getenv(name))
                entries.push_back(std::string(name) + "=" + value);
        return changedEnvironment(std::move(entries), changes);
    }

    std::string home_;
};

} // namespace quillbay::testing
