#pragma once

// Internal to the web module: keeps the view's top frame on the studio before
// any request leaves. A content rule list, which the web process applies before
// it sends a request (redirects included), blocks every top-frame document but
// the studio's pages and in-page content; frames inside a page are not touched.
// The engine reports a blocked navigation as a failed load of that address.

#include "support/GObjectRef.hpp"

#include <sigc++/trackable.h>
#include <webkit/webkit.h>

#include <functional>
#include <optional>
#include <string>

namespace quillbay::web {

class StudioContentFilter : public sigc::trackable {
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
    // dropped, as is every `ready` once this object is gone. Rules that cannot
    // be made leave none in place, so the caller must then load nothing.
    void allow(std::optional<long long> port, Ready ready);

    // True while the rules of the last `allow` are not yet in place.
    bool pending() const;
    // True when the rules of the last `allow` are in place.
    bool installed() const;

private:
    // Ends the compilation of `generation`: installs `filter` (none: removes
    // every rule) and tells the caller.
    void finish(unsigned generation, const Ready& ready, WebKitUserContentFilter* filter,
                const std::string& failure);

    GRef<WebKitUserContentManager> manager_;
    GRef<WebKitUserContentFilterStore> store_;  // none when no private folder could be made
    std::string folderFailure_;  // why there is no private folder; before it, which sets it
    std::string folder_;
    GRef<GCancellable> cancellable_;
    unsigned generation_ = 0;  // of the last `allow`
    unsigned finished_ = 0;    // generation whose compilation has ended
    bool installed_ = false;   // whether that compilation put its rules in place
};

} // namespace quillbay::web
