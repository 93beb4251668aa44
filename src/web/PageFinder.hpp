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

    // After each new search: the number of matches (above kMaxCount when
    // there are more), or none when the text is not in the page. Steps to the
    // next or previous match report nothing: the total stays what it was.
    sigc::signal<void(std::optional<unsigned>)>& signalResult() { return result_; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    sigc::signal<void(std::optional<unsigned>)> result_;
};

} // namespace quillbay
