#pragma once

#include "server/ServerState.hpp"

#include <sigc++/connection.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace quillbay {

class ServerProcess;

// Starts the server when the window appears and decides every quit: the
// process ends only once a running server has been stopped.
class AppDelegate {
public:
    using Clock = std::chrono::steady_clock;

    explicit AppDelegate(std::chrono::milliseconds stopGrace);
    ~AppDelegate();
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    // The window's appearance: remember the server, start it while idle.
    void windowAppeared(const std::shared_ptr<ServerProcess>& server);

    // Runs the quit decision. `exit` runs once, on the main thread, when the
    // process may end; possibly before this returns. Further requests while
    // a quit is pending are ignored.
    void requestQuit(std::function<void()> exit);
    bool quitting() const { return quitting_; }

private:
    void watch(ServerProcess& server);

    std::chrono::milliseconds stopGrace_;
    std::weak_ptr<ServerProcess> server_;
    sigc::connection stateWatch_;
    ServerState::Kind lastKind_ = ServerState::Kind::Idle;
    std::optional<Clock::time_point> lastStop_;
    bool quitting_ = false;
};

} // namespace quillbay
