#pragma once

#include "server/PortChooser.hpp"
#include "server/ReadinessProbe.hpp"
#include "server/ServerChild.hpp"
#include "server/ServerEvent.hpp"
#include "server/ServerReason.hpp"
#include "server/ServerState.hpp"
#include "support/Clock.hpp"
#include "support/Published.hpp"

#include <sigc++/signal.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillbay {

// Owns the local studio server: prepares its folder and environment, picks
// its port, launches it, captures its output, probes it until it answers,
// watches it end, stops and restarts it. Confined to the main thread. Its
// phases, and the state each one publishes, are in SupervisorPhase.hpp.
class ServerProcess {
public:
    using State = ServerState;
    using LogTail = std::deque<std::string>;

    static constexpr long long kPreferredPort = 8765;
    static constexpr std::size_t kLogTailLimit = 200;
    // The most lines of one read that reach signalLines() (an output window's capacity).
    static constexpr std::size_t kOutputKeep = 5000;
    // The most events kept of one start.
    static constexpr std::size_t kEventLimit = 64;

    // The app always uses the defaults; tests shorten them.
    struct Timing {
        ReadinessProbe::Timing probe;
        PortChooser::Timing portChoice;
        // From the polite end of a stop to the forced one.
        std::chrono::milliseconds stopGrace{3000};
        // However SIGKILL fares, a stop is done this long after it was sent.
        std::chrono::milliseconds reapLimit{2000};
    };

    struct Config {
        std::string resourceDir;  // R: holds python/bin/python3.12 and shim/quillbay_server.py
        std::string stateDir;     // S: the studio folder
        PortChooser::Ports ports;
        Timing timing;
        // Stand-ins for tests: empty and null mean ChildProcess::launch and Clock::system().
        ServerChild::Launcher launcher{};
        Clock* clock = nullptr;
    };

    // R next to the running executable (<exe dir>/../share/quillbay) and S in
    // the user's data folder (~/.local/share/Quillbay).
    static Config appConfig();
    static std::string defaultResourceDir();
    static std::string defaultStateDir();

    explicit ServerProcess(Config config);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Published values; only ServerProcess writes them, always on the main loop.
    // The state is derived from the supervisor's phase: idle from a stop on,
    // also while the stopped child is within its grace (hasChild() is false
    // then, and a start waits for the stop to be done).
    const Published<State>& state() const;
    const Published<long long>& port() const;
    // The last kLogTailLimit lines of the output. A change may add several
    // lines at once; logLineCount() tells how many came in all.
    const Published<LogTail>& logTail() const;
    std::uint64_t logLineCount() const;

    // Every line the tail gets, as it comes, for a reader that keeps more than
    // the tail: of one read of a flood, only the newest kOutputKeep lines come
    // (logLineCount() counts them all). While anything is connected, the
    // capture makes strings of that many lines of each read, not only the tail's.
    sigc::signal<void(const std::vector<std::string>&)>& signalLines() const;
    // The supervisor's steps as they happen, between the lines they came after.
    sigc::signal<void(const ServerEvent&)>& signalEvent() const;
    // Those of the latest start (the newest kEventLimit), for a reader that comes later.
    const std::deque<ServerEvent>& events() const;

    // Launches the server unless a child is held. While a stopped child is
    // still within its grace, the start waits until that stop is done.
    void start();
    // Ends the child (end of input and SIGTERM, SIGKILL after the grace) and
    // cancels a start that waits for an earlier stop. `then` runs once the
    // stop is done: the grace is over and the child has been reaped (bounded
    // shortly after SIGKILL); at once when there is neither a child nor a stop.
    void stop(std::function<void()> then = {});
    // A stop followed by a start once it is done; at once when there is no
    // child. Restarts during a stop join it.
    void restart();

    // True while a launched child is held (from launch until stop or its exit).
    bool hasChild() const;

    // "http://127.0.0.1:<port>/"
    std::string baseURL() const;
    const std::string& stateDir() const;
    std::string serverLogPath() const;  // S/logs/server.log
    // The warning of the log tail when the latest start took a fallback port.
    const std::optional<ServerReason>& portWarning() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace quillbay
