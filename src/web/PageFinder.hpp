#pragma once

#include <sigc++/signal.h>

#include <memory>
#include <optional>
#include <string>

namespace quillbay {

class WebViewModel;

// Finds text in the page of the model's web view: case-insensitive, wrapping
// around at either end, with every match highlighted.
class PageFinder {
public:
    static constexpr unsigned kMaxCount = 1000;

    // What is known of the last search.
    struct Result {
        // The number of matches (above kMaxCount when there are more), or
        // none when the text is not in the page.
        std::optional<unsigned> matches;
        // Which of them is the current one, from 1, where the page tells it for certain.
        std::optional<unsigned> current;
    };

    explicit PageFinder(WebViewModel& model);
    ~PageFinder();
    PageFinder(const PageFinder&) = delete;
    PageFinder& operator=(const PageFinder&) = delete;

    // Starts a new search; an empty text ends the search instead.
    void search(const std::string& text);
    void next();
    void previous();
    // Ends the search and clears the highlight.
    void finish();

    // Once the matches of a new search are counted, and whenever the current match is known anew.
    sigc::signal<void(const Result&)>& signalResult() { return result_; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    sigc::signal<void(const Result&)> result_;
};

} // namespace quillbay
