#include "web/DownloadSaver.hpp"

#include "support/FileChooser.hpp"
#include "web/DownloadsFolder.hpp"
#include "web/LoadFailure.hpp"

#include <glib/gi18n.h>
#include <glib/gstdio.h>
#include <gtkmm/window.h>

#include <utility>

namespace quillbay::web {

struct DownloadSaver::State {
    WebKitWebView* view = nullptr;
    ParentWindow parent;
    FailureSink onFailure;
    WebViewModel::DestinationChooser chooser;
    DownloadEvents* events = nullptr;
};

namespace {

// What a download's handlers know: the saver's state, if it still exists.
struct DownloadContext {
    std::weak_ptr<void> state;
};

void destroyContext(gpointer data, GClosure*)
{
    delete static_cast<DownloadContext*>(data);
}

// Set on a download that failed or was cancelled: its "finished" saved nothing.
constexpr const char* kFailedMark = "quillbay-download-failed";

// What the response of `download` declared, and how many bytes arrived.
std::optional<std::string> shortDownloadText(WebKitDownload* download)
{
    WebKitURIResponse* response = webkit_download_get_response(download);
    if (!response) {
        return std::nullopt;
    }
    SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response);
    const char* encoding = headers ? soup_message_headers_get_one(headers, "Content-Encoding") : nullptr;
    return quillbay::shortDownloadText(webkit_uri_response_get_content_length(response),
                                       webkit_download_get_received_data_length(download),
                                       encoding ? encoding : "");
}

// The name the user knows the download by: the chosen file's, else the suggested one.
std::string downloadName(WebKitDownload* download)
{
    if (const char* destination = webkit_download_get_destination(download)) {
        gchar* base = g_path_get_basename(destination);
        std::string name(base);
        g_free(base);
        return name;
    }
    WebKitURIResponse* response = webkit_download_get_response(download);
    const char* suggested = response ? webkit_uri_response_get_suggested_filename(response) : nullptr;
    return suggested ? suggested : "";
}

// The engine's reason alone, as the failure toast names the file itself.
std::string withoutFailurePrefix(const std::string& text)
{
    const std::string prefix = _("Download failed: ");
    return text.rfind(prefix, 0) == 0 ? text.substr(prefix.size()) : text;
}

} // namespace

DownloadSaver::DownloadSaver(WebKitWebView* view, ParentWindow parent, FailureSink onFailure)
    : state_(std::make_shared<State>())
{
    state_->view = view;
    state_->parent = std::move(parent);
    state_->onFailure = std::move(onFailure);
    state_->chooser = [weak = std::weak_ptr<State>(state_)](
                          const std::string& name, WebViewModel::DestinationAnswer answer) {
        const auto state = weak.lock();
        chooseWithSaveDialog(name, std::move(answer));
    };
    // Downloads start in the network session, which every view of the run shares.
    WebKitNetworkSession* session = webkit_web_view_get_network_session(view);
    started_ = connectSignal(session, "download-started", &DownloadSaver::onDownloadStarted,
                             this);
}

DownloadSaver::~DownloadSaver() = default;

void DownloadSaver::setChooser(WebViewModel::DestinationChooser chooser)
{
    state_->chooser = std::move(chooser);
}

void DownloadSaver::setEvents(DownloadEvents* events)
{
    state_->events = events;
}

void DownloadSaver::onDownloadStarted(WebKitNetworkSession*, WebKitDownload* download,
                                      gpointer self)
{
    auto* saver = static_cast<DownloadSaver*>(self);
    if (webkit_download_get_web_view(download) != saver->state_->view) {
        return;  // not a download of our page
    }
    const std::weak_ptr<void> weak = saver->state_;
    g_signal_connect_data(download, "decide-destination",
                          G_CALLBACK(&DownloadSaver::onDecideDestination),
                          new DownloadContext{weak}, destroyContext, GConnectFlags(0));
    g_signal_connect_data(download, "failed", G_CALLBACK(&DownloadSaver::onFailed),
                          new DownloadContext{weak}, destroyContext, GConnectFlags(0));
    g_signal_connect_data(download, "finished", G_CALLBACK(&DownloadSaver::onFinished),
                          new DownloadContext{weak}, destroyContext, GConnectFlags(0));
}

gboolean DownloadSaver::onDecideDestination(WebKitDownload* download, gchar* suggestedName,
                                            gpointer context)
{
    const auto state =
        std::static_pointer_cast<State>(static_cast<DownloadContext*>(context)->state.lock());
    if (!state || !state->chooser) {
        webkit_download_cancel(download);
        return TRUE;
    }
    // The download waits until it has a destination or is cancelled.
    auto held = GRef<WebKitDownload>::retain(download);
    state->chooser(suggestedName ? suggestedName : "",
                   [held](std::optional<std::string> path) {
                       if (path && !path->empty()) {
                           // The save dialog has confirmed replacing an existing file.
                           webkit_download_set_allow_overwrite(held.get(), TRUE);
                           webkit_download_set_destination(held.get(), path->c_str());
                       } else {
                           webkit_download_cancel(held.get());
                       }
                   });
    return TRUE;
}

void DownloadSaver::onFailed(WebKitDownload* download, GError* error, gpointer context)
{
    g_object_set_data(G_OBJECT(download), kFailedMark, GINT_TO_POINTER(1));
    const auto state =
        std::static_pointer_cast<State>(static_cast<DownloadContext*>(context)->state.lock());
    if (!state || !error) {
        return;
    }
    const EngineError engineError{g_quark_to_string(error->domain), error->code,
                                  error->message ? error->message : ""};
    if (const auto text = downloadFailureText(engineError)) {
        state->onFailure(*text);
        if (state->events) {
            state->events->failed.emit(downloadName(download), engineError.message);
        }
    }
}

void DownloadSaver::onFinished(WebKitDownload* download, gpointer context)
{
    // The engine reports "finished" after a failure too, and a connection that
    // closed early as a success.
    if (g_object_get_data(G_OBJECT(download), kFailedMark)) {
        return;
    }
    const auto state =
        std::static_pointer_cast<State>(static_cast<DownloadContext*>(context)->state.lock());
    const char* destination = webkit_download_get_destination(download);
    if (const auto text = shortDownloadText(download)) {
        const std::string name = downloadName(download);
        // A partial file is worse than none: it looks like the whole thing.
        if (destination) {
            g_unlink(destination);
        }
        if (state) {
            state->onFailure(*text);
            if (state->events) {
                state->events->failed.emit(name, withoutFailurePrefix(*text));
            }
        }
        return;
    }
    if (state && state->events && destination) {
        state->events->finished.emit(destination);
    }
}

void DownloadSaver::chooseWithSaveDialog(const std::string& suggestedName, WebViewModel::DestinationAnswer answer)
{
    FileChoice choice;
    choice.mode = FileChoice::Mode::Save;
    choice.title = _("Save Download");
    choice.acceptLabel = _("_Save");
    choice.folder = downloadsFolder();
    choice.name = suggestedName;
    chooseFiles(choice, [answer = std::move(answer)](std::vector<std::string> paths) {
        answer(paths.empty() ? std::nullopt : std::optional<std::string>(paths.front()));
    });
}

} // namespace quillbay::web
