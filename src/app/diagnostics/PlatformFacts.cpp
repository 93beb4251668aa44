#include "app/diagnostics/PlatformFacts.hpp"

#include "support/Format.hpp"

#include <gdk/gdk.h>
#include <glib.h>
#include <gtk/gtk.h>
#include <libsoup/soup.h>
#include <webkit/webkit.h>

namespace quillbay {

namespace {

std::string versionText(unsigned major, unsigned minor, unsigned micro)
{
    return format("%u.%u.%u", major, minor, micro);
}

std::string osRelease()
{
    g_autofree gchar* name = g_get_os_info(G_OS_INFO_KEY_PRETTY_NAME);
    return name ? name : "unknown";
}

// "Python 3.11.2" as the interpreter says it; it answers at once and reads no site files.
std::string pythonVersion(const std::string& interpreter)
{
    const gchar* argv[] = {interpreter.c_str(), "-S", "--version", nullptr};
    g_autofree gchar* out = nullptr;
    gint status = 0;
    if (!g_spawn_sync(nullptr, const_cast<gchar**>(argv), nullptr, G_SPAWN_STDERR_TO_DEV_NULL, nullptr, nullptr, &out, nullptr,
                      &status, nullptr) ||
        !g_spawn_check_wait_status(status, nullptr) || !out)
        return "unknown";
    return g_strstrip(out);
}

std::string sessionType()
{
    GdkDisplay* display = gdk_display_get_default();
    if (!display)
        return "no display";
    const std::string type = G_OBJECT_TYPE_NAME(display);
    if (type.find("Wayland") != std::string::npos)
        return "Wayland";
    if (type.find("X11") != std::string::npos)
        return "X11";
    return type;
}

} // namespace

std::vector<std::string> platformFacts(const std::string& interpreter, int scale)
{
    return {
        "OS: " + osRelease(),
        "GTK: " + versionText(gtk_get_major_version(), gtk_get_minor_version(), gtk_get_micro_version()),
        "WebKitGTK: " + versionText(webkit_get_major_version(), webkit_get_minor_version(), webkit_get_micro_version()),
        "libsoup: " + versionText(soup_get_major_version(), soup_get_minor_version(), soup_get_micro_version()),
        "Python: " + pythonVersion(interpreter),
        "Session: " + sessionType(),
        "Scale: " + (scale > 0 ? std::to_string(scale) : std::string("no window")),
    };
}

} // namespace quillbay
