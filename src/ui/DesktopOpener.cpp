#include "ui/DesktopOpener.hpp"

#include <gio/gio.h>

namespace quillbay {

void openWithDefaultApplication(const std::string& uri)
{
    g_app_info_launch_default_for_uri(uri.c_str(), nullptr, nullptr);
}

std::string fileURI(const std::string& path)
{
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    if (!uri)
        return {};
    std::string result(uri);
    g_free(uri);
    return result;
}

} // namespace quillbay
