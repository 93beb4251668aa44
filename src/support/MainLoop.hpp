#pragma once

#include <glib.h>

#include <functional>

namespace quillbay {

// Runs `task` once on the main loop, soon; safe to call from any thread.
// The one way this program posts work to the main loop. A task that may
// outlive its owner is guarded with whileAlive (support/WhileAlive.hpp).
void postToMainLoop(std::function<void()> task, int priority = G_PRIORITY_DEFAULT);

} // namespace quillbay
