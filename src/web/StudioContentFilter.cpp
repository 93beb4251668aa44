#include "web/StudioContentFilter.hpp"

#include "support/GObjectRef.hpp"
#include "web/NavigationPolicy.hpp"

#include <glib/gstdio.h>

#include <string>

namespace quillbay::web {

struct StudioContentFilter::State {
    GRef<WebKitUserContentManager> manager;
    GRef<WebKitUserContentFilterStore> store;
    GRef<GCancellable> cancellable;
    unsigned generation = 0;   // of the last `allow`
    unsigned installed = 0;    // generation whose compilation has ended

    struct Compilation {
        std::weak_ptr<State> state;
        unsigned generation;
        std::function<void()> ready;
    };
};

namespace {

// One compiled list per port: two compilations never write the same file,
// whether two ports follow each other here or another Quillbay of this user
// compiles its own port at the same time. The same port always compiles to
// the same rules.
std::string identifierFor(std::optional<long long> port)
{
    return "studio-top-frame-" + (port ? std::to_string(*port) : std::string("none"));
}

// Compiled rule lists live in the user's cache folder, private to the user.
std::string storePath()
{
    gchar* path = g_build_filename(g_get_user_cache_dir(), "Quillbay", "content-rules", nullptr);
    g_mkdir_with_parents(path, 0700);
    std::string result = path;
    g_free(path);
    return result;
}

} // namespace

StudioContentFilter::StudioContentFilter(WebKitWebView* view) : state_(std::make_shared<State>())
{
    state_->manager = GRef<WebKitUserContentManager>::retain(webkit_web_view_get_user_content_manager(view));
    state_->store = GRef<WebKitUserContentFilterStore>::adopt(
        webkit_user_content_filter_store_new(storePath().c_str()));
    state_->cancellable = GRef<GCancellable>::adopt(g_cancellable_new());
}

StudioContentFilter::~StudioContentFilter()
{
    g_cancellable_cancel(state_->cancellable.get());
}

bool StudioContentFilter::pending() const { return state_->installed != state_->generation; }

void StudioContentFilter::allow(std::optional<long long> port, std::function<void()> ready)
{
    const unsigned generation = ++state_->generation;
    const std::string rules = topFrameRules(port);
    GBytes* source = g_bytes_new(rules.data(), rules.size());
    auto* compilation = new State::Compilation{state_, generation, std::move(ready)};
    webkit_user_content_filter_store_save(
        state_->store.get(), identifierFor(port).c_str(), source, state_->cancellable.get(),
        +[](GObject* store, GAsyncResult* result, gpointer data) {
            std::unique_ptr<State::Compilation> done(static_cast<State::Compilation*>(data));
            WebKitUserContentFilter* filter = webkit_user_content_filter_store_save_finish(
                WEBKIT_USER_CONTENT_FILTER_STORE(store), result, nullptr);
            const auto state = done->state.lock();
            if (state && done->generation == state->generation) {
                // A rule list that could not be made leaves the previous one in
                // place; the response check still keeps foreign pages out.
                if (filter) {
                    webkit_user_content_manager_remove_all_filters(state->manager.get());
                    webkit_user_content_manager_add_filter(state->manager.get(), filter);
                }
                state->installed = done->generation;
                if (done->ready) {
                    done->ready();
                }
            }
            if (filter) {
                webkit_user_content_filter_unref(filter);
            }
        },
        compilation);
    g_bytes_unref(source);
}

} // namespace quillbay::web
