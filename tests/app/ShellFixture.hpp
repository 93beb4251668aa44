#pragma once

// Helpers of the application tests: GTK once, and servers and processes that end.

#include "tests/support/FakeResources.hpp"

#include "server/ServerProcess.hpp"

#include <gtk/gtk.h>
#include <gtkmm/init.h>

#include <chrono>

namespace quillbay::testing {

inline void ensureGtk()
{
    static const bool ready = (gtk_init(), Gtk::init_gtkmm_internals(), true);
    (void)ready;
}

// Waits until `pid`, which need not be a child of this process, has ended.
inline bool waitForEnd(pid_t pid, std::chrono::milliseconds limit)
{
    return runUntil([pid] { return !processRuns(pid); }, limit);
}

// Stops a test's server, if it still has a child, waits for the stop's grace and lets it go.
template <typename Pointer>  // a shared or unique pointer to a ServerProcess
void stopAndRelease(Pointer& server)
{
    if (server && server->hasChild()) {
        bool stopped = false;
        server->stop([&] { stopped = true; });
        runUntil([&] { return stopped; }, std::chrono::seconds(10));
    }
    server.reset();
}

} // namespace quillbay::testing
