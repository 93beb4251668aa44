#include "support/DesktopService.hpp"

#include "support/MainLoop.hpp"
#include "support/Format.hpp"

#include <gdk/gdk.h>
#include <gio/gio.h>
#include <glib/gi18n.h>

#include <memory>

namespace quillbay {

namespace {

constexpr int kShowItemsTimeoutMs = 5000;

std::string baseName(const std::string& path)
{
    g_autofree gchar* base = g_path_get_basename(path.c_str());
    return base;
}

// How the user knows the item: a file by its name, anything else by its address.
std::string itemName(const std::string& uri)
{
    g_autofree gchar* path = g_filename_from_uri(uri.c_str(), nullptr, nullptr);
    return path ? baseName(path) : uri;
}

// Launches the default handler; the error's message when there is none or it failed.
std::optional<std::string> launchDefault(const std::string& uri)
{
    if (uri.empty())
        return std::string(_("nothing to open"));
    GdkDisplay* display = gdk_display_get_default();
    g_autoptr(GAppLaunchContext) context = display ? G_APP_LAUNCH_CONTEXT(gdk_display_get_app_launch_context(display)) : nullptr;
    g_autoptr(GError) error = nullptr;
    if (g_app_info_launch_default_for_uri(uri.c_str(), context, &error))
        return std::nullopt;
    return std::string(error && error->message ? error->message : _("no reason given"));
}

struct RevealRequest {
    std::string path;
    DesktopService::RevealDone done;

    void finish(DesktopFailure failure)
    {
        if (done)
            done(std::move(failure));
    }
};

// The file manager could not show the item: open the folder instead.
void openHoldingFolder(std::unique_ptr<RevealRequest> request)
{
    std::string folder = request->path;
    if (!g_file_test(folder.c_str(), G_FILE_TEST_IS_DIR)) {
        g_autofree gchar* holder = g_path_get_dirname(folder.c_str());
        folder = holder;
    }
    DesktopFailure failure;
    if (const auto reason = launchDefault(DesktopService::fileURI(folder)))
        failure = format(_("Could not show %s: no application could open the folder %s (%s)"),
                         baseName(request->path).c_str(), baseName(folder).c_str(), reason->c_str());
    request->finish(std::move(failure));
}

void onShowItemsAnswered(GObject* source, GAsyncResult* result, gpointer data)
{
    std::unique_ptr<RevealRequest> request(static_cast<RevealRequest*>(data));
    g_autoptr(GVariant) reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
    if (!reply) {
        openHoldingFolder(std::move(request));
        return;
    }
    request->finish(std::nullopt);
}

} // namespace

std::string DesktopService::fileURI(const std::string& path)
{
    g_autofree gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    return uri ? uri : "";
}

DesktopFailure DesktopService::open(const std::string& uri)
{
    if (const auto reason = launchDefault(uri))
        return format(_("No application could open %s (%s)"), itemName(uri).c_str(), reason->c_str());
    return std::nullopt;
}

DesktopFailure DesktopService::openPath(const std::string& path)
{
    const std::string uri = fileURI(path);
    if (uri.empty())
        return format(_("No application could open %s (%s)"), baseName(path).c_str(), _("not a local path"));
    return open(uri);
}

DesktopFailure DesktopService::handOff(const std::string& url)
{
    g_autofree gchar* scheme = g_uri_parse_scheme(url.c_str());
    const bool web = scheme && (g_ascii_strcasecmp(scheme, "http") == 0 || g_ascii_strcasecmp(scheme, "https") == 0);
    if (!web)
        return open(url);
    if (const auto reason = launchDefault(url))
        return format(_("No browser could open %s (%s)"), url.c_str(), reason->c_str());
    return std::nullopt;
}

void DesktopService::reveal(const std::string& path, RevealDone done)
{
    auto request = std::make_unique<RevealRequest>(RevealRequest{path, std::move(done)});
    const std::string uri = fileURI(path);
    g_autoptr(GDBusConnection) bus = uri.empty() ? nullptr : g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus) {
        // Answer from the main loop, as the D-Bus path does, at the priority of
        // its reply: an idle one waits for as long as a window keeps drawing.
        postToMainLoop([pending = std::shared_ptr<RevealRequest>(std::move(request))] {
            openHoldingFolder(std::make_unique<RevealRequest>(std::move(*pending)));
        });
        return;
    }
    const gchar* uris[] = {uri.c_str(), nullptr};
    g_dbus_connection_call(bus, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1", "org.freedesktop.FileManager1",
                           "ShowItems", g_variant_new("(^ass)", uris, ""), nullptr, G_DBUS_CALL_FLAGS_NONE,
                           kShowItemsTimeoutMs, nullptr, onShowItemsAnswered, request.release());
}

} // namespace quillbay
