#pragma once

#include <functional>
#include <memory>
#include <vector>

namespace quillbay {

// SIGTERM, SIGINT and SIGHUP become a call on the main loop (not a signal
// handler), so they can run the ordinary quit path. Restores the default
// handling when destroyed.
class QuitSignals {
public:
    explicit QuitSignals(std::function<void(int signal)> onSignal);
    ~QuitSignals();
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

private:
    static int dispatch(void* self);

    std::function<void(int)> onSignal_;
    std::vector<unsigned> sources_;
    struct Route;
    std::vector<std::unique_ptr<Route>> routes_;
};

} // namespace quillbay
