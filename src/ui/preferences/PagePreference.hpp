#pragma once

#include "ui/preferences/StudioPage.hpp"

#include <string>

namespace quillbay {

// The remembered page, "studio.page" in a small key file of the user's
// configuration folder. Every store is written at once and atomically.
class PagePreference {
public:
    static constexpr const char* kKey = "studio.page";

    // <user config dir>/Quillbay/preferences.ini
    static std::string defaultPath();

    explicit PagePreference(std::string path = defaultPath());

    // The stored text, or "desk" when nothing is stored. A text that names
    // no page is returned as it is (and stays stored).
    std::string raw() const;
    // The stored page; the desk when the text names no page.
    StudioPage page() const;

    // Stores the page's raw value, keeping whatever else the file holds.
    // False when the file could not be written.
    bool store(StudioPage page);

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

} // namespace quillbay
