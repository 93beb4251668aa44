#pragma once

#include <sigc++/trackable.h>

#include <functional>
#include <memory>

namespace quillbay {

class ServerProcess;

// Starts the server when the window appears and runs the quit: stop the
// server, then exit. The server's stop decides how long that takes.
class AppDelegate : public sigc::trackable {
public:
    // The window's appearance: remember the server, start it while idle.
    void windowAppeared(const std::shared_ptr<ServerProcess>& server);

    // Stops the server and calls `exit` once, on the main loop, when the stop
    // is done; possibly before this returns. Requests while a quit is
    // pending are ignored.
    void requestQuit(std::function<void()> exit);
    // A launch during the quit calls it off: `exit` is not called and the
    // server starts again once its stop is done. True when a quit was pending.
    bool resumeFromQuit();
    bool quitting() const { return static_cast<bool>(exit_); }

private:
    void finishQuit();

    std::weak_ptr<ServerProcess> server_;
    std::function<void()> exit_;  // set while a quit is pending
};

} // namespace quillbay
