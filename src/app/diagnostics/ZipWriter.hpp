#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillbay {

// One entry of a zip: its path inside the archive ("/" separated) and its bytes.
using ZipEntry = std::pair<std::string, std::string>;

// Writes `entries` as a deflated zip to `path` atomically: into a temporary
// file beside it, renamed over `path` once complete (a link at `path` is
// replaced, not followed). The reason when it could not be written.
std::optional<std::string> writeZip(const std::string& path, const std::vector<ZipEntry>& entries);

} // namespace quillbay
