#include "server/LaunchConfiguration.hpp"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillbay {

namespace fs = std::filesystem;

LaunchConfiguration::LaunchConfiguration(const std::string& resourceDir, const std::string& stateDir)
    : resourceDir_(normalisedPath(resourceDir)), stateDir_(normalisedPath(stateDir))
{
}

std::string LaunchConfiguration::normalisedPath(const std::string& path)
{
    std::error_code error;
    fs::path absolute = fs::absolute(path, error);
    if (error)
        absolute = path;
    std::string text = absolute.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

std::optional<ServerReason> LaunchConfiguration::prepare() const
{
    using Code = ServerReason::Code;
    if (auto failure = createFolders())
        return failure;
    std::error_code error;
    if (::access(interpreterPath().c_str(), X_OK) != 0 || !fs::is_regular_file(interpreterPath(), error))
        return ServerReason(Code::PythonMissing, {interpreterPath()});
    if (!fs::exists(scriptPath(), error))
        return ServerReason(Code::ShimMissing, {scriptPath()});
    return std::nullopt;
}

std::optional<ServerReason> LaunchConfiguration::createFolders() const
{
    auto failure = [this](const std::error_code& error) {
        return ServerReason(ServerReason::Code::CannotCreateFolder, {stateDir_, error.message()});
    };
    std::error_code error;
    fs::create_directories(fs::path(stateDir_).parent_path(), error);
    if (error)
        return failure(error);
    // The studio folder holds the user's projects: private from the start.
    if (::mkdir(stateDir_.c_str(), 0700) != 0 && errno != EEXIST)
        return failure(std::error_code(errno, std::generic_category()));
    fs::create_directories(logsDir(), error);
    if (error)
        return failure(error);
    return std::nullopt;
}

ServerChild::Description LaunchConfiguration::describe(long long port) const
{
    ServerChild::Description child;
    child.executable = interpreterPath();
    child.arguments = {scriptPath()};
    child.workingDirectory = stateDir_;
    child.environment = {
        {"PATH", interpreterDir() + ":" + resourceDir_ + ":/usr/bin:/bin:/usr/sbin:/sbin"},
        {"HOME", userHomeDirectory()},
        {"STUDIO_PORT", std::to_string(port)},
        {"STUDIO_STATE", stateDir_},
        {"QUILLBAY_BUNDLED", "1"},
        {"PYTHONNOUSERSITE", "1"},
        {"PYTHONDONTWRITEBYTECODE", "1"},
        {"PYTHONUNBUFFERED", "1"},
        {"LANG", "en_US.UTF-8"},
    };
    for (const char* name : {"STUDIO_HUB", "STUDIO_TAKES"}) {
        if (const char* value = std::getenv(name))
            child.environment.emplace_back(name, value);
    }
    return child;
}

std::string LaunchConfiguration::userHomeDirectory()
{
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/";
}

} // namespace quillbay
