#pragma once

#include "server/ServerChild.hpp"
#include "support/Clock.hpp"
#include "support/ScopedConnection.hpp"

#include <sigc++/trackable.h>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace quillbay {

// Ends one child in two steps. At once: end of its input and SIGTERM. When
// the grace is over: SIGKILL, if it still runs. The stop is done once the
// grace is over and the child has been reaped, or `reapLimit` after the
// SIGKILL however that fared, so a child stuck in the kernel cannot hold a
// quit for ever. Then `onDone` gets the continuations of those who joined the
// stop, to run once the owner has moved on. Destroying the sequence calls
// nothing.
class StopSequence : public sigc::trackable {
public:
    struct Timing {
        std::chrono::milliseconds grace{3000};
        std::chrono::milliseconds reapLimit{2000};
    };
    using Continuations = std::vector<std::function<void()>>;
    using Done = std::function<void(Continuations)>;

    StopSequence(std::shared_ptr<ServerChild> child, Timing timing, Clock& clock, Done onDone);
    StopSequence(const StopSequence&) = delete;
    StopSequence& operator=(const StopSequence&) = delete;

    // `then` runs when the stop is done.
    void join(std::function<void()> then);

private:
    void graceOver();
    void reaped();
    void finish();

    std::shared_ptr<ServerChild> child_;
    Timing timing_;
    Clock& clock_;
    Done onDone_;
    Continuations continuations_;
    ScopedConnection timer_;  // the grace, then the bound on the reap after SIGKILL
    bool graceOver_ = false;
    bool done_ = false;
};

} // namespace quillbay
