#include "support/MainLoop.hpp"

namespace quillbay {

void postToMainLoop(std::function<void()> task, int priority)
{
    using Task = std::function<void()>;
    g_idle_add_full(
        priority,
        [](gpointer data) -> gboolean {
            if (auto& task = *static_cast<Task*>(data))
                task();
            return G_SOURCE_REMOVE;
        },
        new Task(std::move(task)), [](gpointer data) { delete static_cast<Task*>(data); });
}

} // namespace quillbay
