#include "web/StudioContentFilter.hpp"

#include "support/GObjectRef.hpp"
#include "web/NavigationPolicy.hpp"

#include <glib/gstdio.h>

#include <cerrno>
#include <filesystem>
#include <string>

namespace quillbay::web {

struct StudioContentFilter::State {
    GRef<WebKitUserContentManager> manager;
    GRef<WebKitUserContentFilterStore> store;  // none when no private folder could be made
    std::string folder;
    std::string folderFailure;
    GRef<GCancellable> cancellable;
    unsigned generation = 0;   // of the last `allow`
    unsigned finished = 0;     // generation whose compilation has ended
    bool installed = false;    // whether that compilation put its rules in place

    struct Compilation {
        std::weak_ptr<State> state;
        unsigned generation;
        Ready ready;
    };

    // Ends a compilation: installs `filter` (none: removes every rule) and tells the caller.
    static void finish(std::unique_ptr<Compilation> done, WebKitUserContentFilter* filter,
                       const std::string& failure);
};

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

void StudioContentFilter::State::finish(std::unique_ptr<Compilation> done, WebKitUserContentFilter* filter,
                                        const std::string& failure)
{
    const auto state = done->state.lock();
    if (!state || done->generation != state->generation) {
        return;
    }
    // Without this list no rule would keep the top frame on the studio: the
    // rules of an earlier port go too, as that port is foreign now.
    webkit_user_content_manager_remove_all_filters(state->manager.get());
    if (filter) {
        webkit_user_content_manager_add_filter(state->manager.get(), filter);
    }
    state->finished = done->generation;
    state->installed = filter != nullptr;
    if (done->ready) {
        done->ready(filter ? std::nullopt : std::optional(failure));
    }
}

StudioContentFilter::StudioContentFilter(WebKitWebView* view, const std::string& parentFolder)
    : state_(std::make_shared<State>())
{
    state_->manager = GRef<WebKitUserContentManager>::retain(webkit_web_view_get_user_content_manager(view));
    state_->folder = makePrivateFolder(parentFolder, state_->folderFailure);
    if (!state_->folder.empty()) {
        state_->store = GRef<WebKitUserContentFilterStore>::adopt(
            webkit_user_content_filter_store_new(state_->folder.c_str()));
    }
    state_->cancellable = GRef<GCancellable>::adopt(g_cancellable_new());
}

StudioContentFilter::~StudioContentFilter()
{
    g_cancellable_cancel(state_->cancellable.get());
    if (!state_->folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(state_->folder, ignored);
    }
}

bool StudioContentFilter::pending() const { return state_->finished != state_->generation; }

bool StudioContentFilter::installed() const { return !pending() && state_->installed; }

void StudioContentFilter::allow(std::optional<long long> port, Ready ready)
{
    const unsigned generation = ++state_->generation;
    auto compilation = std::make_unique<State::Compilation>(State::Compilation{state_, generation, std::move(ready)});
    if (!state_->store) {
        // Answered from the main loop, like a compilation.
        auto* held = compilation.release();
        g_idle_add_once(
            +[](gpointer data) {
                std::unique_ptr<State::Compilation> done(static_cast<State::Compilation*>(data));
                const auto state = done->state.lock();
                const std::string failure = state ? state->folderFailure : std::string();
                State::finish(std::move(done), nullptr, failure);
            },
            held);
        return;
    }
    const std::string rules = topFrameRules(port);
    GBytes* source = g_bytes_new(rules.data(), rules.size());
    webkit_user_content_filter_store_save(
        state_->store.get(), identifierFor(port).c_str(), source, state_->cancellable.get(),
        +[](GObject* store, GAsyncResult* result, gpointer data) {
            std::unique_ptr<State::Compilation> done(static_cast<State::Compilation*>(data));
            GError* error = nullptr;
            WebKitUserContentFilter* filter = webkit_user_content_filter_store_save_finish(
                WEBKIT_USER_CONTENT_FILTER_STORE(store), result, &error);
            const std::string failure = error ? error->message : "";
            g_clear_error(&error);
            State::finish(std::move(done), filter, failure);
            if (filter) {
                webkit_user_content_filter_unref(filter);
            }
        },
        compilation.release());
    g_bytes_unref(source);
}

} // namespace quillbay::web
