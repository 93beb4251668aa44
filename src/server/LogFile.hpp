#pragma once

#include <string>
#include <string_view>

namespace quillbay {

// The server log of one start: raw bytes, written as they arrive.
class LogFile {
public:
    LogFile() = default;
    ~LogFile();
    LogFile(LogFile&& other) noexcept;
    LogFile& operator=(LogFile&& other) noexcept;
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Keeps two generations: deletes `previous`, renames `current` to it,
    // creates `current` empty and opens it. Failures are not reported; the
    // result is then simply not open.
    static LogFile rotateAndOpen(const std::string& current, const std::string& previous);

    bool isOpen() const { return fd_ >= 0; }
    // Appends all of `bytes`; a failed write is dropped.
    void write(std::string_view bytes);

private:
    explicit LogFile(int fd) : fd_(fd) {}
    void close();

    int fd_ = -1;
};

} // namespace quillbay
