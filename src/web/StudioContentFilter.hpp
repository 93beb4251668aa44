#pragma once

// Internal to the web module: keeps the view's top frame on the studio before
// any request leaves. A content rule list, which the web process applies before
// it sends a request (redirects included), blocks every top-frame document but
// the studio's pages and in-page content; frames inside a page are not touched.
// The engine reports a blocked navigation as a failed load of that address.

#include <webkit/webkit.h>

#include <functional>
#include <memory>
#include <optional>

namespace quillbay::web {

class StudioContentFilter {
public:
    explicit StudioContentFilter(WebKitWebView* view);
    ~StudioContentFilter();
    StudioContentFilter(const StudioContentFilter&) = delete;
    StudioContentFilter& operator=(const StudioContentFilter&) = delete;

    // Compiles and installs the rules for `port` (none: no studio yet). `ready`
    // runs on the main loop once they are in place, or could not be made; a
    // later call supersedes an earlier one still compiling, whose `ready` is dropped.
    void allow(std::optional<long long> port, std::function<void()> ready);

    // True while the rules of the last `allow` are not yet in place.
    bool pending() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace quillbay::web
