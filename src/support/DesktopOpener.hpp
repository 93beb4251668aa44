#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quillbay {

// Opens an address or a file:// URI with the user's default application.
using DesktopOpener = std::function<void(const std::string& uri)>;

// The desktop's opener; failures are ignored (nothing is reported).
void openWithDefaultApplication(const std::string& uri);

// file:// URI of an absolute path.
std::string fileURI(const std::string& path);

// What went wrong when the desktop could not open or show an item; none on success.
using OpenFailure = std::optional<std::string>;

// Opens `uri` with its default application, and says why when none could.
OpenFailure openReportingFailure(const std::string& uri);

// Shows `path` selected in the file manager (FileManager1 over D-Bus),
// falling back to opening it (a folder) or the folder that holds it (a
// file). Calls `done` once, from the main loop, with the reason when
// neither worked.
void revealReportingFailure(const std::string& path, std::function<void(OpenFailure)> done);

// The user's text for a failed open: "No application could open NAME (REASON)".
std::string openFailureText(const std::string& uri, const std::string& reason);

} // namespace quillbay
