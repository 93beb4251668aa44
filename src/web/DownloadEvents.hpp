#pragma once

#include <sigc++/signal.h>

#include <string>

namespace quillbay {

// What became of the downloads the user agreed to save.
struct DownloadEvents {
    // The file was written completely; its path.
    sigc::signal<void(const std::string& path)> finished;
    // It was not: the file's name (as chosen or suggested) and the engine's reason.
    // Not emitted when the user cancelled.
    sigc::signal<void(const std::string& name, const std::string& reason)> failed;
};

} // namespace quillbay
