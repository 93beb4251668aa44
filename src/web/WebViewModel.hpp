#pragma once

// Interface agreed between modules; the web module implements it (and may add
// members, but keeps these).

#include "support/Published.hpp"
#include "web/DownloadDestination.hpp"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace Gtk {
class Widget;
class Window;
}

namespace quillbay {

struct DownloadEvents;

// Owns the one web view of the run and publishes its loading state.
class WebViewModel {
public:
    // Opens an address with the user's default application (browser, etc.).
    using Opener = std::function<void(const std::string& uri)>;

    // Where to save a download (web/DownloadDestination.hpp).
    using DestinationAnswer = quillbay::DestinationAnswer;
    using DestinationChooser = quillbay::DestinationChooser;

    WebViewModel();
    ~WebViewModel();
    WebViewModel(const WebViewModel&) = delete;
    WebViewModel& operator=(const WebViewModel&) = delete;

    const Published<bool>& isLoading() const;
    const Published<double>& progress() const;                  // 0.0 ... 1.0
    const Published<std::optional<std::string>>& loadError() const;
    const Published<std::optional<std::string>>& currentURL() const;

    // The studio port the view is locked to; none until the server has chosen
    // one. Loads wait until the rules for it are in place.
    void setAllowedPort(long long port);

    void load(const std::string& url);   // 60 s timeout, clears loadError
    void reload();                        // reload from origin, clears loadError
    void hardReload();                    // drop disk and memory caches, then reload from origin

    // The one WebKitWebView, wrapped; the same instance for the whole run.
    Gtk::Widget& widget();

    // Injection points for tests; the defaults use the desktop.
    void setOpener(Opener opener);
    void setDestinationChooser(DestinationChooser chooser);  // default: a native save dialog
    void setLoadTimeout(std::chrono::milliseconds timeout);  // default: 60 s

    // Announces saved and failed downloads.
    DownloadEvents& downloadEvents();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace quillbay
