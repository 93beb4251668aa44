#pragma once

// Internal to the web module: saves the downloads of one web view where the
// user chooses.

#include "support/GObjectRef.hpp"
#include "web/DownloadDestination.hpp"
#include "web/DownloadEvents.hpp"

#include <sigc++/trackable.h>
#include <webkit/webkit.h>

#include <functional>
#include <string>

namespace quillbay::web {

// A download outlives the saver that started it: what it tells the saver
// later is dropped once the saver is gone (whileAlive).
class DownloadSaver : public sigc::trackable {
public:
    using FailureSink = std::function<void(const std::string& text)>;

    DownloadSaver(WebKitWebView* view, FailureSink onFailure);
    ~DownloadSaver();
    DownloadSaver(const DownloadSaver&) = delete;
    DownloadSaver& operator=(const DownloadSaver&) = delete;

    void setChooser(DestinationChooser chooser);
    // Where finished and failed downloads are announced; not owned, may be null.
    void setEvents(DownloadEvents* events);

    // The file chooser in its save mode.
    static void chooseWithSaveDialog(const std::string& suggestedName, DestinationAnswer answer);

private:
    static void onDownloadStarted(WebKitNetworkSession* session, WebKitDownload* download,
                                  gpointer self);
    // Asks the chooser where `download` goes; false when there is no chooser.
    bool choose(WebKitDownload* download, const std::string& suggestedName);
    // Announces a failed download.
    void report(WebKitDownload* download, const std::string& text);
    void announceFinished(const std::string& path);

    WebKitWebView* view_;
    FailureSink onFailure_;
    DestinationChooser chooser_ = &DownloadSaver::chooseWithSaveDialog;
    DownloadEvents* events_ = nullptr;
    SignalConnection started_;
};

} // namespace quillbay::web
