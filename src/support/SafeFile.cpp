#include "support/SafeFile.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <unistd.h>

namespace quillbay {

namespace {

constexpr int kAddedFlags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;

std::string describe(int error)
{
    return error == ELOOP ? "it is a symbolic link" : std::strerror(error);
}

} // namespace

SafeFile SafeFile::open(const std::string& path, int flags, mode_t mode)
{
    return openAt(AT_FDCWD, path, flags, mode);
}

SafeFile SafeFile::openAt(int folder, const std::string& name, int flags, mode_t mode)
{
    const int fd = ::openat(folder, name.c_str(), flags | kAddedFlags, mode);
    return checked(fd, errno);
}

SafeFile SafeFile::checked(int fd, int openError)
{
    SafeFile file;
    if (fd < 0) {
        file.failure_ = describe(openError);
        return file;
    }
    file.fd_ = fd;
    if (::fstat(fd, &file.facts_) != 0) {
        file.failure_ = std::strerror(errno);
    } else if (!S_ISREG(file.facts_.st_mode)) {
        file.failure_ = "it is not a regular file";
    } else {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        return file;
    }
    ::close(std::exchange(file.fd_, -1));
    return file;
}

SafeFile::SafeFile(SafeFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), failure_(std::move(other.failure_)), facts_(other.facts_)
{
}

SafeFile& SafeFile::operator=(SafeFile&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        failure_ = std::move(other.failure_);
        facts_ = other.facts_;
    }
    return *this;
}

SafeFile::~SafeFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

int SafeFile::release()
{
    return std::exchange(fd_, -1);
}

std::optional<std::string> SafeFile::readUpTo(std::size_t limit)
{
    std::string text;
    char chunk[65536];
    while (fd_ >= 0 && text.size() < limit) {
        const ssize_t count = ::read(fd_, chunk, std::min(sizeof chunk, limit - text.size()));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return std::nullopt;
        if (count == 0)
            break;
        text.append(chunk, static_cast<std::size_t>(count));
    }
    if (fd_ < 0)
        return std::nullopt;
    return text;
}

std::optional<std::string> SafeFile::writeAll(std::string_view bytes)
{
    if (fd_ < 0)
        return failure_;
    while (!bytes.empty()) {
        const ssize_t count = ::write(fd_, bytes.data(), bytes.size());
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return std::string(std::strerror(errno));
        bytes.remove_prefix(static_cast<std::size_t>(count));
    }
    return std::nullopt;
}

} // namespace quillbay
