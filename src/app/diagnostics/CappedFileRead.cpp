#include "app/diagnostics/CappedFileRead.hpp"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillbay {

namespace {

struct Descriptor {
    int fd;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

std::variant<CappedFile, std::string> readCappedFile(const std::string& path, std::size_t cap)
{
    // O_NONBLOCK: opening a FIFO planted at the path must not hang.
    Descriptor file{::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)};
    if (file.fd < 0)
        return std::string(errno == ELOOP ? "is a symbolic link, not read" : std::strerror(errno));
    struct stat facts {};
    if (::fstat(file.fd, &facts) != 0)
        return std::string(std::strerror(errno));
    if (!S_ISREG(facts.st_mode))
        return std::string("not a regular file, not read");

    CappedFile result;
    const auto size = static_cast<std::size_t>(facts.st_size);
    if (size > cap) {
        result.truncated = true;
        if (::lseek(file.fd, static_cast<off_t>(size - cap), SEEK_SET) < 0)
            return std::string(std::strerror(errno));
    }
    char buffer[65536];
    while (result.bytes.size() < cap) {
        const ssize_t got = ::read(file.fd, buffer, std::min(sizeof buffer, cap - result.bytes.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::string(std::strerror(errno));
        if (got == 0)
            break;
        result.bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return result;
}

} // namespace quillbay
