#pragma once

// Internal to the web module: saves the downloads of one web view where the
// user chooses.

#include "web/DownloadEvents.hpp"
#include "support/GObjectRef.hpp"
#include "web/WebViewModel.hpp"

#include <webkit/webkit.h>

#include <functional>
#include <memory>
#include <string>

namespace quillbay::web {

class DownloadSaver {
public:
    using FailureSink = std::function<void(const std::string& text)>;

    DownloadSaver(WebKitWebView* view, FailureSink onFailure);
    ~DownloadSaver();
    DownloadSaver(const DownloadSaver&) = delete;
    DownloadSaver& operator=(const DownloadSaver&) = delete;

    void setChooser(WebViewModel::DestinationChooser chooser);
    // Where finished and failed downloads are announced; not owned, may be null.
    void setEvents(DownloadEvents* events);

    // The file chooser in its save mode.
    static void chooseWithSaveDialog(const std::string& suggestedName, WebViewModel::DestinationAnswer answer);

private:
    struct State;

    static void onDownloadStarted(WebKitNetworkSession* session, WebKitDownload* download,
                                  gpointer self);
    static gboolean onDecideDestination(WebKitDownload* download, gchar* suggestedName,
                                        gpointer context);
    static void onFailed(WebKitDownload* download, GError* error, gpointer context);
    static void onFinished(WebKitDownload* download, gpointer context);
    // Announces a failed download, if the saver whose state `weak` held is still there.
    static void report(const std::weak_ptr<void>& weak, WebKitDownload* download, const std::string& text);

    std::shared_ptr<State> state_;
    SignalConnection started_;
};

} // namespace quillbay::web
