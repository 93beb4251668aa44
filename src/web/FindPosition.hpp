#pragma once

// Internal to the web module: which match of a search in the page is the
// current one. WebKitGTK counts the matches but does not say which one it
// selected. A script in a world of its own, which page scripts cannot reach,
// reports whenever the top frame's selection changes how often the selected
// text occurs in the page's visible text, before the selection and in all.
// Only when the selection is the text searched for and the page counts as
// many occurrences as the engine is the report taken as the current match.

#include <sigc++/signal.h>
#include <webkit/webkit.h>

#include <memory>
#include <optional>
#include <string>

namespace quillbay {

struct FindReport {
    std::string text;     // the selected text
    unsigned before = 0;  // its occurrences before the selection
    unsigned total = 0;   // its occurrences in the page's text
};

// The number (from 1) of the current match among the engine's `matches` of
// `query`, when `report` tells it for certain.
std::optional<unsigned> currentMatch(const std::optional<FindReport>& report, const std::string& query,
                                     unsigned matches);

// Receives the reports of one web view's pages while it exists.
class FindPosition {
public:
    explicit FindPosition(WebKitWebView* view);
    ~FindPosition();
    FindPosition(const FindPosition&) = delete;
    FindPosition& operator=(const FindPosition&) = delete;

    sigc::signal<void(const FindReport&)>& signalReport() { return report_; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    sigc::signal<void(const FindReport&)> report_;
};

} // namespace quillbay
