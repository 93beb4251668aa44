#pragma once

#include "server/ServerState.hpp"
#include "support/Published.hpp"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <sys/types.h>

namespace quillbay {

// Owns the local studio server: prepares its folder and environment, picks
// its port, launches it, captures its output, probes it until it answers,
// watches it end, stops and restarts it. Confined to the main thread.
class ServerProcess {
public:
    using State = ServerState;
    using LogTail = std::deque<std::string>;

    static constexpr long long kPreferredPort = 8765;
    static constexpr std::size_t kLogTailLimit = 200;

    // The app always uses the defaults; tests shorten them.
    struct Timing {
        std::chrono::milliseconds probeLimit{40000};
        std::chrono::milliseconds probeRequestTimeout{1000};
        std::chrono::milliseconds probePause{150};
        std::chrono::milliseconds stopGrace{3000};
        std::chrono::milliseconds identityRequestTimeout{1500};
        std::chrono::milliseconds identityWait{2000};
        std::chrono::milliseconds politeStep{100};
        int politeSteps = 20;
        std::chrono::milliseconds killWait{300};
    };

    struct Config {
        std::string resourceDir;  // R: holds python/bin/python3.12 and shim/quillbay_server.py
        std::string stateDir;     // S: the studio folder
        long long preferredPort = kPreferredPort;
        long long fallbackFirst = 8766;
        long long fallbackLast = 8775;
        Timing timing;
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
    const Published<State>& state() const;
    const Published<long long>& port() const;
    // The last kLogTailLimit lines of the output. A change may add several
    // lines at once; logLineCount() tells how many came in all.
    const Published<LogTail>& logTail() const;
    std::uint64_t logLineCount() const;

    void start();
    // Ends the child (end of input and SIGTERM, SIGKILL after the grace) and
    // cancels a pending restart. `then` runs after the grace; without a child
    // at once, or once the grace of a child stopped earlier is over.
    void stop(std::function<void()> then = {});
    // A stop whose grace is followed by a start; at once when there is no
    // child. Restarts while one waits for its grace join that one.
    void restart();

    // True while a launched child is held (from launch until stop or its exit).
    bool hasChild() const;

    // "http://127.0.0.1:<port>/"
    std::string baseURL() const;
    const std::string& stateDir() const;
    std::string serverLogPath() const;  // S/logs/server.log
    // The log's warning sentence when the latest start took a fallback port.
    const std::optional<std::string>& portWarning() const;

    static bool isFree(long long port);
    // The pid named by an orphaned server of this application on `port`, only
    // when that pid is ours to signal and no running shell looks after it
    // (see PortChooser). Blocks up to `wait`.
    static std::optional<pid_t> orphanPid(long long port,
                                          std::chrono::milliseconds requestTimeout = std::chrono::milliseconds(1500),
                                          std::chrono::milliseconds wait = std::chrono::milliseconds(2000));

private:
    struct Impl;
    std::shared_ptr<Impl> impl_;
};

} // namespace quillbay
