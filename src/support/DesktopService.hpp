#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quillbay {

// What the desktop could not do, in words for the user; none when it worked.
using DesktopFailure = std::optional<std::string>;

// Quillbay's calls into the desktop: opening an item with its default
// application, showing a file in its folder, and handing an address to the
// browser. Failures come back as values; nothing throws.
class DesktopService {
public:
    using RevealDone = std::function<void(DesktopFailure)>;

    // Opens an address or a file:// URI with its default application.
    static DesktopFailure open(const std::string& uri);
    // Opens a local file or folder with its default application.
    static DesktopFailure openPath(const std::string& path);
    // Shows `path` selected in the file manager (FileManager1 over D-Bus),
    // else opens the folder itself (a folder) or the folder that holds it (a
    // file). `done` runs once, from the main loop, with the failure of the
    // fallback when neither worked; a fallback that worked is no failure.
    static void reveal(const std::string& path, RevealDone done = {});
    // Hands an address the view does not show to the user's browser (or, for
    // other schemes, to the application that handles them).
    static DesktopFailure handOff(const std::string& url);

    // file:// URI of an absolute path; empty when it has none.
    static std::string fileURI(const std::string& path);
};

} // namespace quillbay
