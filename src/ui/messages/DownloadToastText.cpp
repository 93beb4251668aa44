#include "ui/messages/DownloadToastText.hpp"

#include <glib.h>
#include <glib/gi18n.h>

namespace quillbay {

namespace {

std::string formatted(const char* format, const std::string& first, const std::string& second = {})
{
    gchar* text = g_strdup_printf(format, first.c_str(), second.c_str());
    std::string result(text);
    g_free(text);
    return result;
}

} // namespace

std::string downloadSavedText(const std::string& path)
{
    gchar* name = g_path_get_basename(path.c_str());
    std::string result = formatted(_("Saved %s"), name);
    g_free(name);
    return result;
}

std::string downloadFailedText(const std::string& name, const std::string& reason)
{
    if (name.empty())
        return formatted(_("Download failed: %s"), reason);
    return formatted(_("Could not save %s: %s"), name, reason);
}

} // namespace quillbay
