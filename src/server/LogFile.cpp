#include "server/LogFile.hpp"

#include <cerrno>
#include <cstdio>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace quillbay {

LogFile::~LogFile()
{
    close();
}

LogFile::LogFile(LogFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

LogFile& LogFile::operator=(LogFile&& other) noexcept
{
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

LogFile LogFile::rotateAndOpen(const std::string& current, const std::string& previous)
{
    std::remove(previous.c_str());
    std::rename(current.c_str(), previous.c_str());
    int fd = ::open(current.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return LogFile(fd);
}

void LogFile::write(std::string_view bytes)
{
    while (fd_ >= 0 && !bytes.empty()) {
        ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

void LogFile::close()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

} // namespace quillbay
