#include "server/LogFile.hpp"

#include "support/SafeFile.hpp"

#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillbay {

namespace {

std::string describe(int error)
{
    if (error == ELOOP)
        return "it is a symbolic link";
    return std::strerror(error);
}

// Why an opened log must not be written, or an empty text when it may.
std::string refusal(int fd)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return std::strerror(errno);
    if (!S_ISREG(info.st_mode))
        return "it is not a regular file";
    if (info.st_uid != ::geteuid())
        return "it belongs to another user";
    if (info.st_nlink != 1)
        return "it has another name elsewhere";
    return {};
}

const std::string kLimitText = std::to_string(LogFile::kSizeLimit >> 20) + " MiB";

// The one line the log gets in place of what no longer fits.
const std::string kLeftOutLine = "warning: the server log has reached its limit of " + kLimitText +
                                 "; the server's further output is left out of it from here.";

void removeEntry(int folder, const std::string& name)
{
    if (::unlinkat(folder, name.c_str(), 0) != 0 && errno == EISDIR)
        ::unlinkat(folder, name.c_str(), AT_REMOVEDIR);  // only when empty
}

} // namespace

LogFile::~LogFile()
{
    close();
}

LogFile::LogFile(LogFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)), size_(other.size_),
      atLineStart_(other.atLineStart_), notice_(std::exchange(other.notice_, {}))
{
}

LogFile& LogFile::operator=(LogFile&& other) noexcept
{
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
        size_ = other.size_;
        atLineStart_ = other.atLineStart_;
        notice_ = std::exchange(other.notice_, {});
    }
    return *this;
}

LogFile LogFile::rotateAndOpen(const std::string& folder, const std::string& current, const std::string& previous)
{
    LogFile log(-1, folder + "/" + current);
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0) {
        log.fail(describe(errno));
        return log;
    }
    removeEntry(dir, previous);
    const bool rotated = ::renameat(dir, current.c_str(), dir, previous.c_str()) == 0 || errno == ENOENT;
    const int rotateError = errno;
    int flags = O_WRONLY | O_APPEND | O_CREAT;
    if (rotated)
        flags |= O_EXCL;
    SafeFile opened = SafeFile::openAt(dir, current, flags);
    ::close(dir);
    if (!opened.isOpen()) {
        log.fail(opened.failure());
        return log;
    }
    int fd = opened.release();
    if (std::string reason = refusal(fd); !reason.empty()) {
        ::close(fd);
        log.fail(reason);
        return log;
    }
    log.fd_ = fd;
    log.size_ = static_cast<std::uint64_t>(opened.facts().st_size);  // appended to when not rotated
    if (!rotated) {
        log.notice_ = ServerReason(ServerReason::Code::LogNotRotated, {describe(rotateError), log.path_});
    }
    return log;
}

void LogFile::write(std::string_view bytes)
{
    if (fd_ < 0)
        return;
    // Room for the last line, and for a line feed before it.
    const std::uint64_t reserved = kLeftOutLine.size() + 2;
    const std::uint64_t room = size_ + reserved < kSizeLimit ? kSizeLimit - reserved - size_ : 0;
    if (bytes.size() <= room)
        append(bytes);
    else
        leaveOutFrom(bytes, room);
}

void LogFile::leaveOutFrom(std::string_view bytes, std::uint64_t room)
{
    const std::size_t lastFeed = bytes.substr(0, static_cast<std::size_t>(room)).rfind('\n');
    if (lastFeed != std::string_view::npos)
        append(bytes.substr(0, lastFeed + 1));
    append((atLineStart_ ? "" : "\n") + kLeftOutLine + "\n");
    if (fd_ < 0)
        return;  // the failure is the notice
    close();
    notice_ = ServerReason(ServerReason::Code::LogLimitReached, {path_, kLimitText});
}

void LogFile::append(std::string_view bytes)
{
    while (fd_ >= 0 && !bytes.empty()) {
        ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            fail(written < 0 ? std::strerror(errno) : "nothing was written");
            return;
        }
        size_ += static_cast<std::uint64_t>(written);
        atLineStart_ = bytes[static_cast<std::size_t>(written) - 1] == '\n';
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

std::optional<ServerReason> LogFile::takeNotice()
{
    return std::exchange(notice_, std::nullopt);
}

void LogFile::fail(const std::string& reason)
{
    close();
    notice_ = ServerReason(ServerReason::Code::LogNotWritten, {path_, reason});
}

void LogFile::close()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

} // namespace quillbay
