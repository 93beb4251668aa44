#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quillbay {

// Answers where to save a download, later and exactly once: a file path, or
// none to cancel the download.
using DestinationAnswer = std::function<void(std::optional<std::string> path)>;
// Asks where to save a download, given the name the engine suggests.
using DestinationChooser = std::function<void(const std::string& suggestedName, DestinationAnswer answer)>;

} // namespace quillbay
