#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>

namespace quillbay {

// A file opened without following a symbolic link at its last component and
// without blocking on a FIFO planted there, then checked with fstat: only a
// regular file stays open. Closes its descriptor when it goes away.
class SafeFile {
public:
    // `flags` as for open(2) (O_NOFOLLOW, O_NONBLOCK and O_CLOEXEC are added;
    // O_NONBLOCK is cleared again once the file is known to be regular).
    static SafeFile open(const std::string& path, int flags, mode_t mode = 0600);
    // The same for `name` inside the open folder `folder`.
    static SafeFile openAt(int folder, const std::string& name, int flags, mode_t mode = 0600);

    SafeFile(SafeFile&& other) noexcept;
    SafeFile& operator=(SafeFile&& other) noexcept;
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;
    ~SafeFile();

    bool isOpen() const { return fd_ >= 0; }
    // Why nothing is open: "it is a symbolic link", "it is not a regular file", or the system's text.
    const std::string& failure() const { return failure_; }
    // What fstat said of the open file.
    const struct stat& facts() const { return facts_; }
    int fd() const { return fd_; }
    // Hands the descriptor over; this no longer closes it.
    int release();

    // From the current offset to the end, but at most `limit` bytes; none on a read error.
    std::optional<std::string> readUpTo(std::size_t limit);
    // All of `bytes` at the current offset; the system's text when that failed.
    std::optional<std::string> writeAll(std::string_view bytes);

private:
    SafeFile() = default;
    static SafeFile checked(int fd, int openError);

    int fd_ = -1;
    std::string failure_;
    struct stat facts_ {};
};

} // namespace quillbay
