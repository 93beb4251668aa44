#pragma once

#include <gtkmm/aboutdialog.h>

#include <string>

namespace quillbay {

// "About Quillbay": the version, the payload line, where the studio server
// listens and logs, and the licence.
class AboutQuillbay : public Gtk::AboutDialog {
public:
    static constexpr const char* kLicence =
        "The licence of Quillbay has not been declared yet; ask the people who gave you this build.";

    AboutQuillbay(const std::string& version, const std::string& payloadLine, long long port, const std::string& logPath);

    // The lines under the name: the payload line, the port, the log file.
    static std::string details(const std::string& payloadLine, long long port, const std::string& logPath);
};

} // namespace quillbay
