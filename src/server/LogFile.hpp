#pragma once

#include "server/ServerReason.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillbay {

// The server log of one start: raw bytes, written as they arrive. It is only
// ever a regular file of ours with one name, opened without following links;
// whatever goes wrong is kept as one notice for the log tail. The file stays
// within kSizeLimit: output that would take it past the limit is left out,
// from the first line that does not fit, and one line in the file says so.
class LogFile {
public:
    static constexpr std::uint64_t kSizeLimit = 64 * 1024 * 1024;

    LogFile() = default;
    ~LogFile();
    LogFile(LogFile&& other) noexcept;
    LogFile& operator=(LogFile&& other) noexcept;
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Keeps two generations in `folder`: deletes `previous`, renames
    // `current` to it and creates `current` afresh. When the rename fails,
    // the new output is appended to `current` instead, so neither generation
    // is lost. Never truncates anything.
    static LogFile rotateAndOpen(const std::string& folder, const std::string& current, const std::string& previous);

    bool isOpen() const { return fd_ >= 0; }
    // Appends all of `bytes`, as long as they fit under the limit; at the
    // limit, the whole lines that fit and the line that says the rest is left
    // out, and the log is closed. After a failed write the log is closed too:
    // a log with a hole in it would look complete.
    void write(std::string_view bytes);
    // A line for the user about the log (not written, not rotated), once.
    std::optional<ServerReason> takeNotice();

private:
    LogFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    void append(std::string_view bytes);
    void leaveOutFrom(std::string_view bytes, std::uint64_t room);
    void close();
    void fail(const std::string& reason);

    int fd_ = -1;
    std::string path_;
    std::uint64_t size_ = 0;
    bool atLineStart_ = true;
    std::optional<ServerReason> notice_;
};

} // namespace quillbay
