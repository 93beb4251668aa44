#include "web/DownloadSaver.hpp"

#include "support/FileChooser.hpp"
#include "support/SafeFile.hpp"
#include "support/WhileAlive.hpp"
#include "web/DownloadsFolder.hpp"
#include "web/LoadFailure.hpp"

#include <fcntl.h>
#include <glib/gi18n.h>
#include <glib/gstdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <gtkmm/window.h>

#include <utility>

namespace quillbay::web {

namespace {

// What a download's handlers tell the saver that started it, while it is
// there; kept on the download.
struct SaverLink {
    // False once the saver is gone: the download is then cancelled.
    std::function<bool(WebKitDownload*, const std::string& suggestedName)> choose;
    std::function<void(WebKitDownload*, const std::string& text)> report;
    std::function<void(const std::string& path)> finished;
};
constexpr const char* kSaverLink = "quillbay-download-saver";

SaverLink& linkOf(WebKitDownload* download)
{
    return *static_cast<SaverLink*>(g_object_get_data(G_OBJECT(download), kSaverLink));
}

void reportFailure(WebKitDownload* download, const std::string& text)
{
    g_debug("download: failed: %s", text.c_str());
    linkOf(download).report(download, text);
}

// Set on a download that failed or was cancelled: its "finished" saved nothing.
constexpr const char* kFailedMark = "quillbay-download-failed";
// The file the user chose, and the one beside it that the engine writes.
constexpr const char* kChosenPath = "quillbay-download-chosen";
constexpr const char* kPartialPath = "quillbay-download-partial";

std::string pathData(WebKitDownload* download, const char* key)
{
    const auto* path = static_cast<const std::string*>(g_object_get_data(G_OBJECT(download), key));
    return path ? *path : std::string();
}

void setPathData(WebKitDownload* download, const char* key, const std::string& path)
{
    g_object_set_data_full(G_OBJECT(download), key, new std::string(path),
                           [](gpointer data) { delete static_cast<std::string*>(data); });
}

// A new, empty file beside `chosen` for the engine to write: the file already
// there is replaced only once the download is complete. Its hidden name is
// short and of one length, so any name the folder takes can be chosen. Empty
// when the folder takes no new file; `failure` then says why.
std::string makePartialFile(const std::string& chosen, std::string& failure)
{
    gchar* folder = g_path_get_dirname(chosen.c_str());
    gchar* pattern = g_build_filename(folder, ".quillbay-XXXXXX.part", nullptr);
    std::string partial;
    const int fd = g_mkstemp_full(pattern, O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) {
        close(fd);
        partial = pattern;
    } else {
        failure = g_strerror(errno);
    }
    g_free(pattern);
    g_free(folder);
    return partial;
}

// The process's umask, as the kernel tells it; setting it and putting it back,
// which other threads could race with, only where the kernel does not tell.
mode_t currentUmask()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("Umask:", 0) == 0) {
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8) & 0777);
        }
    }
    const mode_t mask = umask(022);
    umask(mask);
    return mask;
}

// The engine writes with modes of its own: the finished file gets the mode of
// the file it replaces, or that of any new file of the user's.
void giveFinalMode(const std::string& chosen, const std::string& partial)
{
    struct stat old {};
    const mode_t mode = lstat(chosen.c_str(), &old) == 0 && S_ISREG(old.st_mode) ? old.st_mode & 0777
                                                                                  : 0666 & ~currentUmask();
    SafeFile file = SafeFile::open(partial, O_RDONLY);
    if (file.isOpen()) {
        fchmod(file.fd(), mode);
    }
}

// What the download's response framed, and how much of it the engine wrote.
DownloadEnd downloadEnd(WebKitDownload* download)
{
    DownloadEnd end;
    end.receivedLength = webkit_download_get_received_data_length(download);
    WebKitURIResponse* response = webkit_download_get_response(download);
    SoupMessageHeaders* headers = response ? webkit_uri_response_get_http_headers(response) : nullptr;
    if (!headers) {
        // Not from HTTP (blob: or data:): the engine had the whole body at hand.
        end.declaredLength = end.receivedLength;
        return end;
    }
    if (soup_message_headers_get_encoding(headers) == SOUP_ENCODING_CONTENT_LENGTH) {
        end.declaredLength = soup_message_headers_get_content_length(headers);
    }
    const char* encoding = soup_message_headers_get_one(headers, "Content-Encoding");
    end.contentEncoding = encoding ? encoding : "";
    return end;
}

// The name the user knows the download by: the chosen file's, else the suggested one.
std::string downloadName(WebKitDownload* download)
{
    const std::string chosen = pathData(download, kChosenPath);
    if (!chosen.empty()) {
        gchar* base = g_path_get_basename(chosen.c_str());
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

gboolean onDecideDestination(WebKitDownload* download, gchar* suggestedName, gpointer)
{
    // The download waits until it has a destination or is cancelled.
    if (!linkOf(download).choose(download, suggestedName ? suggestedName : "")) {
        webkit_download_cancel(download);
    }
    return TRUE;
}

void onFailed(WebKitDownload* download, GError* error, gpointer)
{
    g_object_set_data(G_OBJECT(download), kFailedMark, GINT_TO_POINTER(1));
    if (!error) {
        return;
    }
    const EngineError engineError{g_quark_to_string(error->domain), error->code,
                                  error->message ? error->message : ""};
    if (const auto text = downloadFailureText(engineError)) {
        reportFailure(download, *text);
    }
}

void onFinished(WebKitDownload* download, gpointer)
{
    // The engine reports "finished" after a failure too, and takes a connection
    // that closed early for the end of the body.
    const std::string partial = pathData(download, kPartialPath);
    if (partial.empty()) {
        return;  // cancelled before it had a file
    }
    // A partial file is worse than none: it looks like the whole thing. The
    // file that was there before stays as it was.
    if (g_object_get_data(G_OBJECT(download), kFailedMark)) {
        g_unlink(partial.c_str());  // the failure was reported when it came
        return;
    }
    const std::string chosen = pathData(download, kChosenPath);
    auto failure = incompleteDownloadText(downloadEnd(download));
    if (!failure) {
        giveFinalMode(chosen, partial);
    }
    if (!failure && g_rename(partial.c_str(), chosen.c_str()) != 0) {
        failure = downloadFailureText({kDownloadErrorDomain, 0, g_strerror(errno)});
    }
    if (failure) {
        g_unlink(partial.c_str());
        reportFailure(download, *failure);
        return;
    }
    g_debug("download: complete: %s", chosen.c_str());
    linkOf(download).finished(chosen);
}

// Gives `download` the file at `path` (none: cancels it).
void setDestination(WebKitDownload* download, const std::optional<std::string>& path)
{
    if (!path || path->empty()) {
        g_debug("download: no destination chosen: cancelled");
        webkit_download_cancel(download);
        return;
    }
    std::string failure;
    const std::string partial = makePartialFile(*path, failure);
    setPathData(download, kChosenPath, *path);
    if (partial.empty()) {
        webkit_download_cancel(download);
        reportFailure(download, downloadFailureText({kDownloadErrorDomain, 0, failure}).value_or(failure));
        return;
    }
    setPathData(download, kPartialPath, partial);
    webkit_download_set_allow_overwrite(download, TRUE);  // the empty file made for it
    webkit_download_set_destination(download, partial.c_str());
}

} // namespace

DownloadSaver::DownloadSaver(WebKitWebView* view, FailureSink onFailure)
    : view_(view), onFailure_(std::move(onFailure))
{
    // Downloads start in the network session, which every view of the run shares.
    WebKitNetworkSession* session = webkit_web_view_get_network_session(view);
    started_ = connectSignal(session, "download-started", &DownloadSaver::onDownloadStarted,
                             this);
}

DownloadSaver::~DownloadSaver() = default;

void DownloadSaver::setChooser(DestinationChooser chooser)
{
    chooser_ = std::move(chooser);
}

void DownloadSaver::setEvents(DownloadEvents* events)
{
    events_ = events;
}

void DownloadSaver::onDownloadStarted(WebKitNetworkSession*, WebKitDownload* download,
                                      gpointer self)
{
    auto* saver = static_cast<DownloadSaver*>(self);
    if (webkit_download_get_web_view(download) != saver->view_) {
        return;  // not a download of our page
    }
    g_debug("download: started");
    auto* link = new SaverLink{
        whileAlive<bool(WebKitDownload*, const std::string&)>(
            *saver, [saver](WebKitDownload* d, const std::string& name) { return saver->choose(d, name); }),
        whileAlive<void(WebKitDownload*, const std::string&)>(
            *saver, [saver](WebKitDownload* d, const std::string& text) { saver->report(d, text); }),
        whileAlive<void(const std::string&)>(*saver,
                                             [saver](const std::string& path) { saver->announceFinished(path); }),
    };
    g_object_set_data_full(G_OBJECT(download), kSaverLink, link,
                           [](gpointer data) { delete static_cast<SaverLink*>(data); });
    g_signal_connect(download, "decide-destination", G_CALLBACK(onDecideDestination), nullptr);
    g_signal_connect(download, "failed", G_CALLBACK(onFailed), nullptr);
    g_signal_connect(download, "finished", G_CALLBACK(onFinished), nullptr);
}

bool DownloadSaver::choose(WebKitDownload* download, const std::string& suggestedName)
{
    if (!chooser_) {
        return false;
    }
    chooser_(suggestedName, [held = GRef<WebKitDownload>::retain(download)](std::optional<std::string> path) {
        setDestination(held.get(), path);
    });
    return true;
}

void DownloadSaver::report(WebKitDownload* download, const std::string& text)
{
    onFailure_(text);
    if (events_) {
        events_->failed.emit(downloadName(download), withoutFailurePrefix(text));
    }
}

void DownloadSaver::announceFinished(const std::string& path)
{
    if (events_) {
        events_->finished.emit(path);
    }
}

void DownloadSaver::chooseWithSaveDialog(const std::string& suggestedName, DestinationAnswer answer)
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
