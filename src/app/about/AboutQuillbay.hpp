#pragma once

#include <gtkmm/aboutdialog.h>

#include <string>

namespace quillbay {

// "About Quillbay": the version, the payload line, where the studio server
// listens and logs, and the MIT licence.
class AboutQuillbay : public Gtk::AboutDialog {
public:
    AboutQuillbay(const std::string& version, const std::string& payloadLine, long long port, const std::string& logPath);

    // The lines under the name: the payload line, the port, the log file.
    static std::string details(const std::string& payloadLine, long long port, const std::string& logPath);
};

} // namespace quillbay
