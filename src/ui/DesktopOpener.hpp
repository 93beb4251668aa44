#pragma once

#include <functional>
#include <string>

namespace quillbay {

// Opens an address or a file:// URI with the user's default application.
using DesktopOpener = std::function<void(const std::string& uri)>;

// The desktop's opener; failures are ignored (nothing is reported).
void openWithDefaultApplication(const std::string& uri);

// file:// URI of an absolute path.
std::string fileURI(const std::string& path);

} // namespace quillbay
