#include "app/diagnostics/CappedFileRead.hpp"

#include "support/SafeFile.hpp"

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace quillbay {

std::variant<CappedFile, std::string> readCappedFile(const std::string& path, std::size_t cap)
{
    SafeFile file = SafeFile::open(path, O_RDONLY);
    if (!file.isOpen())
        return file.failure();
    CappedFile result;
    const auto size = static_cast<std::size_t>(file.facts().st_size);
    if (size > cap) {
        result.truncated = true;
        if (::lseek(file.fd(), static_cast<off_t>(size - cap), SEEK_SET) < 0)
            return std::string(std::strerror(errno));
    }
    if (auto bytes = file.readUpTo(cap)) {
        result.bytes = std::move(*bytes);
        return result;
    }
    return std::string(std::strerror(errno));
}

} // namespace quillbay
