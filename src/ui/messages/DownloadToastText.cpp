#include "ui/messages/DownloadToastText.hpp"

#include "support/Format.hpp"

#include <glib.h>
#include <glib/gi18n.h>

namespace quillbay {

std::string downloadSavedText(const std::string& path)
{
    g_autofree gchar* name = g_path_get_basename(path.c_str());
    return format(_("Saved %s"), name);
}

std::string downloadFailedText(const std::string& name, const std::string& reason)
{
    if (name.empty())
        return format(_("Download failed: %s"), reason.c_str());
    return format(_("Could not save %s: %s"), name.c_str(), reason.c_str());
}

} // namespace quillbay
