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
#include <string>

namespace quillbay::web {

class StudioContentFilter {
public:
    // Why the rules could not be put in place; none once they are.
    using Ready = std::function<void(const std::optional<std::string>& failure)>;

    // Compiles in a private folder made under `parentFolder` (removed again with this object).
    StudioContentFilter(WebKitWebView* view, const std::string& parentFolder);
    ~StudioContentFilter();
    StudioContentFilter(const StudioContentFilter&) = delete;
    StudioContentFilter& operator=(const StudioContentFilter&) = delete;

    // Compiles and installs the rules for `port` (none: no studio yet). `ready`
    // runs on the main loop once they are in place or could not be made; a
    // later call supersedes an earlier one still compiling, whose `ready` is
    // dropped. Rules that cannot be made leave none in place, so the caller
    // must then load nothing.
    void allow(std::optional<long long> port, Ready ready);

    // True while the rules of the last `allow` are not yet in place.
    bool pending() const;
    // True when the rules of the last `allow` are in place.
    bool installed() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace quillbay::web
