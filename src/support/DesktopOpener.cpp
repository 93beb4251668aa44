#include "support/DesktopOpener.hpp"

#include <gio/gio.h>
#include <glib/gi18n.h>

#include <memory>

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

OpenFailure openReportingFailure(const std::string& uri)
{
    if (uri.empty())
        return std::string(_("Nothing to open"));
    GError* error = nullptr;
    if (g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error))
        return std::nullopt;
    std::string reason = error && error->message ? error->message : _("no reason given");
    if (error)
        g_error_free(error);
    return reason;
}

namespace {

struct RevealRequest {
    std::string path;
    std::function<void(OpenFailure)> done;
};

// The file manager could not show the item: open it when it is a folder,
// otherwise the folder that holds it.
void openHoldingFolder(std::unique_ptr<RevealRequest> request)
{
    const bool folder = g_file_test(request->path.c_str(), G_FILE_TEST_IS_DIR);
    gchar* holder = g_path_get_dirname(request->path.c_str());
    OpenFailure failure = openReportingFailure(fileURI(folder ? request->path : std::string(holder)));
    g_free(holder);
    request->done(std::move(failure));
}

void onShowItemsAnswered(GObject* source, GAsyncResult* result, gpointer data)
{
    std::unique_ptr<RevealRequest> request(static_cast<RevealRequest*>(data));
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
    if (!reply) {
        openHoldingFolder(std::move(request));
        return;
    }
    g_variant_unref(reply);
    request->done(std::nullopt);
}

} // namespace

void revealReportingFailure(const std::string& path, std::function<void(OpenFailure)> done)
{
    auto request = std::make_unique<RevealRequest>(RevealRequest{path, std::move(done)});
    const std::string uri = fileURI(path);
    GDBusConnection* bus = uri.empty() ? nullptr : g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus) {
        // Answer from the main loop, as the D-Bus path does.
        g_idle_add_once([](gpointer data) { openHoldingFolder(std::unique_ptr<RevealRequest>(static_cast<RevealRequest*>(data))); },
                        request.release());
        return;
    }
    const gchar* uris[] = {uri.c_str(), nullptr};
    g_dbus_connection_call(bus, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1", "org.freedesktop.FileManager1",
                           "ShowItems", g_variant_new("(^ass)", uris, ""), nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr,
                           onShowItemsAnswered, request.release());
    g_object_unref(bus);
}

std::string openFailureText(const std::string& uri, const std::string& reason)
{
    std::string name = uri;
    if (gchar* path = g_filename_from_uri(uri.c_str(), nullptr, nullptr)) {
        gchar* base = g_path_get_basename(path);
        name = base;
        g_free(base);
        g_free(path);
    }
    gchar* text = g_strdup_printf(_("No application could open %s (%s)"), name.c_str(), reason.c_str());
    std::string result(text);
    g_free(text);
    return result;
}

} // namespace quillbay
