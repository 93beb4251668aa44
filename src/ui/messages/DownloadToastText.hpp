#pragma once

#include <string>

namespace quillbay {

// "Saved NAME", NAME being the file name of `path`.
std::string downloadSavedText(const std::string& path);
// "Could not save NAME: REASON"; "Download failed: REASON" when the name is unknown.
std::string downloadFailedText(const std::string& name, const std::string& reason);

} // namespace quillbay
