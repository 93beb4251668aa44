#include "server/MainLoopTimer.hpp"

#include <glib.h>

#include <memory>

namespace quillbay {

namespace {

guint timeoutMs(std::chrono::milliseconds delay)
{
    return delay.count() > 0 ? static_cast<guint>(delay.count()) : 0u;
}

} // namespace

MainLoopTimer::~MainLoopTimer()
{
    cancel();
}

void MainLoopTimer::start(std::chrono::milliseconds delay, std::function<void()> action)
{
    cancel();
    action_ = std::move(action);
    sourceId_ = g_timeout_add(timeoutMs(delay), reinterpret_cast<GSourceFunc>(&MainLoopTimer::fire), this);
}

void MainLoopTimer::cancel()
{
    if (sourceId_ != 0) {
        g_source_remove(sourceId_);
        sourceId_ = 0;
    }
    action_ = nullptr;
}

int MainLoopTimer::fire(void* data)
{
    auto* self = static_cast<MainLoopTimer*>(data);
    self->sourceId_ = 0;
    // The action may destroy or restart this timer, so it runs from a local copy.
    auto action = std::move(self->action_);
    self->action_ = nullptr;
    if (action)
        action();
    return G_SOURCE_REMOVE;
}

void MainLoopTimer::runAfter(std::chrono::milliseconds delay, std::function<void()> action)
{
    auto* box = new std::function<void()>(std::move(action));
    g_timeout_add_full(
        G_PRIORITY_DEFAULT, timeoutMs(delay),
        [](gpointer data) -> gboolean {
            (*static_cast<std::function<void()>*>(data))();
            return G_SOURCE_REMOVE;
        },
        box, [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
}

} // namespace quillbay
