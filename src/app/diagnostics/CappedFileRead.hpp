#pragma once

#include <cstddef>
#include <string>
#include <variant>

namespace quillbay {

// The newest part of a file read for a report.
struct CappedFile {
    std::string bytes;       // at most the cap: the file's last bytes
    bool truncated = false;  // the file was longer than the cap
};

// Reads a regular file (opened as SafeFile does), keeping only its last `cap`
// bytes. Anything else (a link, a FIFO, a folder, a missing file) gives the
// reason as text.
std::variant<CappedFile, std::string> readCappedFile(const std::string& path, std::size_t cap);

} // namespace quillbay
