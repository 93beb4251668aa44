#pragma once

#include "server/ServerChild.hpp"
#include "server/ServerReason.hpp"

#include <optional>
#include <string>

namespace quillbay {

// The files, folders, checks and child description of one start, from the
// resource folder R (interpreter and server script) and the studio folder S.
class LaunchConfiguration {
public:
    // Both folders are made absolute, normalised, without a trailing separator.
    LaunchConfiguration(const std::string& resourceDir, const std::string& stateDir);

    const std::string& resourceDir() const { return resourceDir_; }
    const std::string& stateDir() const { return stateDir_; }
    std::string interpreterDir() const { return resourceDir_ + "/python/bin"; }
    std::string interpreterPath() const { return interpreterDir() + "/python3.12"; }
    std::string scriptPath() const { return resourceDir_ + "/shim/quillbay_server.py"; }
    std::string logsDir() const { return stateDir_ + "/logs"; }
    std::string serverLogPath() const { return logsDir() + "/" + kLogName; }

    // The two generations of the server log in logsDir().
    static constexpr const char* kLogName = "server.log";
    static constexpr const char* kPreviousLogName = "server.previous.log";

    // Creates S (mode 0700) and its log folder, then checks the interpreter
    // and the script. Returns the reason for the user when one step fails.
    std::optional<ServerReason> prepare() const;

    // Executable, its one argument, working directory and an environment built
    // from scratch; STUDIO_HUB and STUDIO_TAKES are read from ours right now.
    ServerChild::Description describe(long long port) const;

    // From the password database, not $HOME.
    static std::string userHomeDirectory();
    static std::string normalisedPath(const std::string& path);

private:
    std::optional<ServerReason> createFolders() const;

    std::string resourceDir_;
    std::string stateDir_;
};

} // namespace quillbay
