#include "web/StudioContentFilter.hpp"

#include "support/MainLoop.hpp"
#include "support/WhileAlive.hpp"
#include "web/NavigationPolicy.hpp"

#include <glib/gstdio.h>

#include <cerrno>
#include <filesystem>
#include <string>

namespace quillbay::web {

namespace {

// One compiled list per port: two compilations in flight never write the same file.
std::string identifierFor(std::optional<long long> port)
{
    return "studio-top-frame-" + (port ? std::to_string(*port) : std::string("none"));
}

// A folder only this process writes to: the user's cache folder may be
// unwritable or shared with a neighbour who swaps its files.
std::string makePrivateFolder(const std::string& parent, std::string& failure)
{
    std::string path = (std::filesystem::path(parent) / "quillbay-rules-XXXXXX").string();
    if (!g_mkdtemp_full(path.data(), 0700)) {
        failure = g_strerror(errno);
        return {};
    }
    return path;
}

} // namespace

void StudioContentFilter::finish(unsigned generation, const Ready& ready, WebKitUserContentFilter* filter,
                                 const std::string& failure)
{
    if (generation != generation_) {
        return;
    }
    // Without this list no rule would keep the top frame on the studio: the
    // rules of an earlier port go too, as that port is foreign now.
    webkit_user_content_manager_remove_all_filters(manager_.get());
    if (filter) {
        webkit_user_content_manager_add_filter(manager_.get(), filter);
    }
    finished_ = generation;
    installed_ = filter != nullptr;
    if (ready) {
        ready(filter ? std::nullopt : std::optional(failure));
    }
}

StudioContentFilter::StudioContentFilter(WebKitWebView* view, const std::string& parentFolder)
    : manager_(GRef<WebKitUserContentManager>::retain(webkit_web_view_get_user_content_manager(view))),
      folder_(makePrivateFolder(parentFolder, folderFailure_)),
      cancellable_(GRef<GCancellable>::adopt(g_cancellable_new()))
{
    if (!folder_.empty()) {
        store_ = GRef<WebKitUserContentFilterStore>::adopt(webkit_user_content_filter_store_new(folder_.c_str()));
    }
}

StudioContentFilter::~StudioContentFilter()
{
    g_cancellable_cancel(cancellable_.get());
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
}

bool StudioContentFilter::pending() const { return finished_ != generation_; }

bool StudioContentFilter::installed() const { return !pending() && installed_; }

void StudioContentFilter::allow(std::optional<long long> port, Ready ready)
{
    using Done = std::function<void(WebKitUserContentFilter* filter, const std::string& failure)>;
    Done done = whileAlive<void(WebKitUserContentFilter*, const std::string&)>(
        *this, [this, generation = ++generation_, ready = std::move(ready)](WebKitUserContentFilter* filter,
                                                                           const std::string& failure) {
            finish(generation, ready, filter, failure);
        });
    if (!store_) {
        // Answered from the main loop, like a compilation.
        postToMainLoop([done, failure = folderFailure_] { done(nullptr, failure); }, G_PRIORITY_DEFAULT_IDLE);
        return;
    }
    using Saved = OnceCallback<GObject*, GAsyncResult*>;
    const std::string rules = topFrameRules(port);
    GBytes* source = g_bytes_new(rules.data(), rules.size());
    webkit_user_content_filter_store_save(
        store_.get(), identifierFor(port).c_str(), source, cancellable_.get(), Saved::call,
        Saved::wrap([done](GObject* store, GAsyncResult* result) {
            GError* error = nullptr;
            WebKitUserContentFilter* filter = webkit_user_content_filter_store_save_finish(
                WEBKIT_USER_CONTENT_FILTER_STORE(store), result, &error);
            const std::string failure = error ? error->message : "";
            g_clear_error(&error);
            done(filter, failure);
            if (filter) {
                webkit_user_content_filter_unref(filter);
            }
        }));
    g_bytes_unref(source);
}

} // namespace quillbay::web
