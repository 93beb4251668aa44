#include "app/about/AboutQuillbay.hpp"

#include "support/Format.hpp"

#include <glib/gi18n.h>

namespace quillbay {

std::string AboutQuillbay::details(const std::string& payloadLine, long long port, const std::string& logPath)
{
    return payloadLine + "\n" + format(_("Studio server on port %lld"), port) + "\n" + format(_("Server log: %s"), logPath.c_str());
}

AboutQuillbay::AboutQuillbay(const std::string& version, const std::string& payloadLine, long long port,
                             const std::string& logPath)
{
    set_program_name("Quillbay");
    set_logo_icon_name("org.quillbay.Quillbay");
    set_version(version);
    set_comments(_("Desktop shell of a local music studio") + std::string("\n\n") + details(payloadLine, port, logPath));
    set_copyright(_("\u00a9 2026 The Quillbay developers"));
    set_license_type(Gtk::License::MIT_X11);
    set_modal(true);
    set_hide_on_close(true);
}

} // namespace quillbay
